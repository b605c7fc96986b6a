// Reading whole discs from the virtual drive through the SCSI host interface, in the 27-sector
// READ CD requests a rip makes: a 74-minute audio image, a data track stored as 2048-byte user
// data (raw sectors made with EDC and ECC on the fly), and the generated demo disc.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <vector>

#include "drive/virtual/virtual_drive.h"

namespace {

constexpr int kSector = 2352;
constexpr int kChunk = 27;
constexpr int kAudioSectors = 74 * 60 * 75;  // 333,000 sectors, 783 MB
constexpr int kDataSectors = 50000;

// Writes `sectors` sectors of `size` bytes of varied content (not a sparse file).
bool WriteImage(const QString& path, int sectors, int size) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  QByteArray block(1000 * size, '\0');
  uint32_t state = 12345;
  for (int written = 0; written < sectors; written += 1000) {
    for (char& byte : block) {
      state = state * 1103515245u + 12345u;
      byte = char(state >> 24);
    }
    const int count = std::min(1000, sectors - written);
    if (file.write(block.constData(), qint64(count) * size) != qint64(count) * size) return false;
  }
  return true;
}

const QTemporaryDir& Folder() {
  static QTemporaryDir folder;
  return folder;
}

// Loads the image named by `cue` into vcd0 (writing it on first use) and opens a handle.
int Prepare(const char* cue, const char* bin, int sectors, int size, const char* mode,
            benchmark::State& state) {
  VirtualDriveHost& host = VirtualDriveHost::Instance();
  const QString binPath = Folder().filePath(bin);
  if (!QFile::exists(binPath) && !WriteImage(binPath, sectors, size)) {
    state.SkipWithError("cannot write the image");
    return -1;
  }
  QFile sheet(Folder().filePath(cue));
  sheet.open(QIODevice::WriteOnly | QIODevice::Truncate);
  sheet.write(QStringLiteral("FILE \"%1\" BINARY\n  TRACK 01 %2\n    INDEX 01 00:00:00\n")
                  .arg(bin, mode)
                  .toUtf8());
  sheet.close();
  QString error;
  if (!host.Drive(0).LoadCue(sheet.fileName(), &error)) {
    state.SkipWithError(error.toStdString().c_str());
    return -1;
  }
  return host.Open("vcd0", false);
}

// Reads sectors 0 .. total - 1 in 27-sector READ CD requests, round and round.
void ReadDisc(benchmark::State& state, int handle, int total, int fieldByte) {
  std::vector<unsigned char> buffer(kChunk * kSector);
  unsigned char sense[32];
  int lba = 0;
  for (auto _ : state) {
    const int count = std::min(kChunk, total - lba);
    unsigned char cdb[12] = {0xBE,
                             0,
                             uint8_t(lba >> 24),
                             uint8_t(lba >> 16),
                             uint8_t(lba >> 8),
                             uint8_t(lba),
                             0,
                             0,
                             uint8_t(count),
                             uint8_t(fieldByte),
                             0,
                             0};
    ScsiCommand command;
    command.cdb = cdb;
    command.cdbLength = sizeof cdb;
    command.direction = ScsiCommand::Direction::FromDevice;
    command.data = buffer.data();
    command.dataLength = uint32_t(count * kSector);
    command.sense = sense;
    command.senseCapacity = sizeof sense;
    if (VirtualDriveHost::Instance().SendCommand(handle, command) != 0 ||
        command.status != kScsiGood) {
      state.SkipWithError("read failed");
      break;
    }
    benchmark::DoNotOptimize(buffer.data());
    state.SetBytesProcessed(state.bytes_processed() + qint64(count) * kSector);
    lba = lba + count == total ? 0 : lba + count;
  }
  VirtualDriveHost::Instance().Close(handle);
}

void BM_ReadAudioImage74Minutes(benchmark::State& state) {
  const int handle = Prepare("audio.cue", "audio.bin", kAudioSectors, kSector, "AUDIO", state);
  if (handle >= 0) ReadDisc(state, handle, kAudioSectors, 0xF0);
}
BENCHMARK(BM_ReadAudioImage74Minutes)->Unit(benchmark::kMicrosecond);

void BM_ReadRawFromUserData(benchmark::State& state) {
  const int handle = Prepare("data.cue", "data.iso", kDataSectors, 2048, "MODE1/2048", state);
  if (handle >= 0) ReadDisc(state, handle, kDataSectors, 0xF8);
}
BENCHMARK(BM_ReadRawFromUserData)->Unit(benchmark::kMicrosecond);

void BM_ReadDemoDisc(benchmark::State& state) {
  VirtualDriveHost::Instance().Drive(0).LoadDemo();
  ReadDisc(state, VirtualDriveHost::Instance().Open("vcd0", false), 9000, 0xF0);
}
BENCHMARK(BM_ReadDemoDisc)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
