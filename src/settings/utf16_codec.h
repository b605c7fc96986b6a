#pragma once
#include <QByteArray>
#include <QString>

// The UTF-8 form of INI text values. It works on single UTF-16 units, and decoding
// validates nothing, except that a surrogate pair is one four-byte sequence, as standard
// UTF-8 has it (so other tools read what Korvane writes and the other way round). Files
// written by earlier versions hold a pair as two three-byte sequences; those still read
// as the pair. Every other unit is encoded exactly as those versions did.
namespace Utf16Codec {

QByteArray Encode(const QString& text);

// Encodes the longest prefix of text whose bytes fit in maxBytes, never splitting a
// unit's sequence or a surrogate pair.
QByteArray EncodePrefix(const QString& text, qsizetype maxBytes);

// Lead byte >= 0xF0: four bytes; >= 0xE0: three bytes; < 0xC0: one byte (b & 0x7F); else
// two bytes.
// A sequence cut short by the end of the value ends the decoding.
QString Decode(const QByteArray& bytes);

}  // namespace Utf16Codec
