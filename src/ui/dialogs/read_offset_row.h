#pragma once
#include <QWidget>
#include <atomic>

#include "platform/background_task.h"

class QLabel;
class QPushButton;
class QSpinBox;
struct OffsetDetection;

// The current drive's read offset on the General page: a number of frames to type, and a
// Detect button that finds it from the disc in the drive (in a thread of its own, so the
// dialog stays responsive). OnOK stores it for the
// drive's model.
class ReadOffsetRow : public QWidget {
  Q_OBJECT
 public:
  explicit ReadOffsetRow(QWidget* parent = nullptr);
  ~ReadOffsetRow() override;
  void OnOK();

 private:
  void Detect();
  void ShowDetection(const OffsetDetection& detection);

  QSpinBox* offset_;
  QPushButton* detect_;
  QLabel* status_;
  QString productName_;
  std::atomic<int> stop_{0};
  BackgroundTask task_;  // last, so it waits for the worker before the rest goes
};
