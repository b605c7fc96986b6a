#include "platform/file_ops.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>

namespace {

FileStamp StampFrom(const struct stat& st) {
  return {true,
          uint64_t(st.st_dev),
          uint64_t(st.st_ino),
          int64_t(st.st_size),
          int64_t(st.st_mtim.tv_sec),
          int64_t(st.st_mtim.tv_nsec),
          int64_t(st.st_ctim.tv_sec),
          int64_t(st.st_ctim.tv_nsec)};
}

bool WriteAll(int fd, const QByteArray& bytes) {
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

}  // namespace

std::optional<FileStamp> StampOf(const QByteArray& path) {
  struct stat st {};
  if (::stat(path.constData(), &st) == 0) return StampFrom(st);
  if (errno == ENOENT) return FileStamp{};
  return std::nullopt;
}

ReadableFile ReadableFile::Open(const QByteArray& path) {
  ReadableFile file;
  const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    file.error_ = errno;
    return file;
  }
  file.descriptor_ = std::shared_ptr<const int>(new int(fd), [](const int* owned) {
    ::close(*owned);
    delete owned;
  });
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    file.error_ = errno;
    return file;
  }
  file.kind_ = S_ISDIR(st.st_mode)   ? Kind::kFolder
               : S_ISREG(st.st_mode) ? Kind::kRegular
                                     : Kind::kOther;
  file.stamp_ = StampFrom(st);
  return file;
}

int64_t ReadableFile::Read(char* data, int64_t size) const {
  for (;;) {
    const ssize_t n = ::read(*descriptor_, data, size_t(size));
    if (n >= 0 || errno != EINTR) return n;
  }
}

int64_t ReadableFile::ReadAt(char* data, int64_t size, int64_t offset) const {
  return ::pread(*descriptor_, data, size_t(size), off_t(offset));
}

FileLock::FileLock(const QByteArray& lockPath) {
  // Read-only and readable by all: an empty file, which another owner's (sudo) run may
  // have created, still serves as the lock.
  descriptor_ = ::open(lockPath.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  while (descriptor_ >= 0 && ::flock(descriptor_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(descriptor_);
      descriptor_ = -1;
    }
  }
}

FileLock::~FileLock() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

bool ReplaceFileContents(const QByteArray& path, const QByteArray& bytes) {
  QByteArray temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());  // mode 0600
  if (fd < 0) return false;
  const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temp.constData(), path.constData()) != 0) {
    ::unlink(temp.constData());
    return false;
  }
  return true;
}

QByteArray ResolveLinks(QByteArray path) {
  for (int hops = 0; hops < 40; ++hops) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink(path.constData(), target, sizeof target);
    if (n < 0 || n == ssize_t(sizeof target)) return path;
    QByteArray next(target, n);
    if (!next.startsWith('/')) next.prepend(path.left(path.lastIndexOf('/') + 1));
    path = next;
  }
  return path;
}

int CreateFolder(const QString& folder) {
  if (QFileInfo(folder).isDir()) return 0;
  const QString parent = QFileInfo(folder).path();
  if (parent != folder) {
    if (const int error = CreateFolder(parent)) return error;
  }
  if (::mkdir(QFile::encodeName(folder).constData(), 0777) == 0) return 0;
  if (errno != EEXIST) return errno;
  return QFileInfo(folder).isDir() ? 0 : ENOTDIR;
}

int CreateNewFile(const QByteArray& path) {
  const int fd =
      ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}

int FlushFileToDisk(const QByteArray& path) {
  const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno;
  const bool synced = ::fsync(fd) == 0;
  const int syncError = errno;
  ::close(fd);
  return synced ? 0 : syncError;
}

void FlushFolderToDisk(const QByteArray& folder) {
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool PathTaken(const QByteArray& path) {
  struct stat st;
  return ::lstat(path.constData(), &st) == 0;
}

int RenameReplacing(const QByteArray& from, const QByteArray& to) {
  return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

// A file system without the no-replace rename gets a hard link then an unlink, and one
// without links a look before the rename (the only form that leaves a moment for a race).
int RenameWithoutReplacing(const QByteArray& from, const QByteArray& to) {
  if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
    return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
  if (::link(from.constData(), to.constData()) == 0) {
    ::unlink(from.constData());
    return 0;
  }
  if (errno != EPERM && errno != ENOTSUP && errno != EXDEV) return errno;
  if (PathTaken(to)) return EEXIST;
  return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

bool IsNameTaken(int error) { return error == EEXIST; }

void RemoveFileNow(const char* path) { ::unlink(path); }

int64_t ProcessId() { return ::getpid(); }
