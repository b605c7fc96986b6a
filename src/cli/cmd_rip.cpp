// rip [--format F] [--tracks 1,3-5] [--out DIR] [--secure] [--json]: the Rip command without a
// window.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTimer>
#include <atomic>

#include "app/main_controller.h"
#include "cli/cli_command.h"
#include "cli/cli_disc.h"
#include "cli/rip_json.h"
#include "cli/track_list.h"
#include "encoders/output_format.h"
#include "encoders/part_file.h"
#include "platform/console.h"
#include "rip/rip_log.h"
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
const QCommandLineOption kSecure("secure",
                                 "Read each chunk until two reads agree (slower; finds audio "
                                 "a drive returns wrong without an error).");
const QCommandLineOption kJson("json",
                               "Print the result as one JSON object on stdout when the rip "
                               "ends; progress goes to stderr.");

// The console as the controller's front end: the track list in memory (its checks are the
// controller's), one progress line that updates in place, messages on stderr. info takes the
// progress and the other information: stdout, or stderr when stdout is kept for JSON.
class ConsoleHost : public ControllerHost {
 public:
  ConsoleHost(CliContext& ctx, QTextStream& info) : ctx_(ctx), info_(info) {}

  void SetTrackRows(const QList<TrackRow>& rows) override { rows_ = rows; }
  int TrackRowCount() const override { return int(rows_.size()); }
  void ShowChecks(const TrackSelection&) override {}
  void SetPlayingRow(int) override {}
  void OnDiscInfoChanged(const QList<TrackRow>& rows) override { rows_ = rows; }
  void OnFormatChanged(FormatId format) override {
    info_ << "Output format: " << FindFormat(format).name << Qt::endl;
  }
  void ShowMessage(MessageKind kind, const QString& text) override {
    (kind == MessageKind::Information ? info_ : ctx_.err)
        << "korvane-cli: " << Printable(text) << Qt::endl;
  }
  void SetMainWindowVisible(bool) override {}
  void OpenFolder(const QString& folder) override {
    info_ << "Output folder: " << folder << Qt::endl;
  }

  // Follows a rip's job until its end: the progress line, "Wrote" for each track read and
  // written, and Ctrl-C (or SIGTERM, SIGHUP) as the job's Cancel.
  void WatchRip(RipJob* job) {
    run_ = {};
    auto* cancelWatch = new QTimer(job);
    QObject::connect(cancelWatch, &QTimer::timeout, job, [job] {
      if (interrupted) job->Cancel();
    });
    cancelWatch->start(100);
    // Each run keeps its line; the job's last progress of a run read whole says 100 %.
    QObject::connect(job, &RipJob::RunStarted, job, [this](const RipRun& run) {
      if (run_.ordinal > 0) info_ << Qt::endl;
      run_ = run;
      progress_ = {};
      PrintProgress();
    });
    QObject::connect(job, &RipJob::Progress, job, [this](const RipProgress& progress) {
      progress_ = progress;
      PrintProgress();
    });
    // Each verdict on a line of its own, above the progress line it interrupts.
    QObject::connect(
        job, &RipJob::TrackVerified, job, [this](int trackNumber, const TrackVerdict& verdict) {
          const QString line =
              QString("Track %1 AccurateRip: %2").arg(trackNumber).arg(VerdictText(verdict));
          info_ << "\r" << line.leftJustified(progressWidth_) << Qt::endl;
          if (run_.ordinal > 0) PrintProgress();
        });
    QObject::connect(job, &RipJob::Finished, job, [this](const RipResult& result) {
      if (run_.ordinal > 0) info_ << Qt::endl;
      // A failed run is told at the end, with the others.
      for (const TrackOutcome& outcome : result.outcomes) {
        if (!outcome.failed) info_ << "Wrote " << outcome.path << Qt::endl;
      }
      if (!result.logPath.isEmpty())
        info_ << RipSummaryLine(result) << Qt::endl << "Log: " << result.logPath << Qt::endl;
      if (!result.logError.isEmpty())
        ctx_.err << "korvane-cli: the rip log could not be written: " << Printable(result.logError)
                 << Qt::endl;
    });
  }

