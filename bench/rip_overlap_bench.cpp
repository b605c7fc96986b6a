// A rip of a 74-minute virtual disc whose reading is throttled (a drive at KORVANE_BENCH_X,
// default 60x) to a codec that costs real CPU time per chunk (about 70% of the chunk's read
// time), beside reading alone and encoding alone. With reading overlapped with encoding the
// rip costs about the longer of the two, not their sum; "vs_read" is the rip's time over
// reading alone's (target: at most 1.1).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <ctime>

#include "bench_disc.h"
#include "drive/drive_context.h"
#include "drive/virtual/virtual_drive.h"
#include "encoders/audio_encoder.h"
#include "encoders/output_format.h"
#include "platform/paths.h"
#include "rip/rip_job.h"

namespace {

constexpr int kDiscSectors = 74 * 60 * 75;  // 333,000
constexpr int kTracks = 10;
constexpr int kChunkSectors = int(RipJob::kChunkSectors);
constexpr int kChunks = (kDiscSectors / kTracks + kChunkSectors - 1) / kChunkSectors * kTracks;

double SpeedX() {
  const double x = qEnvironmentVariable("KORVANE_BENCH_X").toDouble();
  return x > 0 ? x : 60.0;
}

// CPU time a chunk costs the codec: 70% of what reading it takes at the throttle.
double ChunkCpuSeconds() { return 0.7 * kChunkSectors / (75.0 * SpeedX()); }

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + t.tv_nsec / 1e9;
}

// A codec that spends a fixed CPU time on each chunk (a checksum over it, round and round)
// and writes nothing; cpuSeconds 0 makes it free.
class BurningCodec : public AudioEncoder {
 public:
  explicit BurningCodec(double cpuSecondsPerChunk) : perChunk_(cpuSecondsPerChunk) {}
  int Open(const QString&, const TrackFacts&, const TagRecord*) override { return 1; }
  int Write(const char* data, uint32_t byteCount, int prepass) override {
    if (prepass) return 0;
    const double until =
        ThreadCpuSeconds() + perChunk_ * byteCount / (kChunkSectors * kCdSectorBytes);
    uint32_t sum = 0;
    do {
      for (uint32_t i = 0; i < byteCount; i += 64) sum = sum * 31 + uint8_t(data[i]);
    } while (ThreadCpuSeconds() < until);
    benchmark::DoNotOptimize(sum);
    return 1;
  }
  int Close() override { return 1; }

 private:
  double perChunk_;
};

class BurningFormat : public OutputFormat {
 public:
  explicit BurningFormat(double cpuSecondsPerChunk)
      : OutputFormat(FindFormat(FormatId::Wav)), perChunk_(cpuSecondsPerChunk) {}
  std::unique_ptr<AudioEncoder> CreateEncoder() const override {
    return std::make_unique<BurningCodec>(perChunk_);
  }

 private:
  double perChunk_;
};

const QTemporaryDir& Folder() {
  static QTemporaryDir folder;
  return folder;
}

// A sparse 74-minute image of ten tracks in vcd0, made the current drive.
CdDevice* InsertDisc(benchmark::State& state) {
  Paths::SetConfigDirOverride(Folder().filePath("config"));
  const QString bin = Folder().filePath("disc.bin");
  const int fd = ::open(QFile::encodeName(bin).constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
  const bool made = fd >= 0 && ::ftruncate(fd, off_t(kDiscSectors) * 2352) == 0;
  if (fd >= 0) ::close(fd);
  if (!made) {
    state.SkipWithError("cannot make the image");
    return nullptr;
  }
  QFile cue(Folder().filePath("disc.cue"));
  cue.open(QIODevice::WriteOnly | QIODevice::Truncate);
  cue.write(EqualTracksCueSheet("disc.bin", kDiscSectors, kTracks).toUtf8());
  cue.close();
  QString error, name;
  VirtualDrive& drive = VirtualDriveHost::Instance().Drive(0);
  if (!drive.LoadCue(cue.fileName(), &error) ||
      SelectPreferredDrive("vcd0", name) != DriveChoice::Selected) {
    state.SkipWithError("cannot load the disc");
    return nullptr;
  }
  drive.SetReadThrottleX(SpeedX());
  return DriveContext::Instance().device.load();
}

double g_readAloneSeconds = 0;

// Rips every track of the disc with one codec; the wall time in seconds.
double RipDisc(CdDevice& device, std::shared_ptr<const OutputFormat> format) {
  RipRequest request;
  request.device = &device;
  request.format = std::move(format);
  for (int t = 0; t < kTracks; ++t) request.tracks.append(t);
  request.naming.outputFolder = Folder().filePath("out");
  request.encoderThreads = 1;
  RipJob job;
  QEventLoop loop;
  QObject::connect(&job, &RipJob::Finished, &loop, &QEventLoop::quit);
  const auto start = std::chrono::steady_clock::now();
  job.Start(request);
  if (!job.IsFinished()) loop.exec();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ReadAlone(benchmark::State& state) {
  CdDevice* device = InsertDisc(state);
  if (!device) return;
  const auto noCost = std::make_shared<BurningFormat>(0.0);
  for (auto _ : state) {
    g_readAloneSeconds = RipDisc(*device, noCost);
    state.SetIterationTime(g_readAloneSeconds);
  }
  state.counters["x_speed"] = SpeedX();
}
BENCHMARK(BM_ReadAlone)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_EncodeAlone(benchmark::State& state) {
  std::vector<char> chunk(size_t(kChunkSectors) * kCdSectorBytes, 1);
  for (auto _ : state) {
    BurningCodec codec(ChunkCpuSeconds());
    for (int i = 0; i < kChunks; ++i) codec.Write(chunk.data(), uint32_t(chunk.size()), 0);
  }
  state.counters["cpu_ms_per_chunk"] = ChunkCpuSeconds() * 1000;
}
BENCHMARK(BM_EncodeAlone)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

void BM_RipReadingOverlappedWithEncoding(benchmark::State& state) {
  CdDevice* device = InsertDisc(state);
  if (!device) return;
  const auto burning = std::make_shared<BurningFormat>(ChunkCpuSeconds());
  double seconds = 0;
  for (auto _ : state) {
    seconds = RipDisc(*device, burning);
    state.SetIterationTime(seconds);
  }
  if (g_readAloneSeconds > 0) state.counters["vs_read"] = seconds / g_readAloneSeconds;
}
BENCHMARK(BM_RipReadingOverlappedWithEncoding)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

// The rip job reports through the event loop, which needs an application object.
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
