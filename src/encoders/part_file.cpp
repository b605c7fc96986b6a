#include "encoders/part_file.h"

#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <climits>
#include <cstring>
#include <mutex>

#include "platform/file_ops.h"

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

}  // namespace

void RemovePartFilesNow() {
  for (PartSlot& slot : partSlots) {
    if (slot.used.load()) RemoveFileNow(slot.path);
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

QString PartPathFor(const QString& finalPath) {
  const QFileInfo info(finalPath);
  const QString suffix = QStringLiteral(".%1.part").arg(ProcessId());
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
  RemoveFileNow(part.constData());
  if (const int error = CreateNewFile(part))
    return FailWith(QDir::toNativeSeparators(finalPath_), error);
  created_ = true;
  UnlistPart(slot_);
  slot_ = ListPart(part);
  replacesFinal_ = PathTaken(Native(finalPath_));
  return true;
}

bool PartFile::Commit() {
  errorText_.clear();
  const QByteArray part = Native(partPath_);
  if (const int error = FlushFileToDisk(part))
    return FailWith(QDir::toNativeSeparators(finalPath_), error);
  if (const int error =
          replacesFinal_ ? RenameReplacing(part, Native(finalPath_)) : RenameToFreeName(part)) {
    return FailWith(QDir::toNativeSeparators(finalPath_), error);
  }
  created_ = false;
  UnlistPart(slot_);
  FlushFolderToDisk(Native(QFileInfo(finalPath_).path()));
  return true;
}

// The final name, or the first free numbered name after it; finalPath_ follows.
int PartFile::RenameToFreeName(const QByteArray& part) {
  QString target = finalPath_;
  for (int n = 2;; ++n) {
    const int error = RenameWithoutReplacing(part, Native(target));
    if (error == 0) finalPath_ = target;
    if (!IsNameTaken(error) || n > kMaxNumberedNames) return error;
    target = NumberedPath(finalPath_, n);
  }
}

void PartFile::Discard() {
  if (!created_) return;
  UnlistPart(slot_);
  RemoveFileNow(Native(partPath_).constData());
  created_ = false;
}

bool PartFile::FailWith(const QString& what, int error) {
  errorText_ = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
  return false;
}