 private:
  void PrintProgress() {
    const double x = progress_.speed * 1000.0 / 176400.0;  // bytes a millisecond -> x-speed
    QString line = QString("\rTrack %1 of %2  %3%  total %4%  %5x  %6")
                       .arg(run_.ordinal)
                       .arg(run_.runCount)
                       .arg(progress_.runPercent, 5, 'f', 1)
                       .arg(progress_.totalPercent, 5, 'f', 1)
                       .arg(QString::asprintf("%2.02f", x), QDir(run_.path).dirName());
    if (progress_.failedSectors > 0)
      line += QString("  %1 unreadable sectors").arg(progress_.failedSectors);
    info_ << line << Qt::flush;
    progressWidth_ = int(line.size()) - 1;
  }

  RipRun run_;
  int progressWidth_ = 0;  // of the progress line shown, which a verdict line covers
  RipProgress progress_;
  CliContext& ctx_;
  QTextStream& info_;
  QList<TrackRow> rows_;
};

// SIGTERM and SIGHUP (a closed terminal, a service stop) cancel like Ctrl-C: the track under
// way is dropped, never left half-written under its name. A second one ends the process at
// once, its temporary files removed, for a user who will not wait for the cancel.
void OnCancelSignal(int signal) {
  if (!interrupted.exchange(true)) {
    static const char kCancelling[] =
        "\nkorvane-cli: cancelling; press Ctrl-C again to stop at once\n";
    WriteToStandardErrorNow(kCancelling, sizeof kCancelling - 1);
    return;
  }
  RemovePartFilesNow();
  EndProcessNow(ExitStatusForSignal(signal));
}

void CatchCancelSignals() { OnInterruptOrStop(OnCancelSignal); }

void ReleaseCancelSignals() { ReleaseInterrupts(); }

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
    for (FormatId format : formats) allowed << FindFormat(format).shortName;
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
    const QString what = outcome.trackIndex == kDiscImageIndex
                             ? QString("the disc image")
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
    const FormatDescriptor* chosen = FindFormatByName(ctx.parser.value(FormatOption()));
    if (!chosen)
      return Fail(ctx, Exit::BadArguments, UnknownFormatMessage(ctx.parser.value(FormatOption())));
    overrides.format = chosen->id;
  }
  if (ctx.parser.isSet(kOut)) overrides.outputFolder = QDir(ctx.parser.value(kOut)).absolutePath();
  if (ctx.parser.isSet(kSecure)) overrides.secure = true;
  const bool json = ctx.parser.isSet(kJson);

  QString drive;
  int status = Exit::Ok;
  if (!SelectDrive(ctx, drive, status)) return status;
  ConsoleHost host(ctx, json ? ctx.err : ctx.out);
  MainController controller(host);
  QObject::connect(&controller, &MainController::RipStarted, &controller,
                   [&host](RipJob* job) { host.WatchRip(job); });
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
    for (int row : rows) controller.SetChecked(row, true);
  }

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
    return ReportOutcomes(ctx, RipResult::Ended(RipResult::Status::Pending), {});
  const RipResult& result = controller.LastRip();
  if (json &&
      (result.status == RipResult::Status::Done || result.status == RipResult::Status::Cancelled)) {
    ctx.out << QJsonDocument(RipResultJson(result)).toJson(QJsonDocument::Compact) << Qt::endl;
  }
  return ReportOutcomes(ctx, result, controller.DiscFormats());
}

void AddRipOptions(QCommandLineParser& parser) {
  parser.addOption(FormatOption());
  parser.addOption(kTracks);
  parser.addOption(kOut);
  parser.addOption(kSecure);
  parser.addOption(kJson);
}

const RegisterCommand kRip(
    {"rip", "[--format F] [--tracks LIST] [--out DIR] [--secure] [--json]",
     "Rip the ticked (or listed) tracks of the disc, or the whole disc to an image.", AddRipOptions,
     RunRip});

}  // namespace
