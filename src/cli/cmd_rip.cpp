// rip [--format F] [--tracks 1,3-5] [--out DIR]: the Rip command without a window.
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <atomic>
#include <csignal>

#include "app/main_controller.h"
#include "cli/cli_command.h"
#include "cli/cli_disc.h"
#include "cli/track_list.h"
#include "drive/drive_context.h"
#include "encoders/output_format.h"
#include "encoders/part_file.h"
#include "encoders/rip_worker.h"
#include "settings/settings_store.h"

namespace {

std::atomic<bool> interrupted{false};

// Made on first use, when the help text asks for it: it names the formats this build writes.
const QCommandLineOption& FormatOption() {
  static const QCommandLineOption option("format", "Output format: " + WritableFormatList() + ".",
                                         "FORMAT");
  return option;
}
const QCommandLineOption kTracks("tracks", "Tracks to rip, e.g. 1,3-5 (default: the ticked ones).",
                                 "LIST");
const QCommandLineOption kOut("out", "Output folder for this run.", "DIR");

// The console as the controller's front end: the track list in memory, one progress line
// that updates in place, messages on stderr.
class ConsoleHost : public ControllerHost {
 public:
  explicit ConsoleHost(CliContext& ctx) : ctx_(ctx) {}

  void SetTrackRows(const QList<TrackRow>& rows) override {
    rows_ = rows;
    checked_ = QList<bool>(rows.size(), false);
  }
  int TrackRowCount() const override { return int(rows_.size()); }
  bool IsRowChecked(int row) const override {
    return row >= 0 && row < checked_.size() && checked_[row];
  }
  void SetRowChecked(int row, bool checked) override {
    if (row >= 0 && row < checked_.size()) checked_[row] = checked;
  }
  void SetPlayingRow(int) override {}
  void OnDiscInfoChanged(const QList<TrackRow>& rows) override { rows_ = rows; }
  void OnFormatChanged(FormatId format) override {
    ctx_.out << "Output format: " << FindFormatRow(format).name << Qt::endl;
  }
  void ShowMessage(MessageKind kind, const QString& text) override {
    (kind == MessageKind::Information ? ctx_.out : ctx_.err)
        << "korvane-cli: " << Printable(text) << Qt::endl;
  }
  void SetMainWindowVisible(bool) override {}
  void OpenFolder(const QString& folder) override {
    ctx_.out << "Output folder: " << folder << Qt::endl;
  }

  bool RunProgressDialog(const RipRun& run) override {
    bool cancelled = false;
    while (!run.done->WaitFor(200)) {
      if (interrupted && !cancelled) {
        run.worker->stopRequested = 1;
        cancelled = true;
      }
      PrintProgress(run, false);
    }
    PrintProgress(run, !cancelled && !run.worker->failed);
    ctx_.out << Qt::endl;
    if (cancelled) return false;
    // The outcome is complete once the done signal came; a failed run is told at the end.
    if (!run.worker->failed) ctx_.out << "Wrote " << run.worker->outputPath << Qt::endl;
    return true;
  }

  std::atomic<double> trackPercent{0};

 private:
  // The worker's last report comes before its last chunk; a run that completed shows 100 %.
  void PrintProgress(const RipRun& run, bool completed) {
    const double x = run.worker->speed * 1000.0 / 176400.0;  // bytes a millisecond -> x-speed
    ctx_.out << QString("\rTrack %1 of %2  %3%  %4x  %5")
                    .arg(run.ordinal)
                    .arg(run.runCount)
                    .arg(completed ? 100.0 : trackPercent.load(), 5, 'f', 1)
                    .arg(QString::asprintf("%2.02f", x), QDir(run.path).dirName())
             << Qt::flush;
  }

