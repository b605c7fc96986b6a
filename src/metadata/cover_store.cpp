#include "metadata/cover_store.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

#include "platform/paths.h"

namespace {

const char* const kExtensions[] = {"jpg", "png", "none"};

// A release id comes from a server: only a plain MBID may name a file.
bool IsSafeId(const QString& releaseId) {
  static const QRegularExpression kMbid(QStringLiteral("^[0-9A-Fa-f-]{1,64}$"));
  return kMbid.match(releaseId).hasMatch();
}

QString CoverFolder() { return QDir(Paths::ConfigDir()).filePath(QStringLiteral("covers")); }

QString CoverPath(const QString& releaseId, const QString& extension) {
  return QDir(CoverFolder()).filePath(releaseId + QLatin1Char('.') + extension);
}

}  // namespace

QString CoverImage::MimeType() const {
  return extension == QLatin1String("png") ? QStringLiteral("image/png")
                                           : QStringLiteral("image/jpeg");
}

QString CoverImage::FileName() const { return QStringLiteral("cover.") + extension; }

QString ImageExtension(const QByteArray& bytes) {
  if (bytes.startsWith("\xFF\xD8\xFF")) return QStringLiteral("jpg");
  if (bytes.startsWith("\x89PNG\r\n\x1A\n")) return QStringLiteral("png");
  return QString();
}

bool StoreCover(const QString& releaseId, const CoverImage& cover) {
  if (!IsSafeId(releaseId) || !QDir().mkpath(CoverFolder())) return false;
  // A release without a cover is remembered by an empty ".none" file.
  QSaveFile file(CoverPath(releaseId, cover.IsEmpty() ? QStringLiteral("none") : cover.extension));
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(cover.bytes);
  return file.commit();
}

CoverImage StoredCover(const QString& releaseId) {
  if (!IsSafeId(releaseId)) return {};
  for (const char* extension : {"jpg", "png"}) {
    QFile file(CoverPath(releaseId, QLatin1String(extension)));
    if (!file.open(QIODevice::ReadOnly)) continue;
    CoverImage cover{file.readAll(), QLatin1String(extension)};
    if (ImageExtension(cover.bytes) == cover.extension) return cover;
  }
  return {};
}

bool IsCoverKnown(const QString& releaseId) {
  if (!IsSafeId(releaseId)) return false;
  for (const char* extension : kExtensions) {
    if (QFile::exists(CoverPath(releaseId, QLatin1String(extension)))) return true;
  }
  return false;
}
