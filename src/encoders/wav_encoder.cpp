#include "encoders/wav_encoder.h"

#include <QFileInfo>
#include <QtEndian>
#include <cerrno>
#include <cstring>

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

int WavEncoder::Open(const QString& path, const TrackFacts& track, const TagRecord*) {
  Close();  // a file left open by an earlier Open gets its final header first
  writtenBytes_ = 0;
  writeFailed_ = false;
  errorText_.clear();
  file_.setFileName(path);
  if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
    NoteError();
    return 0;
  }
  headerDataBytes_ = track.sectorCount * kCdSectorBytes;
  if (file_.write(Header(headerDataBytes_)) != kHeaderBytes) return FailOpen();
  return 1;
}

// A file that could not be started is not left behind as an empty or headless WAV.
// Only a regular file is removed: the path may name a device.
int WavEncoder::FailOpen() {
  NoteError();
  file_.close();
  if (QFileInfo(file_.fileName()).isFile()) file_.remove();
  return 0;
}

void WavEncoder::NoteError() {
  if (errorText_.isEmpty()) errorText_ = file_.errorString();
}

int WavEncoder::Write(const char* data, uint32_t byteCount, int prepass) {
  if (prepass || !file_.isOpen() || writeFailed_) return 0;
  errno = 0;
  const qint64 written = file_.write(data, byteCount);
  const int systemError = errno;
  if (written > 0) writtenBytes_ += uint64_t(written);
  if (written != qint64(byteCount)) {
    // A short write leaves QFile without an error; the system's reason is in errno.
    if (file_.error() == QFileDevice::NoError && systemError && errorText_.isEmpty()) {
      errorText_ = QString::fromLocal8Bit(std::strerror(systemError));
    }
    NoteError();
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
         file_.seek(kDataSizeOffset) && file_.write(header.constData() + kDataSizeOffset, 4) == 4 &&
         ok;
  }
  ok = file_.flush() && ok;
  if (!ok) NoteError();
  file_.close();
  if (file_.error() != QFileDevice::NoError) NoteError();
  return file_.error() == QFileDevice::NoError && ok ? 1 : 0;
}

std::unique_ptr<AudioEncoder> WavFormat::CreateEncoder() const {
  return std::make_unique<WavEncoder>();
}
