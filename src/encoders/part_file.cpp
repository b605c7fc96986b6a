#include "encoders/part_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace {

constexpr int kMaxNameBytes = 255;

QByteArray Native(const QString& path) { return QFile::encodeName(path); }

// The longest front of name that takes at most maxBytes in UTF-8, never cut inside a
// character (nor between the two halves of a surrogate pair).
QString FitUtf8(const QString& name, int maxBytes) {
  QString fitted = name;
  while (fitted.toUtf8().size() > maxBytes) {
    fitted.chop(fitted.size() >= 2 && fitted.back().isLowSurrogate() ? 2 : 1);
  }
  return fitted;
}

// A folder's entries reach the disk, so that a rename in it survives a power loss.
void SyncFolder(const QString& folder) {
  const int fd = ::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // The file itself is already on the disk; a failure here costs only the new name's
  // durability, which the next write-back brings.
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

int CreateFolder(const QString& folder) {
  if (QFileInfo(folder).isDir()) return 0;
  const QString parent = QFileInfo(folder).path();
  if (parent != folder) {
    if (const int error = CreateFolder(parent)) return error;
  }
  if (::mkdir(Native(folder).constData(), 0777) == 0) return 0;
  if (errno != EEXIST) return errno;
  return QFileInfo(folder).isDir() ? 0 : ENOTDIR;
}

QString PartPathFor(const QString& finalPath) {
  const QFileInfo info(finalPath);
  const QString suffix = QStringLiteral(".%1.part").arg(::getpid());
  const QString name = FitUtf8(info.fileName(), kMaxNameBytes - 1 - int(suffix.toUtf8().size()));
  return info.dir().filePath(QLatin1Char('.') + name + suffix);
}

PartFile::PartFile(const QString& finalPath)
    : finalPath_(finalPath), partPath_(PartPathFor(finalPath)) {}

PartFile::~PartFile() { Discard(); }

bool PartFile::Create() {
  errorText_.clear();
  const QString folder = QFileInfo(finalPath_).path();
  if (const int error = CreateFolder(folder)) {
    return FailWith(QStringLiteral("cannot create folder ") + QDir::toNativeSeparators(folder),
                    error);
  }
  const QByteArray part = Native(partPath_);
  ::unlink(part.constData());
  const int fd =
      ::open(part.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return FailWith(QDir::toNativeSeparators(finalPath_), errno);
  ::close(fd);
  created_ = true;
  return true;
}

bool PartFile::Commit() {
  errorText_.clear();
  const QByteArray part = Native(partPath_);
  const int fd = ::open(part.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return FailWith(QDir::toNativeSeparators(finalPath_), errno);
  const bool synced = ::fsync(fd) == 0;
  const int syncError = errno;
  ::close(fd);
  if (!synced) return FailWith(QDir::toNativeSeparators(finalPath_), syncError);
  if (::rename(part.constData(), Native(finalPath_).constData()) != 0) {
    return FailWith(QDir::toNativeSeparators(finalPath_), errno);
  }
  created_ = false;
  SyncFolder(QFileInfo(finalPath_).path());
  return true;
}

void PartFile::Discard() {
  if (!created_) return;
  ::unlink(Native(partPath_).constData());
  created_ = false;
}

bool PartFile::FailWith(const QString& what, int error) {
  errorText_ = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
  return false;
}
