#include "drive/audio_reader.h"

#include <cstring>

#include "drive/cd_device.h"
#include "platform/log.h"
#include "platform/stop_request.h"

namespace {

enum class TryResult { Read, Failed, Stopped };

TryResult ReadWithTries(CdDevice& drive, int lba, int count, uint8_t* out, int tries,
                        const std::atomic<int>* stop) {
  for (int attempt = 0; attempt < tries; ++attempt) {
    if (stop && *stop) return TryResult::Stopped;
    int length = count * kCdSectorBytes;
    if (drive.ReadAudio(lba, count, out, length)) return TryResult::Read;
  }
  return TryResult::Failed;
}

}  // namespace

AudioReadOutcome ReadAudioOrSilence(CdDevice& drive, int lba, int count, uint8_t* out,
                                    const std::atomic<int>* stop) {
  const StopRequestScope scope(stop);
  AudioReadOutcome outcome;
  const TryResult whole = ReadWithTries(drive, lba, count, out, kAudioRequestTries, stop);
  outcome.stopped = whole == TryResult::Stopped;
  if (whole != TryResult::Failed) return outcome;
  qCDebug(lcRip) << "request at" << lba << "of" << count << "sectors unreadable after"
                 << kAudioRequestTries << "tries; reading it sector by sector";
  for (int i = 0; i < count; ++i) {
    uint8_t* sector = out + size_t(i) * kCdSectorBytes;
    const TryResult single = ReadWithTries(drive, lba + i, 1, sector, kAudioSectorTries, stop);
    if (single == TryResult::Stopped) {
      outcome.stopped = true;
      return outcome;
    }
    if (single == TryResult::Read) continue;
    qCDebug(lcRip) << "sector" << lba + i << "unreadable after" << kAudioSectorTries
                   << "tries; filled with silence";
    std::memset(sector, 0, kCdSectorBytes);
    ++outcome.silentSectors;
  }
  return outcome;
}
