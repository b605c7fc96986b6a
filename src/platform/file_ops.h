#pragma once
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

// Files and folders on the local disk, for what must not lose a user's data: writes that
// replace a file whole or not at all, locks shared with other processes, and files read
// through one descriptor so what was read can be told from a later version. Paths are native
// (QFile::encodeName). Errors are the system's error numbers (0 for none), which
// qt_error_string and std::strerror name.

// What identifies one version of a file on disk; an atomic replace changes the inode, and a
// change of owner or mode changes the status time. A default stamp is a missing file.
struct FileStamp {
  bool exists = false;
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t modifiedSeconds = 0;
  int64_t modifiedNanoseconds = 0;
  int64_t changedSeconds = 0;
  int64_t changedNanoseconds = 0;

  bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at path as it is now, links followed; a default stamp when nothing
// is there, nothing when the file cannot be looked at.
std::optional<FileStamp> StampOf(const QByteArray& path);

// A file opened for reading, without waiting (a FIFO at the path cannot hang the program).
// Copies share one descriptor, closed when the last goes; while it is open the file's inode
// cannot be freed, so its number cannot be reused by a later file that would then look like
// this version.
class ReadableFile {
 public:
  enum class Kind { kRegular, kFolder, kOther };

  // Error() says whether it opened (ENOENT: nothing is there).
  static ReadableFile Open(const QByteArray& path);

  int Error() const { return error_; }
  Kind GetKind() const { return kind_; }
  const FileStamp& Stamp() const { return stamp_; }
  // Up to size bytes from where the last read ended; 0 at the end, -1 when it fails (errno
  // says why). Interrupted reads are retried.
  int64_t Read(char* data, int64_t size) const;
  // Up to size bytes from offset, leaving the read position alone; -1 when it fails.
  int64_t ReadAt(char* data, int64_t size, int64_t offset) const;

 private:
  std::shared_ptr<const int> descriptor_;
  int error_ = 0;
  Kind kind_ = Kind::kOther;
  FileStamp stamp_;
};

// Holds an advisory lock on the file at lockPath (made, empty and readable by all, when
// missing), across processes, until it goes.
class FileLock {
 public:
  explicit FileLock(const QByteArray& lockPath);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Held() const { return descriptor_ >= 0; }

 private:
  int descriptor_ = -1;
};

// Writes bytes to a new file beside path (mode 0600), flushes it to the disk and renames it
// over path, so path holds either the old contents or all of the new. The new file is
// removed when any step fails.
bool ReplaceFileContents(const QByteArray& path, const QByteArray& bytes);

// The path a write must replace: a symbolic link is followed to its final target (which
// need not exist yet), so the link stays a link.
QByteArray ResolveLinks(QByteArray path);

// Creates a folder with its missing parents; 0 when it exists after, else the error of the
// step that failed.
int CreateFolder(const QString& folder);

// Creates an empty file at path, failing when anything is there (a link is never followed).
int CreateNewFile(const QByteArray& path);
// Flushes the file at path (never through a link) to the disk.
int FlushFileToDisk(const QByteArray& path);
// Flushes a folder's entries to the disk, so that a rename in it survives a power loss. A
// failure is not reported: it costs only the new name's durability.
void FlushFolderToDisk(const QByteArray& folder);
// True when anything, a dangling link too, has this path.
bool PathTaken(const QByteArray& path);
// Renames from to to, replacing what to names.
int RenameReplacing(const QByteArray& from, const QByteArray& to);
// Renames from to to unless to exists; IsNameTaken says the error meant that it did.
int RenameWithoutReplacing(const QByteArray& from, const QByteArray& to);
bool IsNameTaken(int error);
// Removes the file at path (a link, not its target); async-signal-safe.
void RemoveFileNow(const char* path);
// This process's id, to tell its own temporary files from another's.
int64_t ProcessId();
