#pragma once
#include <QString>

#include "platform/file_ops.h"  // CreateFolder, which the naming of output files uses too

// One output file written under a temporary name in its folder and renamed to its final name
// only once it is complete and closed, so that no half-written file ever carries the final
// name: not after a failure, a cancel, a kill or a power loss. The temporary name is hidden
// and names this process (".NAME.PID.part"), so a run only ever removes its own.
//
// A file that was not committed is removed when the object goes.
class PartFile {
 public:
  explicit PartFile(const QString& finalPath);
  ~PartFile();
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  // Creates the folder when it is missing and an empty file at the temporary name (a stale
  // one of this process goes first; a link there is never followed). False with ErrorText.
  // Whatever has the final name now (an earlier rip's file, a link) is what Commit replaces.
  bool Create();
  // Flushes the finished file to the disk and renames it to the final name. What had the
  // final name at Create is replaced, never written through; a file that took the name
  // after Create is never replaced: the file takes the next free numbered name instead
  // ("NAME (2).EXT"), and FinalPath says which.
  bool Commit();
  // Removes the temporary file.
  void Discard();

  const QString& Path() const { return partPath_; }
  const QString& FinalPath() const { return finalPath_; }
  // Why the last Create or Commit failed, naming the file or folder
  // ("cannot create folder /x/y: Permission denied"); empty when nothing failed.
  const QString& ErrorText() const { return errorText_; }

 private:
  bool FailWith(const QString& what, int error);
  int RenameToFreeName(const QByteArray& part);

  QString finalPath_;
  QString partPath_;
  QString errorText_;
  bool created_ = false;
  int slot_ = -1;               // in the list RemovePartFilesNow goes through; -1 when not listed
  bool replacesFinal_ = false;  // the final name was taken at Create
};

// The temporary name of a final path: ".NAME.PID.part" in the same folder. A long NAME is
// cut (never inside a character) so that the temporary name fits where the final one does.
QString PartPathFor(const QString& finalPath);

// Removes the temporary file of every PartFile of this process that is neither committed
// nor discarded. Only async-signal-safe calls: a signal handler that ends the process at
// once calls it first, so no temporary file outlives the process.
void RemovePartFilesNow();

// The path with " (n)" in front of the extension of its file name ("a/Song (2).wav"); the
// name is cut in front of it (never inside a character) to stay within the name limit.
QString NumberedPath(const QString& path, int n);
