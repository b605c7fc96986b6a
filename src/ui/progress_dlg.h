#pragma once
#include <QDialog>

#include "rip/rip_job.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The rip progress dialog for one run (a track or the disc image): the output file, the
// run's and the whole rip's percent, the read speed, Cancel, "Open Output Folder" and the
// switch that hides the main window. It ends on the run's done signal, with Rejected when
// Cancel was pressed.
class ProgressDlg : public QDialog {
  Q_OBJECT
 public:
  // mainWindow is shown or hidden by the switch; openFolder opens the output folder.
  ProgressDlg(const RipRun& run, QWidget* mainWindow, std::function<void()> openFolder);

  // A report of the run's percent: the run's bar, the total bar and the speed follow it.
  void ShowReport(double runPercent);
  // The run's done signal: the dialog stores its place and ends.
  void Finish();

  bool CancelRequested() const { return cancelRequested_; }
  double TotalPercent() const { return totalPercent_; }

 protected:
  void reject() override;  // Escape and the close button cancel, as Cancel does
  void changeEvent(QEvent* event) override;

 private:
  void ShowCurrent(double percent);
  void ShowTotal(double percent);
  void ShowSpeed();
  void ToggleMainWindow();
  void PlaceFromSettings();
  void StorePlacement();

  const RipRun run_;
  QWidget* mainWindow_;
  QLineEdit* file_;
  QProgressBar* currentBar_;
  QLabel* currentText_;
  QProgressBar* totalBar_;
  QLabel* totalText_;
  QLabel* speedText_;
  QCheckBox* hideMain_;
  QPushButton* cancel_;
  bool mainVisible_ = true;
  bool cancelRequested_ = false;
  bool finished_ = false;
  bool minimised_ = false;
  double totalPercent_ = 0;
};
