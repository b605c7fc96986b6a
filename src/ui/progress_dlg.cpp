#include "ui/progress_dlg.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "app/rip_summary.h"
#include "app/window_layout.h"
#include "drive/cd_device.h"
#include "drive/drive_context.h"
#include "settings/settings_store.h"
#include "texts/language_manager.h"
#include "ui/ui_icons.h"

namespace {

enum ProgressTextId : unsigned {
  kCloseTextId = 913,
  kVerificationTextId = 5011,
  kOpenLogTextId = 5021,
  kRipFinishedTextId = 5022,
};

// The verdict list shows this many lines before it scrolls.
constexpr int kVerdictRows = 6;

QLabel* Label(unsigned textId, int controlId) {
  auto* label = new QLabel(LanguageManager::Instance().Text(textId));
  label->setObjectName(QString("id%1").arg(controlId));
  return label;
}

QProgressBar* Bar(int controlId) {
  auto* bar = new QProgressBar;
  bar->setObjectName(QString("id%1").arg(controlId));
  bar->setRange(0, 100);
  bar->setTextVisible(false);
  bar->setMinimumWidth(260);
  return bar;
}

QLabel* Figure(int controlId) {
  auto* label = new QLabel;
  label->setObjectName(QString("id%1").arg(controlId));
  label->setMinimumWidth(label->fontMetrics().horizontalAdvance("0100.00 %") + 6);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

}  // namespace

ProgressDlg::ProgressDlg(RipJob& job, QWidget* mainWindow, std::function<void()> openFolder,
                         std::function<void(const QString& file)> openFile)
    : QDialog(nullptr), job_(&job), mainWindow_(mainWindow), openFile_(std::move(openFile)) {
  const LanguageManager& texts = LanguageManager::Instance();
  setObjectName("id2000");
  setWindowTitle(texts.Text(5002));
  setWindowIcon(KorvaneIcon("rip"));
  setWindowModality(Qt::ApplicationModal);

  file_ = new QLineEdit;
  file_->setObjectName("id2024");
  file_->setReadOnly(true);
  currentBar_ = Bar(2018);
  currentText_ = Figure(2015);
  totalBar_ = Bar(2019);
  totalText_ = Figure(2017);
  speedText_ = new QLabel;
  speedText_->setObjectName("id2026");
  failedText_ = new QLabel;
  failedText_->setObjectName("id2029");
  verificationLabel_ = Label(kVerificationTextId, 2031);
  verificationLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  verdicts_ = new QListWidget;
  verdicts_->setObjectName("id2030");
  verdicts_->setSelectionMode(QAbstractItemView::NoSelection);
  verdicts_->setFocusPolicy(Qt::NoFocus);
  verdicts_->setFixedHeight(verdicts_->fontMetrics().lineSpacing() * kVerdictRows +
                            2 * verdicts_->frameWidth() + 4);
  summary_ = new QLabel;
  summary_->setObjectName("id2032");
  summary_->setWordWrap(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont summaryFont = summary_->font();
  summaryFont.setBold(true);
  summary_->setFont(summaryFont);
  hideMain_ = new QCheckBox(texts.Text(5007));
  hideMain_->setObjectName("id2025");
  openLog_ = new QPushButton(texts.Text(kOpenLogTextId));
  openLog_->setObjectName("id2033");
  auto* openButton = new QPushButton(texts.Text(924));
  openButton->setObjectName("id2020");
  cancel_ = new QPushButton(texts.Text(901));
  cancel_->setObjectName("id2");

  auto* grid = new QGridLayout;
  grid->addWidget(Label(5004, 2021), 0, 0);
  grid->addWidget(file_, 0, 1, 1, 2);
  grid->addWidget(Label(5005, 2022), 1, 0);
  grid->addWidget(currentBar_, 1, 1);
  grid->addWidget(currentText_, 1, 2);
  grid->addWidget(Label(5006, 2023), 2, 0);
  grid->addWidget(totalBar_, 2, 1);
  grid->addWidget(totalText_, 2, 2);
  grid->addWidget(Label(5008, 2027), 3, 0);
  grid->addWidget(speedText_, 3, 1, 1, 2);
  grid->addWidget(Label(5009, 2028), 4, 0);
  grid->addWidget(failedText_, 4, 1, 1, 2);
  grid->addWidget(verificationLabel_, 5, 0);
  grid->addWidget(verdicts_, 5, 1, 1, 2);
  grid->setColumnStretch(1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(hideMain_);
  buttons->addStretch();
  buttons->addWidget(openLog_);
  buttons->addWidget(openButton);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(summary_);
  layout->addSpacing(6);
  layout->addLayout(buttons);
  setMinimumWidth(520);
  // Shown once the rip is known to verify its tracks, and at the end of a verified rip.
  verificationLabel_->hide();
  verdicts_->hide();
  summary_->hide();
  openLog_->hide();

  connect(cancel_, &QPushButton::clicked, this, &ProgressDlg::reject);
  connect(openButton, &QPushButton::clicked, this, [openFolder] { openFolder(); });
  connect(openLog_, &QPushButton::clicked, this, &ProgressDlg::OpenLog);
  connect(hideMain_, &QCheckBox::clicked, this, &ProgressDlg::ToggleMainWindow);

  connect(&job, &RipJob::RunStarted, this, &ProgressDlg::ShowRun);
  connect(&job, &RipJob::Progress, this, &ProgressDlg::ShowProgress);
  connect(&job, &RipJob::TrackVerified, this, &ProgressDlg::ShowVerdict);
  connect(&job, &RipJob::Finished, this, &ProgressDlg::Finish);
  ShowRun(job.CurrentRun());
  ShowProgress({});
  mainVisible_ = SettingsStore::Instance().ReadInt(Key::MainWindowIsVisible) != 0;
  hideMain_->setChecked(!mainVisible_);
  if (mainWindow_) mainWindow_->setVisible(mainVisible_);
  PlaceFromSettings();
  // The job may have finished before the dialog was built.
  if (job.IsFinished()) {
    QTimer::singleShot(0, this, [this] {
      if (job_) Finish(job_->Result());
    });
  }
}

void ProgressDlg::ShowRun(const RipRun& run) {
  if (job_ && job_->Verifies()) ShowVerification();
  path_ = run.path;
  file_->setText(run.path);
  // A long path shows its end, the file's own name; the whole path is in the tooltip.
  file_->setCursorPosition(int(run.path.size()));
  file_->setToolTip(run.path);
}

void ProgressDlg::ShowCurrent(double percent) {
  currentBar_->setValue(int(percent));
  currentText_->setText(ProgressText::Percent(percent));
}

void ProgressDlg::ShowTotal(double percent) {
  totalPercent_ = percent;
  totalBar_->setValue(int(percent));
  totalText_->setText(ProgressText::Percent(percent));
}

void ProgressDlg::ShowSpeed(double bytesPerMs) {
  const double kibPerSecond = bytesPerMs * 1000.0 / 1024.0;
  const double oneX =
      DriveContext::Instance().isDvd ? CdDevice::kDvdSpeedUnit : CdDevice::kCdSpeedUnitSet;
  speedText_->setText(ProgressText::Speed(kibPerSecond, oneX));
}

void ProgressDlg::ShowProgress(const RipProgress& progress) {
  if (finished_) return;
  file_->setText(progress.preparing ? QStringLiteral("Prepare encoding...") : path_);
  ShowCurrent(progress.runPercent);
  ShowTotal(progress.totalPercent);
  ShowSpeed(progress.speed);
  failedText_->setText(QString::number(progress.failedSectors));
}

void ProgressDlg::ShowVerification() {
  if (verdicts_->isVisible()) return;
  verificationLabel_->show();
  verdicts_->show();
  adjustSize();
}

void ProgressDlg::ShowVerdict(int trackNumber, const TrackVerdict& verdict) {
  ShowVerification();
  verdicts_->addItem(RipSummary::VerdictLine(trackNumber, verdict));
  verdicts_->scrollToBottom();
}

// The verdicts again from the result, which holds them all even when the rip ended before
// the dialog was made; then what they add up to, and the buttons of a finished rip.
void ProgressDlg::ShowSummary(const RipResult& result) {
  const LanguageManager& texts = LanguageManager::Instance();
  showsSummary_ = true;
  setWindowTitle(texts.Text(kRipFinishedTextId));
  verdicts_->clear();
  for (const TrackOutcome& outcome : result.outcomes) {
    if (outcome.verdict)
      verdicts_->addItem(RipSummary::VerdictLine(outcome.trackIndex + 1, *outcome.verdict));
  }
  ShowVerification();
  summary_->setText(RipSummary::Lines(result).join('\n'));
  summary_->show();
  logPath_ = result.logPath;
  openLog_->setEnabled(!logPath_.isEmpty());
  openLog_->show();
  hideMain_->hide();  // the rip has given the main window back
  cancel_->setText(texts.Text(kCloseTextId));
  cancel_->setDefault(true);
  cancel_->setFocus();
  adjustSize();
}

void ProgressDlg::OpenLog() { openFile_(logPath_); }

void ProgressDlg::ToggleMainWindow() {
  mainVisible_ = !mainVisible_;
  if (mainWindow_) mainWindow_->setVisible(mainVisible_);
}

void ProgressDlg::reject() {
  if (showsSummary_) {
    StorePlacement();
    done(QDialog::Accepted);  // Close, Escape or the close button: the rip is over
    return;
  }
  if (cancelRequested_) return;
  cancelRequested_ = true;
  cancel_->setEnabled(false);
  if (job_) job_->Cancel();
  // The dialog stays until every thread of the job has stopped and it has finished.
}

void ProgressDlg::Finish(const RipResult& result) {
  if (finished_) return;
  finished_ = true;
  StorePlacement();
  if (!cancelRequested_ && RipSummary::HasVerdicts(result)) {
    ShowSummary(result);
    return;
  }
  done(cancelRequested_ ? QDialog::Rejected : QDialog::Accepted);
}

void ProgressDlg::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange) minimised_ = isMinimized();
  QDialog::changeEvent(event);
}

void ProgressDlg::PlaceFromSettings() {
  const SettingsStore& store = SettingsStore::Instance();
  if (store.ReadInt(Key::ProgressWidth) == 0 && mainWindow_ && mainWindow_->isVisible()) {
    // Never placed before: over the middle of the main window rather than in a corner.
    adjustSize();
    move(mainWindow_->frameGeometry().center() - rect().center());
    return;
  }
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize limit = screen ? screen->virtualSize() : QSize(0, 0);
  move(WindowLayout::ClampPosition(store.ReadInt(Key::ProgressLeft), limit.width()),
       WindowLayout::ClampPosition(store.ReadInt(Key::ProgressTop), limit.height()));
}

void ProgressDlg::StorePlacement() {
  SettingsStore& store = SettingsStore::Instance();
  store.WriteInt(Key::MainWindowIsVisible, mainVisible_ ? 1 : 0);
  if (minimised_) return;
  const QRect frame = frameGeometry();
  store.WriteInt(Key::ProgressLeft, frame.x());
  store.WriteInt(Key::ProgressTop, frame.y());
  store.WriteInt(Key::ProgressWidth, frame.width());
  store.WriteInt(Key::ProgressHeight, frame.height());
}
