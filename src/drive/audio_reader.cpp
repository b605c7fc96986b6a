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
                        const std::atomic<int>* stop, bool* c2Errors) {
  for (int attempt = 0; attempt < tries; ++attempt) {
    if (stop && *stop) return TryResult::Stopped;
    int length = count * kCdSectorBytes;
    if (drive.ReadAudio(lba, count, out, length, c2Errors)) return TryResult::Read;
  }
  return TryResult::Failed;
}

// Sectors as the drive delivers them, all inside the disc; unreadable ones become silence
// and are marked in failed (one flag per sector). Given c2Errors (one flag per sector), the
// drive's C2 error pointers are asked for and mark the sectors it could not mend.
bool ReadSectorsOrSilence(CdDevice& drive, int lba, int count, uint8_t* out,
                          const std::atomic<int>* stop, bool* failed, bool* c2Errors) {
  const TryResult whole = ReadWithTries(drive, lba, count, out, kAudioRequestTries, stop, c2Errors);
  if (whole != TryResult::Failed) return whole == TryResult::Read;
  qCDebug(lcRip) << "request at" << lba << "of" << count << "sectors unreadable after"
                 << kAudioRequestTries << "tries; reading it sector by sector";
  for (int i = 0; i < count; ++i) {
    uint8_t* sector = out + size_t(i) * kCdSectorBytes;
    const TryResult single = ReadWithTries(drive, lba + i, 1, sector, kAudioSectorTries, stop,
                                           c2Errors ? c2Errors + i : nullptr);
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

// A read of output sectors with two flags per sector: whether silence stands for audio that
// could not be read, and whether the drive's C2 error pointers marked a byte of it.
struct Pass {
  AudioReadOutcome outcome;
  std::vector<bool> failed;
  std::vector<bool> c2Errors;
};

// Reads the sectors covering count sectors' worth of frames from lba x 588 + offset; what
// lies outside the disc is silence. Whole requests never pass the drive's limit per read.
Pass ReadPass(CdDevice& drive, int lba, int count, int offset, uint8_t* out,
              const std::atomic<int>* stop, bool withC2 = false) {
  Pass pass;
  pass.failed.assign(size_t(count), false);
  pass.c2Errors.assign(size_t(count), false);
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
  const std::unique_ptr<bool[]> sourceC2(new bool[size_t(sectors)]());

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
    if (!ReadSectorsOrSilence(drive, sector, n, at, stop, sourceFailed.get() + done,
                              withC2 ? sourceC2.get() + done : nullptr)) {
      pass.outcome.stopped = true;
      return pass;
    }
    done += n;
  }
  if (skipFrames > 0)
    std::memcpy(out, source + size_t(skipFrames) * kCdFrameBytes, size_t(frames) * kCdFrameBytes);

  // A source sector's flags go to the output sectors it fills: with a shift, two of them.
  const auto mark = [&](std::vector<bool>& flags, int s) {
    if (s < count) flags[size_t(s)] = true;
    if (skipFrames > 0 && s > 0) flags[size_t(s - 1)] = true;
  };
  for (int s = 0; s < sectors; ++s) {
    if (sourceC2[size_t(s)]) mark(pass.c2Errors, s);
    if (!sourceFailed[size_t(s)]) continue;
    ++pass.outcome.silentSectors;
    mark(pass.failed, s);
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

// One read of a sector in secure reading: its bytes, whether they are silence for audio that
// could not be read, and whether the drive marked C2 errors in it.
struct Version {
  std::vector<uint8_t> bytes;
  bool failed = false;
  bool c2Errors = false;
};

Version VersionOf(const Pass& pass, const uint8_t* sector, int index) {
  return {
      {sector, sector + kCdSectorBytes}, pass.failed[size_t(index)], pass.c2Errors[size_t(index)]};
}

// Per frame, the value most of the versions hold (the earliest of equally frequent ones).
void VoteFrames(const std::vector<Version>& versions, uint8_t* out) {
  for (int frame = 0; frame < kCdSectorFrames; ++frame) {
    std::map<uint32_t, int> votes;
    uint32_t best = 0;
    int bestVotes = 0;
    for (const Version& version : versions) {
      uint32_t value;
      std::memcpy(&value, version.bytes.data() + frame * kCdFrameBytes, kCdFrameBytes);
      if (++votes[value] > bestVotes) {
        bestVotes = votes[value];
        best = value;
      }
    }
    std::memcpy(out + frame * kCdFrameBytes, &best, kCdFrameBytes);
  }
}

// Two reads agree when they hold the same bytes and the drive marked no C2 error in either:
// a drive that reads the same wrong audio twice still says so through its error pointers.
bool Agree(const Version& a, const Version& b) {
  return !a.c2Errors && !b.c2Errors && SameSector(a.bytes.data(), b.bytes.data());
}

enum class Settled { Agreed, Voted, Stopped };

// A sector whose two reads do not agree: read again until a read agrees with an earlier one,
// then that is the sector; after kSecureRereads reads without agreement, the frames are voted
// on. *failed tells whether the chosen sector is silence for audio that could not be read.
Settled SettleSector(CdDevice& drive, int lba, int offset, bool withC2,
                     std::vector<Version> versions, uint8_t* out, bool* failed,
                     const std::atomic<int>* stop) {
  std::vector<uint8_t> read(kCdSectorBytes);
  for (int attempt = 0; attempt < kSecureRereads; ++attempt) {
    DefeatCache(drive, lba, 1);
    const Pass pass = ReadPass(drive, lba, 1, offset, read.data(), stop, withC2);
    if (pass.outcome.stopped) return Settled::Stopped;
    Version latest = VersionOf(pass, read.data(), 0);
    for (const Version& earlier : versions) {
      if (!Agree(earlier, latest)) continue;
      std::memcpy(out, read.data(), kCdSectorBytes);
      *failed = earlier.failed && latest.failed;
      return Settled::Agreed;
    }
    versions.push_back(std::move(latest));
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
  const bool withC2 = drive.ReportsC2Errors();
  Pass first = ReadPass(drive, lba, count, offset, out, stop, withC2);
  AudioReadOutcome& outcome = first.outcome;
  if (outcome.stopped) return outcome;
  DefeatCache(drive, lba, count);
  std::vector<uint8_t> ownSecond(secondRead ? 0 : size_t(count) * kCdSectorBytes);
  uint8_t* second = secondRead ? secondRead : ownSecond.data();
  const Pass again = ReadPass(drive, lba, count, offset, second, stop, withC2);
  if (again.outcome.stopped) {
    outcome.stopped = true;
    return outcome;
  }
  outcome.silentSectors = 0;
  for (int i = 0; i < count; ++i) {
    uint8_t* sector = out + size_t(i) * kCdSectorBytes;
    std::vector<Version> versions{VersionOf(first, sector, i),
                                  VersionOf(again, second + size_t(i) * kCdSectorBytes, i)};
    bool failed = versions[0].failed && versions[1].failed;
    if (!Agree(versions[0], versions[1])) {
      outcome.rereadSectors.push_back(lba + i);
      const Settled settled =
          SettleSector(drive, lba + i, offset, withC2, std::move(versions), sector, &failed, stop);
      if (settled == Settled::Stopped) {
        outcome.stopped = true;
        return outcome;
      }
      if (settled == Settled::Voted) {
        qCDebug(lcRip) << "sector" << lba + i << "never read the same twice without C2 errors in"
                       << kSecureRereads + 2 << "reads; its frames were voted on";
        outcome.suspiciousSectors.push_back(lba + i);
      }
    }
    if (failed) ++outcome.silentSectors;
  }
  return outcome;
}
