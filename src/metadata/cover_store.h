#pragma once
#include <QByteArray>
#include <QString>

// The front cover of a release: the image bytes and the file extension of their kind.
struct CoverImage {
  QByteArray bytes;
  QString extension;  // "jpg" or "png"; empty when there is no cover

  bool IsEmpty() const { return bytes.isEmpty(); }
  QString MimeType() const;  // "image/jpeg", "image/png"
  // "cover.jpg" or "cover.png", the name of the file in the album folder.
  QString FileName() const;
};

// The kind of an image from its first bytes: "jpg", "png", or empty for anything else.
QString ImageExtension(const QByteArray& bytes);

// Fetched covers are kept in the settings folder's "covers" folder, one file per release, so a
// disc's cover is fetched once and every rip of it finds it.
bool StoreCover(const QString& releaseId, const CoverImage& cover);
// The stored cover of the release; empty when none is stored.
CoverImage StoredCover(const QString& releaseId);
// Whether a cover (or the answer that the release has none) is stored for the release.
bool IsCoverKnown(const QString& releaseId);
