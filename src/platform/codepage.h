#pragma once
#include <QByteArray>
#include <QString>

// The narrow "ANSI" text of CD-TEXT, ID3v1 tags and the CDDB exchange: Windows-1252.
namespace Ansi {

// Each byte to its Windows-1252 character; the five bytes it leaves undefined map to
// the C1 control of the same value, so no byte is lost.
QString Decode(const QByteArray& bytes);
QString Decode(const char* bytes, qsizetype length);

// Each UTF-16 unit to its Windows-1252 byte; characters it cannot hold become '?'.
QByteArray Encode(const QString& text);

}  // namespace Ansi
