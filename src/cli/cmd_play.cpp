// play N: listens to one track of the disc through the sound device.
#include <atomic>

#include "cli/cli_command.h"
#include "cli/cli_disc.h"
#include "drive/cd_device.h"
#include "drive/drive_context.h"
#include "platform/console.h"
#include "platform/wave_out.h"
#include "player/playback.h"

namespace {

std::atomic<bool> interrupted{false};
std::atomic<bool> ended{false};

constexpr int kRefreshMs = 200;
constexpr double kBytesPerSecond = double(WaveOut::kSampleRate) * WaveOut::kBytesPerFrame;

QString Clock(double seconds) {
  const int whole = int(seconds);
  return QString("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QChar('0'));
}

// One progress line, rewritten in place: percentage and time handed to the sound device.
struct Progress {
  uint32_t position = 0;
  uint32_t total = 0;
};

void PrintProgress(CliContext& ctx, int trackNumber, const Progress& progress, const char* state) {
  if (progress.total == 0) return;
  ctx.out << QString("\rTrack %1  %2%  %3 / %4  %5")
                 .arg(trackNumber)
                 .arg(int(100.0 * progress.position / progress.total), 3)
                 .arg(Clock(progress.position / kBytesPerSecond),
                      Clock(progress.total / kBytesPerSecond))
                 .arg(state, -7)
          << Qt::flush;
}

uint32_t TrackBytes(int index) {
  CdDevice* device = DriveContext::Instance().device;
  int first = 0;
  int last = 0;
  if (!device || !device->GetTrackStart(index, first) || !device->GetTrackEnd(index, last))
    return 0;
  return uint32_t(last - first + 1) * kCdSectorBytes;
}

int ExitFor(PlayError::Kind kind) {
  switch (kind) {
    case PlayError::BadTrack:
    case PlayError::DataTrack: return Exit::BadArguments;
    case PlayError::NoDisc: return Exit::NoDisc;
    default: return Exit::Failed;
  }
}

// Plays until the track ends or Ctrl-C stops it; keys toggle pause on a terminal.
void RunUntilEnd(CliContext& ctx, int trackNumber, Progress progress) {
  const KeyReader keys;
  if (keys.Interactive()) ctx.out << "Space or p pauses and resumes, Ctrl-C stops." << Qt::endl;
  bool stopping = false;
  while (!ended) {
    const char key = keys.WaitForKey(kRefreshMs);
    if (key == ' ' || key == 'p' || key == 'P') TogglePause();
    if (interrupted && !stopping) {
      StopPlayback();
      stopping = true;
    }
    int index = 0;
    if (PlaybackProgress(index, progress.position, progress.total)) {
      PrintProgress(ctx, trackNumber, progress, IsPaused() ? "paused" : "");
    }
  }
  WaitForPlayersToEnd();
  if (!stopping) progress.position = progress.total;
  PrintProgress(ctx, trackNumber, progress, stopping ? "stopped" : "");
  ctx.out << Qt::endl;
}

int RunPlay(CliContext& ctx) {
  bool isNumber = false;
  const int trackNumber = ctx.args.value(0).toInt(&isNumber);
  if (ctx.args.size() != 1 || !isNumber)
    return Fail(ctx, Exit::BadArguments, "play takes one track number");

  QString drive;
  int status = Exit::Ok;
  if (!SelectDriveWithDisc(ctx, drive, status)) return status;
  const QMetaObject::Connection reports =
      QObject::connect(&PlayerEvents::Instance(), &PlayerEvents::Report, [](const QString& state) {
        if (state != "PLAY_PLAY") ended = true;
      });
  OnInterrupt([](int) { interrupted = true; });
  PlayError error;
  if (PlayTrack(trackNumber - 1, &error)) {
    RunUntilEnd(ctx, trackNumber, {0, TrackBytes(trackNumber - 1)});
    status = Exit::Ok;
  } else {
    status = Fail(ctx, ExitFor(error.kind), error.text);
  }
  ReleaseInterrupts();
  QObject::disconnect(reports);
  return status;
}

const RegisterCommand kPlay({"play",
                             "N",
                             "Play track N of the disc through the sound device; Ctrl-C stops.",
                             {},
                             RunPlay,
                             true});

}  // namespace
