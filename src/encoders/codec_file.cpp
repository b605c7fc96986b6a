#include "encoders/codec_file.h"

#include <QFileInfo>

bool CodecFile::Create(const QString& path) {
  file_.close();
  error_.clear();
  file_.setFileName(path);
  if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
    return Fail();
  return true;
}

bool CodecFile::Fail() {
  if (error_.isEmpty()) error_ = file_.errorString();
  return false;
}

bool CodecFile::Write(const void* data, int64_t byteCount) {
  if (!file_.isOpen()) return false;
  return WriteAll(static_cast<const char*>(data), byteCount) || Fail();
}

// A short write (a disk that just became full) leaves the file object without an error; the
// write of the rest fails with the system's reason, which the error text then names.
bool CodecFile::WriteAll(const char* data, int64_t byteCount) {
  while (byteCount > 0) {
    const int64_t written = file_.write(data, byteCount);
    if (written <= 0) return false;
    data += written;
    byteCount -= written;
  }
  return true;
}

bool CodecFile::WriteAt(int64_t offset, const void* data, int64_t byteCount) {
  if (!file_.isOpen()) return false;
  const int64_t end = file_.size();
  if (!file_.seek(offset) || !WriteAll(static_cast<const char*>(data), byteCount)) {
    Fail();
    file_.seek(end);
    return false;
  }
  return file_.seek(end) || Fail();
}

bool CodecFile::Close() {
  if (!file_.isOpen()) return error_.isEmpty();
  const bool flushed = file_.flush() || Fail();
  file_.close();
  if (file_.error() != QFileDevice::NoError) Fail();
  return flushed && error_.isEmpty();
}

void CodecFile::Discard() {
  if (!file_.isOpen()) return;
  file_.close();
  if (QFileInfo(file_.fileName()).isFile()) file_.remove();
}
