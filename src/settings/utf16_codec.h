#pragma once
#include <QByteArray>
#include <QString>

// The UTF-8 form of INI text values. It works on single UTF-16 units: a surrogate pair
// becomes two three-byte sequences, and decoding validates nothing. Files written by
// earlier versions of Korvane use this form, so it must stay exactly as it is.
namespace Utf16Codec {

QByteArray Encode(const QString& text);

// Encodes the longest prefix of text whose bytes fit in maxBytes, never splitting a
// unit's sequence or a surrogate pair.
QByteArray EncodePrefix(const QString& text, qsizetype maxBytes);

// Lead byte >= 0xE0: three bytes; < 0xC0: one byte (b & 0x7F); else two bytes.
// A sequence cut short by the end of the value ends the decoding.
QString Decode(const QByteArray& bytes);

}  // namespace Utf16Codec
