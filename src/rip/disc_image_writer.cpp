#include "rip/disc_image_writer.h"

#include <QDir>
#include <QFile>
#include <cstring>
#include <vector>

#include "drive/cd_device.h"
#include "encoders/codec_file.h"
#include "encoders/part_file.h"
#include "platform/stop_request.h"

namespace {
constexpr int kSpareSectors = 16;  // room for the one extra sector of the last chunk
}

DiscImageWriter::DiscImageWriter(int sectorsPerChunk, int sectorBytes)
    : sectorsPerChunk_(sectorsPerChunk), sectorBytes_(sectorBytes) {}

int DiscImageWriter::StartImage(const QString& path) {
  SetTrack(-1, path, 0, 0);
  if (!drive) return 0;
  return StartThread([this] { Run(); }) ? 1 : 0;
}

int DiscImageWriter::ChunkSectors(uint32_t first, uint32_t last, int sectorsPerChunk) {
  if (first + uint32_t(sectorsPerChunk) >= last) return int(last - first + 1);
  return sectorsPerChunk;
}

// The image goes to a temporary file that gets its final name only when the whole disc
// was copied and the run was not cancelled; then Finish adds what goes beside it. An image
// whose Finish failed goes again, so no image stays without its CUE sheet.
void DiscImageWriter::Run() {
  {
    PartFile part(outputPath);
    if (WriteImage(part) && !stopRequested) {
      if (!part.Commit()) {
        Fail(part.ErrorText());
      } else {
        outputPath = part.FinalPath();
        Finish();
        if (failed) QFile::remove(outputPath);
      }
    }
  }
  ResetSpeedReference();
  if (statusCallback) statusCallback(StatusReport::Done(StatusKind::ImageProgress));
}

// Copies the disc into the temporary file and closes it; false with the reason when that
// failed. A stopped copy ends early and is not a failure.
bool DiscImageWriter::WriteImage(PartFile& part) {
  CodecFile file;
  if (!part.Create()) {
    Fail(part.ErrorText());
    return false;
  }
  const bool written = file.Create(part.Path()) && CopyDisc(file);
  if ((!file.Close() || !written) && !failed)
    Fail(QDir::toNativeSeparators(outputPath) + ": " + file.ErrorText());
  return !failed;
}

bool DiscImageWriter::CopyDisc(CodecFile& file) {
  const uint32_t last = drive->ReadCapacity();
  if (last == 0) {
    Fail(QStringLiteral("the size of the disc could not be read"));
    return false;
  }
  std::vector<uint8_t> buffer(size_t(sectorsPerChunk_ + kSpareSectors) * sectorBytes_);
  drive->Open();
  bool ok = true;
  for (uint32_t b = 0; b <= last && ok; b += uint32_t(sectorsPerChunk_)) {
    if (stopRequested) break;
    const int count = ChunkSectors(b, last, sectorsPerChunk_);
    if (!ReadChunk(b, count, buffer.data())) break;
    Report(b * 100.0 / last);
    SampleSpeed(b, uint32_t(sectorBytes_));
    ok = file.Write(buffer.data(), int64_t(count) * sectorBytes_);
    if (b + uint32_t(count) > last) break;
  }
  drive->Close();
  return ok;
}

int DiscImageWriter::ReadChunk(uint32_t first, int count, uint8_t* out) {
  const StopRequestScope scope(&stopRequested);
  for (int attempt = 0; attempt <= kChunkRetries; ++attempt) {
    if (stopRequested) return 0;
    if (ReadSectors(first, count, out)) return 1;
  }
  for (int i = 0; i < count; ++i) {
    uint8_t* sector = out + size_t(i) * sectorBytes_;
    bool read = false;
    for (int attempt = 0; attempt < kSectorTries && !read; ++attempt) {
      if (stopRequested) return 0;
      read = ReadSectors(first + uint32_t(i), 1, sector);
    }
    if (!read) {
      std::memset(sector, 0, size_t(sectorBytes_));
      ++failedSectors;
    }
  }
  return 1;
}

void DiscImageWriter::Report(double value) {
  if (statusCallback) statusCallback(StatusReport::Progress(StatusKind::ImageProgress, value));
}
