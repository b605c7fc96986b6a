#include "rip/cover_file.h"

#include <QDir>
#include <QFile>

#include "encoders/part_file.h"

QString SaveCoverFile(const QString& folder, const CoverImage& cover) {
  if (cover.IsEmpty()) return QString();
  const QString path = QDir(folder).filePath(cover.FileName());
  QFile existing(path);
  if (existing.exists()) {
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == cover.bytes) return QString();
    return QStringLiteral("%1 is kept: it is not the release's front cover, which was not saved")
        .arg(QDir::toNativeSeparators(path));
  }
  PartFile part(path);
  if (!part.Create()) return part.ErrorText();
  QFile file(part.Path());
  const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                       file.write(cover.bytes) == cover.bytes.size() && file.flush();
  const QString writeError = file.errorString();
  file.close();
  if (!written) {
    return QStringLiteral("cannot write %1: %2")
        .arg(QDir::toNativeSeparators(part.Path()), writeError);
  }
  return part.Commit() ? QString() : part.ErrorText();
}
