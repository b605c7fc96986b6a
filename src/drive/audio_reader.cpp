#include "drive/audio_reader.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <memory>

#include "drive/cd_device.h"
#include "platform/log.h"
#include "platform/stop_request.h"

namespace {

// Far enough that no drive's cache still holds the sectors of the last read.
constexpr int kCacheDefeatDistance = 8000;

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

// Sectors as the drive delivers them, all inside the disc; unreadable ones become silence
// and are marked in failed (one flag per sector).
bool ReadSectorsOrSilence(CdDevice& drive, int lba, int count, uint8_t* out,
                          const std::atomic<int>* stop, bool* failed) {
  const TryResult whole = ReadWithTries(drive, lba, count, out, kAudioRequestTries, stop);
  if (whole != TryResult::Failed) return whole == TryResult::Read;
  qCDebug(lcRip) << "request at" << lba << "of" << count << "sectors unreadable after"
                 << kAudioRequestTries << "tries; reading it sector by sector";
  for (int i = 0; i < count; ++i) {
    uint8_t* sector = out + size_t(i) * kCdSectorBytes;
    const TryResult single = ReadWithTries(drive, lba + i, 1, sector, kAudioSectorTries, stop);
    if (single == TryResult::Stopped) return false;
    if (single == TryResult::Read) continue;
    qCDebug(lcRip) << "sector" << lba + i << "unreadable after" << kAudioSectorTries
                   << "tries; filled with silence";
    std::memset(sector, 0, kCdSectorBytes);
    failed[i] = true;
  }
  return true;
}

int64_t FloorDiv(int64_t value, int64_t divisor) {
  return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

// The end (exclusive) of the run of readable audio sectors from sector on: sector itself
// when it holds no audio a drive gives (before the disc, after it, in a data track).
int AudioRunEnd(const Toc::View& toc, int sector, int leadOut) {
  if (sector < 0 || sector >= leadOut) return sector;
  int count = 0;
  if (!toc.TrackCount(count)) return leadOut;  // no table: the drive decides
  int end = leadOut;
  for (int i = count - 1; i >= 0; --i) {
    int start = 0;
    bool data = false;
    if (!toc.TrackStart(i, start) || !toc.IsDataTrack(i, data)) continue;
    if (start > sector) {
      if (data) end = start;
      continue;
    }
    return data ? sector : end;
  }
  return end;
}

// A read of output sectors with one flag per sector: whether silence stands for audio that
// could not be read.
struct Pass {
  AudioReadOutcome outcome;
  std::vector<bool> failed;
};

// Reads the sectors covering count sectors' worth of frames from lba x 588 + offset; what
// lies outside the disc is silence. Whole requests never pass the drive's limit per read.
Pass ReadPass(CdDevice& drive, int lba, int count, int offset, uint8_t* out,
              const std::atomic<int>* stop) {
  Pass pass;
  pass.failed.assign(size_t(count), false);
  const Toc::View toc = drive.TocView();
  int leadOut = 0;
  if (!toc.LeadOut(leadOut)) leadOut = INT_MAX;  // the drive decides
  const int64_t startFrame = int64_t(lba) * kCdSectorFrames + offset;
  const int64_t frames = int64_t(count) * kCdSectorFrames;
  const int first = int(FloorDiv(startFrame, kCdSectorFrames));
  const int skipFrames = int(startFrame - int64_t(first) * kCdSectorFrames);
  const int sectors = count + (skipFrames > 0 ? 1 : 0);
  std::vector<uint8_t> shifted(skipFrames > 0 ? size_t(sectors) * kCdSectorBytes : 0);
  uint8_t* source = skipFrames > 0 ? shifted.data() : out;
  const std::unique_ptr<bool[]> sourceFailed(new bool[size_t(sectors)]());

  for (int done = 0; done < sectors;) {
    const int sector = first + done;
    uint8_t* at = source + size_t(done) * kCdSectorBytes;
    const int runEnd = AudioRunEnd(toc, sector, leadOut);
    if (runEnd <= sector) {
      std::memset(at, 0, kCdSectorBytes);
      const int64_t sectorStart = int64_t(sector) * kCdSectorFrames;
      pass.outcome.outsideFrames +=
          int(std::min(sectorStart + kCdSectorFrames, startFrame + frames) -
              std::max(sectorStart, startFrame));
      ++done;
      continue;
    }
    const int n = std::min({sectors - done, runEnd - sector, CdDevice::kMaxSectorsPerRead});
    if (!ReadSectorsOrSilence(drive, sector, n, at, stop, sourceFailed.get() + done)) {
      pass.outcome.stopped = true;
      return pass;
    }
    done += n;
  }
  if (skipFrames > 0)
    std::memcpy(out, source + size_t(skipFrames) * kCdFrameBytes, size_t(frames) * kCdFrameBytes);

  for (int s = 0; s < sectors; ++s) {
    if (!sourceFailed[size_t(s)]) continue;
    ++pass.outcome.silentSectors;
    if (s < count) pass.failed[size_t(s)] = true;
    if (skipFrames > 0 && s > 0) pass.failed[size_t(s - 1)] = true;
  }
  if (pass.outcome.outsideFrames > 0)
    qCDebug(lcRip) << pass.outcome.outsideFrames << "frames at" << lba << "offset" << offset
                   << "lie where no audio can be read; filled with silence";
  return pass;
}

// One sector away from the last read, so the drive reads the next one from the disc rather
// than from its cache. What the far sector holds, and whether it reads, does not matter.
void DefeatCache(CdDevice& drive, int lba, int count) {
  int leadOut = 0;
  if (!drive.TocView().LeadOut(leadOut) || leadOut <= 0) return;
  const int after = lba + count + kCacheDefeatDistance;
  const int far = after < leadOut ? after : std::max(0, lba - kCacheDefeatDistance);
  uint8_t sector[kCdSectorBytes];
  int length = kCdSectorBytes;
  drive.ReadAudio(far, 1, sector, length);
}

bool SameSector(const uint8_t* a, const uint8_t* b) {
  return std::memcmp(a, b, kCdSectorBytes) == 0;
}

// Per frame, the value most of the versions hold (the earliest of equally frequent ones).
void VoteFrames(const std::vector<std::vector<uint8_t>>& versions, uint8_t* out) {
  for (int frame = 0; frame < kCdSectorFrames; ++frame) {
    std::map<uint32_t, int> votes;
    uint32_t best = 0;
    int bestVotes = 0;
    for (const std::vector<uint8_t>& version : versions) {
      uint32_t value;
      std::memcpy(&value, version.data() + frame * kCdFrameBytes, kCdFrameBytes);
      if (++votes[value] > bestVotes) {
        bestVotes = votes[value];
        best = value;
      }
    }
    std::memcpy(out + frame * kCdFrameBytes, &best, kCdFrameBytes);
  }
}

enum class Settled { Agreed, Voted, Stopped };

// A sector whose two reads differ: read again until a read equals an earlier one, then that
// is the sector; after kSecureRereads reads without agreement, the frames are voted on.
// *failed tells whether the chosen sector is silence for audio that could not be read.
Settled SettleSector(CdDevice& drive, int lba, int offset,
                     std::vector<std::vector<uint8_t>> versions, std::vector<bool> versionFailed,
                     uint8_t* out, bool* failed, const std::atomic<int>* stop) {
  std::vector<uint8_t> read(kCdSectorBytes);
  for (int attempt = 0; attempt < kSecureRereads; ++attempt) {
    DefeatCache(drive, lba, 1);
    const Pass pass = ReadPass(drive, lba, 1, offset, read.data(), stop);
    if (pass.outcome.stopped) return Settled::Stopped;
    for (size_t v = 0; v < versions.size(); ++v) {
      if (!SameSector(versions[v].data(), read.data())) continue;
      std::memcpy(out, read.data(), kCdSectorBytes);
      *failed = versionFailed[v] && pass.failed[0];
      return Settled::Agreed;
    }
    versions.push_back(read);
    versionFailed.push_back(pass.failed[0]);
  }
  VoteFrames(versions, out);
  *failed = false;
  return Settled::Voted;
}

}  // namespace

AudioReadOutcome ReadAudioAtOffset(CdDevice& drive, int lba, int count, int offsetFrames,
                                   uint8_t* out, const std::atomic<int>* stop) {
  const StopRequestScope scope(stop);
  return ReadPass(drive, lba, count, offsetFrames, out, stop).outcome;
}

AudioReadOutcome ReadAudioOrSilence(CdDevice& drive, int lba, int count, uint8_t* out,
                                    const std::atomic<int>* stop) {
  return ReadAudioAtOffset(drive, lba, count, drive.readOffset, out, stop);
}

AudioReadOutcome ReadAudioSecurely(CdDevice& drive, int lba, int count, uint8_t* out,
                                   const std::atomic<int>* stop, uint8_t* secondRead) {
  const StopRequestScope scope(stop);
  const int offset = drive.readOffset;
  Pass first = ReadPass(drive, lba, count, offset, out, stop);
  AudioReadOutcome& outcome = first.outcome;
  if (outcome.stopped) return outcome;
  DefeatCache(drive, lba, count);
  std::vector<uint8_t> ownSecond(secondRead ? 0 : size_t(count) * kCdSectorBytes);
  uint8_t* second = secondRead ? secondRead : ownSecond.data();
  const Pass again = ReadPass(drive, lba, count, offset, second, stop);
  if (again.outcome.stopped) {
    outcome.stopped = true;
    return outcome;
  }
  outcome.silentSectors = 0;
  for (int i = 0; i < count; ++i) {
    uint8_t* sector = out + size_t(i) * kCdSectorBytes;
    const uint8_t* other = second + size_t(i) * kCdSectorBytes;
    bool failed = first.failed[size_t(i)] && again.failed[size_t(i)];
    if (!SameSector(sector, other)) {
      outcome.rereadSectors.push_back(lba + i);
      const Settled settled =
          SettleSector(drive, lba + i, offset,
                       {{sector, sector + kCdSectorBytes}, {other, other + kCdSectorBytes}},
                       {first.failed[size_t(i)], again.failed[size_t(i)]}, sector, &failed, stop);
      if (settled == Settled::Stopped) {
        outcome.stopped = true;
        return outcome;
      }
      if (settled == Settled::Voted) {
        qCDebug(lcRip) << "sector" << lba + i << "never read the same twice in"
                       << kSecureRereads + 2 << "reads; its frames were voted on";
        outcome.suspiciousSectors.push_back(lba + i);
      }
    }
    if (failed) ++outcome.silentSectors;
  }
  return outcome;
}
