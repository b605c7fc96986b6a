#include "ui/progress_dlg.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "app/window_layout.h"
#include "drive/cd_device.h"
#include "drive/drive_context.h"
#include "settings/settings_store.h"
#include "texts/language_manager.h"
#include "ui/ui_icons.h"

namespace {

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

ProgressDlg::ProgressDlg(RipJob& job, QWidget* mainWindow, std::function<void()> openFolder)
    : QDialog(nullptr), job_(&job), mainWindow_(mainWindow) {
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
  hideMain_ = new QCheckBox(texts.Text(5007));
  hideMain_->setObjectName("id2025");
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
  grid->setColumnStretch(1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(hideMain_);
  buttons->addStretch();
  buttons->addWidget(openButton);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addSpacing(6);
  layout->addLayout(buttons);
  setMinimumWidth(520);

  connect(cancel_, &QPushButton::clicked, this, &ProgressDlg::reject);
  connect(openButton, &QPushButton::clicked, this, [openFolder] { openFolder(); });
  connect(hideMain_, &QCheckBox::clicked, this, &ProgressDlg::ToggleMainWindow);

  connect(&job, &RipJob::RunStarted, this, &ProgressDlg::ShowRun);
  connect(&job, &RipJob::Progress, this, &ProgressDlg::ShowProgress);
  connect(&job, &RipJob::Finished, this, &ProgressDlg::Finish);
  ShowRun(job.CurrentRun());
  ShowProgress({});
  mainVisible_ = SettingsStore::Instance().ReadInt(Key::MainWindowIsVisible) != 0;
  hideMain_->setChecked(!mainVisible_);
  if (mainWindow_) mainWindow_->setVisible(mainVisible_);
  PlaceFromSettings();
  // The job may have finished before the dialog was built.
  if (job.IsFinished()) QTimer::singleShot(0, this, &ProgressDlg::Finish);
}

void ProgressDlg::ShowRun(const RipRun& run) {
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

void ProgressDlg::ToggleMainWindow() {
  mainVisible_ = !mainVisible_;
  if (mainWindow_) mainWindow_->setVisible(mainVisible_);
}

void ProgressDlg::reject() {
  if (cancelRequested_) return;
  cancelRequested_ = true;
  cancel_->setEnabled(false);
  if (job_) job_->Cancel();
  // The dialog stays until every thread of the job has stopped and it has finished.
}

void ProgressDlg::Finish() {
  if (finished_) return;
  finished_ = true;
  StorePlacement();
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
