#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>

// The file a codec writes: every write is all or nothing, and the first failure is kept with
// the system's reason, so a short write is never taken for success.
class CodecFile {
 public:
  // Creates (or truncates) path for writing.
  bool Create(const QString& path);
  bool IsOpen() const { return file_.isOpen(); }
  bool Write(const void* data, int64_t byteCount);
  bool Write(const QByteArray& bytes) { return Write(bytes.constData(), bytes.size()); }
  // Writes bytes over what the file holds at offset, then goes back to its end.
  bool WriteAt(int64_t offset, const void* data, int64_t byteCount);
  int64_t Size() const { return file_.size(); }
  // Closes the file; true when every write and the close succeeded.
  bool Close();
  // Closes and removes a file that could not be started, so no empty or headless file stays.
  // Only a regular file is removed: the path may name a device.
  void Discard();
  // Why the first failed operation failed ("No space left on device"); empty when none did.
  const QString& ErrorText() const { return error_; }
  void ClearError() { error_.clear(); }

 private:
  bool Fail();
  bool WriteAll(const char* data, int64_t byteCount);

  QFile file_;
  QString error_;
};
