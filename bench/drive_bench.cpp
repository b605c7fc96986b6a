// Reading a whole 74-minute disc image from the virtual drive through ReadAudio in 27-sector
// requests, as a rip does, with no read throttle; beside it, plain reads of the same file in
// the same chunk size, which is as fast as the image can be delivered at all.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>
#include <QFile>
#include <QTemporaryDir>

#include <vector>

#include "bench_disc.h"
#include "drive/cd_device.h"
#include "drive/drive_context.h"
#include "drive/virtual/virtual_drive.h"
#include "platform/cd_sector.h"
#include "platform/paths.h"
#include "settings/settings_store.h"

namespace {

constexpr int kDiscSectors = 74 * 60 * 75;  // 333000
constexpr int kTracks = 10;
constexpr int kChunkSectors = 27;

struct Disc {
  QTemporaryDir dir;
  QString bin;
  QString cue;
};

// One BIN file of music-like bytes (not zeros) with ten audio tracks; written once.
Disc& SeventyFourMinuteDisc() {
  static Disc* disc = [] {
    auto* d = new Disc;
    Paths::SetConfigDirOverride(d->dir.path());
    d->bin = d->dir.filePath("disc.bin");
    QFile file(d->bin);
    file.open(QIODevice::WriteOnly);
    QByteArray block(kCdSectorBytes * 75, '\0');
    uint32_t state = 12345;
    for (char& byte : block) {
      state = state * 1664525u + 1013904223u;
      byte = static_cast<char>(state >> 24);
    }
    for (int second = 0; second < kDiscSectors / 75; ++second) file.write(block);
    file.close();
    const QString sheet = EqualTracksCueSheet("disc.bin", kDiscSectors, kTracks);
    d->cue = d->dir.filePath("disc.cue");
    QFile cue(d->cue);
    cue.open(QIODevice::WriteOnly);
    cue.write(sheet.toUtf8());
    return d;
  }();
  return *disc;
}

CdDevice& InsertDisc() { return InsertInVirtualDrive(SeventyFourMinuteDisc().cue); }

void BM_ReadAudioWholeDisc(benchmark::State& state) {
  CdDevice& device = InsertDisc();
  std::vector<uint8_t> buffer(kChunkSectors * kCdSectorBytes + 1);
  int64_t bytes = 0;
  for (auto _ : state) {
    device.Open();
    for (int lba = 0; lba < kDiscSectors; lba += kChunkSectors) {
      const int count = std::min(kChunkSectors, kDiscSectors - lba);
      int length = static_cast<int>(buffer.size());
      if (!device.ReadAudio(lba, count, buffer.data(), length)) {
        state.SkipWithError("a read failed");
        break;
      }
      bytes += length;
    }
    device.Close();
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ReadAudioWholeDisc)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainFileReadsSameChunks(benchmark::State& state) {
  const QByteArray path = QFile::encodeName(SeventyFourMinuteDisc().bin);
  std::vector<uint8_t> buffer(kChunkSectors * kCdSectorBytes);
  int64_t bytes = 0;
  for (auto _ : state) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    for (off_t offset = 0; offset < off_t(kDiscSectors) * kCdSectorBytes; offset += buffer.size()) {
      const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), offset);
      if (got <= 0) break;
      bytes += got;
    }
    ::close(fd);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_PlainFileReadsSameChunks)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
