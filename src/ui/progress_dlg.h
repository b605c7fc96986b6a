#pragma once
#include <QDialog>
#include <QPointer>
#include <functional>

#include "rip/rip_job.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The rip progress dialog of one rip job: the file being read, its percent and the whole
// rip's, the read speed, the unreadable sectors so far, Cancel, "Open Output Folder" and the
// switch that hides the main window. It follows the job's signals and ends on its
// Finished, with Rejected when Cancel was pressed; a job that finished before the dialog
// was made ends it at once.
class ProgressDlg : public QDialog {
  Q_OBJECT
 public:
  // mainWindow is shown or hidden by the switch; openFolder opens the output folder.
  ProgressDlg(RipJob& job, QWidget* mainWindow, std::function<void()> openFolder);

  void ShowRun(const RipRun& run);
  void ShowProgress(const RipProgress& progress);
  // The job's end: the dialog stores its place and ends.
  void Finish();

  bool CancelRequested() const { return cancelRequested_; }
  double TotalPercent() const { return totalPercent_; }

 protected:
  void reject() override;  // Escape and the close button cancel, as Cancel does
  void changeEvent(QEvent* event) override;

 private:
  void ShowCurrent(double percent);
  void ShowTotal(double percent);
  void ShowSpeed(double bytesPerMs);
  void ToggleMainWindow();
  void PlaceFromSettings();
  void StorePlacement();

  QPointer<RipJob> job_;
  QString path_;
  QWidget* mainWindow_;
  QLineEdit* file_;
  QProgressBar* currentBar_;
  QLabel* currentText_;
  QProgressBar* totalBar_;
  QLabel* totalText_;
  QLabel* speedText_;
  QLabel* failedText_;
  QCheckBox* hideMain_;
  QPushButton* cancel_;
  bool mainVisible_ = true;
  bool cancelRequested_ = false;
  bool finished_ = false;
  bool minimised_ = false;
  double totalPercent_ = 0;
};
