// What accuracy costs. The read offset search over -3000..+3000 frames on a 5-minute track
// (13,230,000 frames), which must take seconds at most; and reading a 30-second stretch of a
// disc fast (each sector once) and securely (each chunk twice with a far read between, the
// cost of which should be about twice the reading time; with and without C2 error pointers)
// from a virtual drive throttled to 24x.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <random>
#include <vector>

#include "bench_disc.h"
#include "drive/audio_reader.h"
#include "drive/cd_device.h"
#include "drive/drive_context.h"
#include "drive/read_offset.h"
#include "drive/virtual/virtual_drive.h"
#include "metadata/accuraterip.h"
#include "platform/cd_sector.h"
#include "platform/paths.h"
#include "rip/offset_search.h"
#include "rip/track_checksums.h"

namespace {

constexpr uint32_t kFiveMinutes = 5 * 60 * 75 * kCdSectorFrames;
constexpr int kTrueOffset = 667;

void BM_OffsetSearchFiveMinuteTrack(benchmark::State& state) {
  OffsetTrack track;
  track.frames = kFiveMinutes;
  track.margin = kMaxReadOffset;
  track.window.resize(kFiveMinutes + 2 * size_t(kMaxReadOffset));
  std::mt19937 random(1);
  for (uint32_t& frame : track.window) frame = random();
  // The database's entry: the checksum of the track where a drive of offset +667 puts it.
  TrackChecksums truth(kFiveMinutes, false, false);
  const size_t from = size_t(kMaxReadOffset + kTrueOffset);
  for (size_t i = 0; i < kFiveMinutes; ++i) {
    const uint32_t frame = track.window[from + i];
    const uint8_t bytes[4] = {uint8_t(frame), uint8_t(frame >> 8), uint8_t(frame >> 16),
                              uint8_t(frame >> 24)};
    truth.Add(bytes, 4);
  }
  AccurateRipAnswer answer;
  answer.responses.push_back({{}, {{5, truth.AccurateRipV1(), 0}}});
  for (auto _ : state) {
    OffsetSearch search(answer);
    search.AddTrack(track);
    const OffsetFinding found = search.Best();
    if (!found.found || found.offset != kTrueOffset) state.SkipWithError("offset not found");
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kFiveMinutes);
}
BENCHMARK(BM_OffsetSearchFiveMinuteTrack)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int kDiscSectors = 10 * 60 * 75;
constexpr int kReadSectors = 30 * 75;
constexpr int kChunkSectors = 27;

CdDevice& ThrottledDisc() {
  static QTemporaryDir* dir = [] {
    auto* d = new QTemporaryDir;
    Paths::SetConfigDirOverride(d->path());
    QFile bin(d->filePath("disc.bin"));
    bin.open(QIODevice::WriteOnly);
    QByteArray second(kCdSectorBytes * 75, '\0');
    uint32_t seed = 7;
    for (char& byte : second) byte = char((seed = seed * 1664525u + 1013904223u) >> 24);
    for (int s = 0; s < kDiscSectors / 75; ++s) bin.write(second);
    QFile cue(d->filePath("disc.cue"));
    cue.open(QIODevice::WriteOnly);
    cue.write(EqualTracksCueSheet("disc.bin", kDiscSectors, 2).toUtf8());
    return d;
  }();
  VirtualDriveHost::Instance().Drive(0).SetReadThrottleX(24);
  return InsertInVirtualDrive(dir->filePath("disc.cue"));
}

void ReadStretch(benchmark::State& state, bool secure, bool c2 = false) {
  CdDevice& device = ThrottledDisc();
  VirtualDriveHost::Instance().Drive(0).SetC2Pointers(c2);
  std::vector<uint8_t> chunk(kChunkSectors * kCdSectorBytes);
  for (auto _ : state) {
    device.Open();
    for (int lba = 0; lba < kReadSectors; lba += kChunkSectors) {
      const int n = std::min(kChunkSectors, kReadSectors - lba);
      const AudioReadOutcome read = secure ? ReadAudioSecurely(device, lba, n, chunk.data())
                                           : ReadAudioOrSilence(device, lba, n, chunk.data());
      benchmark::DoNotOptimize(read);
    }
    device.Close();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kReadSectors * kCdSectorBytes);
}

void BM_ReadFast(benchmark::State& state) { ReadStretch(state, false); }
void BM_ReadSecure(benchmark::State& state) { ReadStretch(state, true); }
BENCHMARK(BM_ReadFast)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_ReadSecure)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
// The same from a drive that reports C2 error pointers: its error blocks come with every read.
void BM_ReadSecureWithC2(benchmark::State& state) { ReadStretch(state, true, true); }
BENCHMARK(BM_ReadSecureWithC2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