  CliContext& ctx_;
  QList<TrackRow> rows_;
  QList<bool> checked_;
};

// SIGTERM and SIGHUP (a closed terminal, a service stop) cancel like Ctrl-C: the track under
// way is dropped, never left half-written under its name. A second one ends the process at
// once, its temporary files removed, for a user who will not wait for the cancel.
constexpr int kCancelSignals[] = {SIGINT, SIGTERM, SIGHUP};

void OnCancelSignal(int signal) {
  if (!interrupted.exchange(true)) {
    static const char kCancelling[] =
        "\nkorvane-cli: cancelling; press Ctrl-C again to stop at once\n";
    (void)!::write(STDERR_FILENO, kCancelling, sizeof kCancelling - 1);
    return;
  }
  RemovePartFilesNow();
  ::_exit(128 + signal);
}

void CatchCancelSignals() {
  for (int signal : kCancelSignals) std::signal(signal, OnCancelSignal);
}

void ReleaseCancelSignals() {
  for (int signal : kCancelSignals) std::signal(signal, SIG_DFL);
}

// formats: those the disc allows, named when the format asked for is not among them.
int ReportOutcomes(CliContext& ctx, const RipResult& result, const QList<FormatId>& formats) {
  using S = RipResult::Status;
  if (result.status == S::Busy) return Exit::Failed;  // the host has named the reason
  if (result.status == S::Unavailable) {
    return Fail(ctx, Exit::BadArguments,
                "this build writes " + WritableFormatList() + " (--format)");
  }
  if (result.status == S::NoDrive)
    return Fail(ctx, Exit::NoDisc, "no drive or no disc to rip from");
  if (result.status == S::NotAllowed) {
    QStringList allowed;
    for (FormatId format : formats) allowed << FindFormatRow(format).shortName;
    return Fail(
        ctx, Exit::BadArguments,
        "the disc does not allow this format; it allows " + allowed.join(", ") + " (--format)");
  }
  if (result.status == S::Pending)
    return Fail(ctx, Exit::NoDisc, "the tray was open; no disc arrived");
  if (result.status == S::Cancelled) return Fail(ctx, Exit::Failed, "cancelled");
  if (result.outcomes.isEmpty()) {
    return Fail(ctx, Exit::BadArguments, "nothing to rip: no audio track is ticked or listed");
  }
  int status = Exit::Ok;
  for (const TrackOutcome& outcome : result.outcomes) {
    const QString what = outcome.trackIndex < 0 ? QString("the disc image")
                                                : QString("track %1").arg(outcome.trackIndex + 1);
    if (outcome.failed) {
      ctx.err << "korvane-cli: " << what << " failed: " << Printable(outcome.errorText) << Qt::endl;
      status = Exit::Failed;
    } else if (outcome.failedSectors > 0) {
      ctx.err << "korvane-cli: " << what << " had " << outcome.failedSectors
              << " unreadable sectors, written as silence: " << outcome.path << Qt::endl;
      if (status == Exit::Ok) status = Exit::PartialFailure;
    }
  }
  return status;
}

int RunRip(CliContext& ctx) {
  RipOverrides overrides;
  if (ctx.parser.isSet(FormatOption())) {
    const FormatRow* row = FindFormatRowByShortName(ctx.parser.value(FormatOption()));
    if (!row)
      return Fail(ctx, Exit::BadArguments, UnknownFormatMessage(ctx.parser.value(FormatOption())));
    overrides.format = row->menuId;
  }
  if (ctx.parser.isSet(kOut)) overrides.outputFolder = QDir(ctx.parser.value(kOut)).absolutePath();

  QString drive;
  int status = Exit::Ok;
  if (!SelectDrive(ctx, drive, status)) return status;
  ConsoleHost host(ctx);
  MainController controller(host);
  controller.SetPreferredDrive(drive);
  controller.RefreshTracks();
  if (SettingsStore::Instance().ReadInt(Key::AutoSelectAllTracks)) controller.SelectAll();
  if (ctx.parser.isSet(kTracks)) {
    QList<int> rows;
    QString error;
    if (!ParseTrackList(ctx.parser.value(kTracks), host.TrackRowCount(), rows, error)) {
      return Fail(ctx, Exit::BadArguments, error);
    }
    controller.ClearAll();
    for (int row : rows) host.SetRowChecked(row, true);
  }

  DriveContext::Instance().SetStatusCallback([&host](StatusReport report) {
    const bool progress =
        report.kind == StatusKind::TrackProgress || report.kind == StatusKind::ImageProgress;
    if (progress && !report.IsDone()) {
      host.trackPercent = report.value;
    }
  });
  CatchCancelSignals();
  {
    RipResult first = controller.RipCommand(overrides);
    // An open tray was closed: the rip starts when the disc has arrived.
    QElapsedTimer waiting;
    waiting.start();
    while (controller.RipQueued() || (first.status == RipResult::Status::Pending &&
                                      controller.RipsRun() == 0 && waiting.elapsed() < 60000)) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    }
  }
  ReleaseCancelSignals();
  if (controller.RipsRun() == 0)
    return ReportOutcomes(ctx, {RipResult::Status::Pending, {}, {}}, {});
  return ReportOutcomes(ctx, controller.LastRip(), controller.DiscFormats());
}

void AddRipOptions(QCommandLineParser& parser) {
  parser.addOption(FormatOption());
  parser.addOption(kTracks);
  parser.addOption(kOut);
}

const RegisterCommand kRip(
    {"rip", "[--format F] [--tracks LIST] [--out DIR]",
     "Rip the ticked (or listed) tracks of the disc, or the whole disc to an image.", AddRipOptions,
     RunRip});

}  // namespace
