#include "ui/screenshots.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QTimer>
#include <functional>

#include "drive/drive_context.h"
#include "settings/settings_store.h"
#include "ui/dialogs/folder_pane.h"
#include "ui/main_frame.h"
#include "ui/progress_dlg.h"
#include "ui/track_list.h"

namespace {

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

bool Save(QWidget& widget, const QString& path, QStringList& written) {
  Settle();
  if (!widget.grab().save(path)) return false;
  written.append(path);
  return true;
}

// Runs open, which shows a modal box, and saves the first box it shows; every box is closed.
void SaveModal(const std::function<void()>& open, const QString& path, QStringList& written) {
  bool saved = false;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (!box) return;
    if (!saved) saved = Save(*box, path, written);
    box->close();
  });
  closer.start(50);
  open();
}

// A verified rip of four tracks: while the second is read (the first verdict in), and its end
// with the summary.
void SaveVerifiedRip(const RipRun& run, const QString& runningPath, const QString& endPath,
                     QStringList& written) {
  RipResult result;
  result.logPath = QFileInfo(run.path).dir().filePath("Demo Disc.log");
  const TrackVerdict verdicts[] = {{AccurateRipStatus::Accurate, 23},
                                   {AccurateRipStatus::Accurate, 21},
                                   {AccurateRipStatus::Inaccurate, 0},
                                   {AccurateRipStatus::Accurate, 23}};
  for (int i = 0; i < 4; ++i) {
    TrackOutcome outcome;
    outcome.trackIndex = i;
    outcome.checksummed = true;
    outcome.verdict = verdicts[i];
    result.outcomes.append(outcome);
  }
  RipJob job;  // never started: the dialog shows what it is given
  ProgressDlg dialog(job, nullptr, [] {}, [](const QString&) {});
  dialog.show();
  dialog.ShowRun(run);
  dialog.ShowProgress({62.5, 40.6, 24 * 176.4, 0, false});
  dialog.ShowVerdict(1, verdicts[0]);
  Save(dialog, runningPath, written);
  dialog.ShowProgress({100, 100, 24 * 176.4, 0, false});
  dialog.Finish(result);
  Save(dialog, endPath, written);
}

void TakeSet(CMainFrame& frame, const QString& folder, const QString& suffix,
             QStringList& written) {
  frame.SelectAll();
  if (frame.Tracks()->rowCount() > 1) frame.SetPlayingRow(1);
  Save(frame, QDir(folder).filePath("main-window" + suffix + ".png"), written);

  // The Format menu as it drops down.
  QMenu* formats =
      frame.menuBar()->actions().value(3) ? frame.menuBar()->actions()[3]->menu() : nullptr;
  if (formats) {
    formats->popup(frame.mapToGlobal(QPoint(0, 0)));
    Save(*formats, QDir(folder).filePath("format-menu" + suffix + ".png"), written);
    formats->hide();
  }

  ShowFolderOptionsDlg pane;
  pane.adjustSize();
  Save(pane, QDir(folder).filePath("output-folder" + suffix + ".png"), written);

  RipRun run;
  run.path = QDir::home().filePath("Music/Korvane Demo/Demo Disc/02 - Second Movement.mp3");
  run.trackNumber = 2;
  run.ordinal = 2;
  run.runCount = 4;
  RipJob job;  // never started: the dialog shows the figures it is given
  ProgressDlg dialog(job, nullptr, [] {}, [](const QString&) {});
  dialog.show();
  dialog.ShowRun(run);
  dialog.ShowProgress({62.5, 40.6, 24 * 176.4, 2, false});
  Save(dialog, QDir(folder).filePath("progress" + suffix + ".png"), written);
  dialog.hide();
  SaveVerifiedRip(run, QDir(folder).filePath("rip-verified" + suffix + ".png"),
                  QDir(folder).filePath("rip-summary" + suffix + ".png"), written);
  frame.SetPlayingRow(-1);

  SaveModal([&] { frame.ShowAbout(); }, QDir(folder).filePath("about" + suffix + ".png"), written);
  // A rip with no track ticked says so.
  frame.ClearAll();
  SaveModal([&] { frame.Rip(); }, QDir(folder).filePath("nothing-ticked" + suffix + ".png"),
            written);
}

}  // namespace

QStringList TakeScreenshots(CMainFrame& frame, const QString& folder) {
  QStringList written;
  QDir().mkpath(folder);
  TakeSet(frame, folder, "", written);
  // The Language menu's first entry other than the built-in English.
  for (QAction* action : frame.findChildren<QAction*>()) {
    if (action->objectName() == "id16002") {
      action->trigger();
      TakeSet(frame, folder, "-" + action->text().toLower(), written);
      break;
    }
  }
  return written;
}
