#pragma once
#include <QDialog>
#include <QPointer>
#include <functional>

#include "rip/rip_job.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

// The rip progress dialog of one rip job: the file being read, its percent and the whole
// rip's, the read speed, the unreadable sectors so far, each track's AccurateRip verdict as
// it is known, Cancel, "Open Output Folder" and the switch that hides the main window. It
// follows the job's signals and ends on its Finished, with Rejected when Cancel was pressed;
// a job that finished before the dialog was made ends it at once. A rip whose tracks were
// verified does not end it: the dialog stays with the rip's summary, "Open Log" and
// "Close", until the user closes it (Accepted).
class ProgressDlg : public QDialog {
  Q_OBJECT
 public:
  // mainWindow is shown or hidden by the switch; openFolder opens the output folder and
  // openFile the rip log.
  ProgressDlg(RipJob& job, QWidget* mainWindow, std::function<void()> openFolder,
              std::function<void(const QString& file)> openFile);

  void ShowRun(const RipRun& run);
  void ShowProgress(const RipProgress& progress);
  void ShowVerdict(int trackNumber, const TrackVerdict& verdict);
  // The job's end: the dialog stores its place, then ends, or shows the summary of a
  // verified rip.
  void Finish(const RipResult& result);
  // True while the dialog shows the end of a verified rip.
  bool ShowsSummary() const { return showsSummary_; }

  bool CancelRequested() const { return cancelRequested_; }
  double TotalPercent() const { return totalPercent_; }

 protected:
  void reject() override;  // Escape and the close button cancel, as Cancel does
  void changeEvent(QEvent* event) override;

 private:
  void ShowCurrent(double percent);
  void ShowTotal(double percent);
  void ShowSpeed(double bytesPerMs);
  void ShowVerification();
  void ShowSummary(const RipResult& result);
  void OpenLog();
  void ToggleMainWindow();
  void PlaceFromSettings();
  void StorePlacement();

  QPointer<RipJob> job_;
  QString path_;
  QWidget* mainWindow_;
  std::function<void(const QString&)> openFile_;
  QLineEdit* file_;
  QProgressBar* currentBar_;
  QLabel* currentText_;
  QProgressBar* totalBar_;
  QLabel* totalText_;
  QLabel* speedText_;
  QLabel* failedText_;
  QLabel* verificationLabel_;
  QListWidget* verdicts_;
  QLabel* summary_;
  QCheckBox* hideMain_;
  QPushButton* openLog_;
  QPushButton* cancel_;
  QString logPath_;
  bool mainVisible_ = true;
  bool cancelRequested_ = false;
  bool finished_ = false;
  bool showsSummary_ = false;
  bool minimised_ = false;
  double totalPercent_ = 0;
};
