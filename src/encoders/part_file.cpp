#include "encoders/part_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>

namespace {

constexpr int kMaxNameBytes = 255;
// Numbered names tried when the final name was taken during the run.
constexpr int kMaxNumberedNames = 999;

// The temporary files being written, in storage a signal handler may read: a slot's path
// is complete before its flag says it is in use.
struct PartSlot {
  std::atomic<bool> used{false};
  char path[PATH_MAX] = {};
};
constexpr int kPartSlots = 16;
PartSlot partSlots[kPartSlots];
std::mutex claimingSlot;

int ListPart(const QByteArray& path) {
  if (path.size() >= PATH_MAX) return -1;
  const std::lock_guard lock(claimingSlot);
  for (int i = 0; i < kPartSlots; ++i) {
    if (partSlots[i].used.load()) continue;
    std::memcpy(partSlots[i].path, path.constData(), size_t(path.size()) + 1);
    partSlots[i].used.store(true);
    return i;
  }
  return -1;
}

void UnlistPart(int& slot) {
  if (slot >= 0) partSlots[slot].used.store(false);
  slot = -1;
}

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

bool Exists(const QByteArray& path) {
  struct stat st;
  return ::lstat(path.constData(), &st) == 0;
}

int RenameReplacing(const QByteArray& from, const QByteArray& to) {
  return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

// Renames from to to unless to exists; 0, or the errno (EEXIST when to was taken). A file
// system without the no-replace rename gets a hard link then an unlink, and one without
// links a look before the rename (the only form that leaves a moment for a race).
int RenameWithoutReplacing(const QByteArray& from, const QByteArray& to) {
  if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
    return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
  if (::link(from.constData(), to.constData()) == 0) {
    ::unlink(from.constData());
    return 0;
  }
  if (errno != EPERM && errno != ENOTSUP && errno != EXDEV) return errno;
  if (Exists(to)) return EEXIST;
  return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

}  // namespace

void RemovePartFilesNow() {
  for (PartSlot& slot : partSlots) {
    if (slot.used.load()) ::unlink(slot.path);
  }
}

QString NumberedPath(const QString& path, int n) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  const QString name = path.mid(slash + 1);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const qsizetype baseEnd = dot > 0 ? dot : name.size();
  const QString tail = QStringLiteral(" (%1)").arg(n) + name.mid(baseEnd);
  return path.left(slash + 1) +
         FitUtf8(name.left(baseEnd), kMaxNameBytes - int(tail.toUtf8().size())) + tail;
}

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
  UnlistPart(slot_);
  slot_ = ListPart(part);
  replacesFinal_ = Exists(Native(finalPath_));
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
  if (const int error =
          replacesFinal_ ? RenameReplacing(part, Native(finalPath_)) : RenameToFreeName(part)) {
    return FailWith(QDir::toNativeSeparators(finalPath_), error);
  }
  created_ = false;
  UnlistPart(slot_);
  SyncFolder(QFileInfo(finalPath_).path());
  return true;
}

// The final name, or the first free numbered name after it; finalPath_ follows.
int PartFile::RenameToFreeName(const QByteArray& part) {
  QString target = finalPath_;
  for (int n = 2;; ++n) {
    const int error = RenameWithoutReplacing(part, Native(target));
    if (error == 0) finalPath_ = target;
    if (error != EEXIST || n > kMaxNumberedNames) return error;
    target = NumberedPath(finalPath_, n);
  }
}

void PartFile::Discard() {
  if (!created_) return;
  UnlistPart(slot_);
  ::unlink(Native(partPath_).constData());
  created_ = false;
}

bool PartFile::FailWith(const QString& what, int error) {
  errorText_ = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
  return false;
}
