#include "encoders/wav_encoder.h"

#include <QFileInfo>
#include <QtEndian>
#include <cstring>

#include "drive/cd_device.h"

namespace {

void PutU32(char* at, uint32_t value) { qToLittleEndian<quint32>(value, at); }
void PutU16(char* at, uint16_t value) { qToLittleEndian<quint16>(value, at); }

constexpr int kRiffSizeOffset = 4;
constexpr int kDataSizeOffset = 40;

}  // namespace

QByteArray WavEncoder::Header(uint32_t dataBytes) {
  QByteArray header(kHeaderBytes, '\0');
  char* h = header.data();
  memcpy(h, "RIFF", 4);
  PutU32(h + kRiffSizeOffset, dataBytes + 36);
  memcpy(h + 8, "WAVEfmt ", 8);
  PutU32(h + 16, 16);
  PutU16(h + 20, 1);  // PCM
  PutU16(h + 22, 2);  // channels
  PutU32(h + 24, 44100);
  PutU32(h + 28, 44100 * 4);
  PutU16(h + 32, 4);  // bytes a sample frame
  PutU16(h + 34, 16);
  memcpy(h + 36, "data", 4);
  PutU32(h + kDataSizeOffset, dataBytes);
  return header;
}

int WavEncoder::Open() {
  Close();  // a file left open by an earlier run gets its final header first
  writtenBytes_ = 0;
  writeFailed_ = false;
  file_.setFileName(outputPath);
  if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) return 0;
  int first = 0;
  int last = 0;
  if (!drive || !drive->GetTrackStart(trackIndex, first) || !drive->GetTrackEnd(trackIndex, last) ||
      last < first) {
    return FailOpen();
  }
  headerDataBytes_ = uint32_t(last - first + 1) * kSectorBytes;
  if (file_.write(Header(headerDataBytes_)) != kHeaderBytes) return FailOpen();
  return 1;
}

// A file that could not be started is not left behind as an empty or headless WAV.
// Only a regular file is removed: the path may name a device.
int WavEncoder::FailOpen() {
  file_.close();
  if (QFileInfo(outputPath).isFile()) file_.remove();
  return 0;
}

int WavEncoder::Write(const char* data, uint32_t byteCount, int prepass) {
  if (prepass || !file_.isOpen() || writeFailed_) return 0;
  const qint64 written = file_.write(data, byteCount);
  if (written > 0) writtenBytes_ += uint64_t(written);
  if (written != qint64(byteCount)) {
    writeFailed_ = true;
    return 0;
  }
  return 1;
}

int WavEncoder::Close() {
  if (!file_.isOpen()) return 1;
  bool ok = !writeFailed_;
  if (writtenBytes_ != headerDataBytes_) {
    const QByteArray header = Header(uint32_t(writtenBytes_));
    ok = file_.seek(kRiffSizeOffset) && file_.write(header.constData() + kRiffSizeOffset, 4) == 4 &&
         file_.seek(kDataSizeOffset) && file_.write(header.constData() + kDataSizeOffset, 4) == 4 && ok;
  }
  ok = file_.flush() && ok;
  file_.close();
  return file_.error() == QFileDevice::NoError && ok ? 1 : 0;
}
