#pragma once
#include <QString>

// Creates a folder with its missing parents; 0 when it exists after, else the errno of the
// step that failed.
int CreateFolder(const QString& folder);

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
  bool Create();
  // Flushes the finished file to the disk and renames it to the final name. Whatever is at
  // the final name (an earlier file, a link) is replaced, never written through.
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

  QString finalPath_;
  QString partPath_;
  QString errorText_;
  bool created_ = false;
};

// The temporary name of a final path: ".NAME.PID.part" in the same folder. A long NAME is
// cut (never inside a character) so that the temporary name fits where the final one does.
QString PartPathFor(const QString& finalPath);
