#include "settings/utf16_codec.h"

namespace Utf16Codec {
namespace {

int EncodedLength(char16_t unit) {
  if (unit < 0x80) return 1;
  if (unit > 0x7FF) return 3;
  return 2;
}

void AppendUnit(QByteArray& out, char16_t unit) {
  switch (EncodedLength(unit)) {
    case 1: out.append(char(unit)); break;
    case 2:
      out.append(char(0xC0 | (unit >> 6)));
      out.append(char(0x80 | (unit & 0x3F)));
      break;
    default:
      out.append(char(0xE0 | (unit >> 12)));
      out.append(char(0x80 | ((unit >> 6) & 0x3F)));
      out.append(char(0x80 | (unit & 0x3F)));
  }
}

// A character outside the Basic Multilingual Plane, from its surrogate pair, as standard
// UTF-8 writes it: four bytes.
void AppendPair(QByteArray& out, char16_t high, char16_t low) {
  const char32_t c = 0x10000 + ((char32_t(high) - 0xD800) << 10) + (char32_t(low) - 0xDC00);
  out.append(char(0xF0 | (c >> 18)));
  out.append(char(0x80 | ((c >> 12) & 0x3F)));
  out.append(char(0x80 | ((c >> 6) & 0x3F)));
  out.append(char(0x80 | (c & 0x3F)));
}

// Four bytes from a lead byte of 0xF0 or above: a pair for a character beyond the Basic
// Multilingual Plane, one unit for a smaller (overlong) value, U+FFFD beyond Unicode.
void AppendFourByteSequence(QString& out, const unsigned char* p) {
  const char32_t c = (char32_t(p[0] & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
                     (char32_t(p[2] & 0x3F) << 6) | char32_t(p[3] & 0x3F);
  if (c < 0x10000) {
    out.append(QChar(char16_t(c)));
  } else if (c <= 0x10FFFF) {
    out.append(QChar(char16_t(0xD800 + ((c - 0x10000) >> 10))));
    out.append(QChar(char16_t(0xDC00 + ((c - 0x10000) & 0x3FF))));
  } else {
    out.append(QChar(QChar::ReplacementCharacter));
  }
}

}  // namespace

QByteArray EncodePrefix(const QString& text, qsizetype maxBytes) {
  QByteArray out;
  out.reserve(qMin(maxBytes, text.size() * 3));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar unit = text[i];
    // A surrogate pair goes in whole or not at all.
    const bool pair = unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
    const qsizetype need = pair ? 4 : EncodedLength(unit.unicode());
    if (out.size() + need > maxBytes) break;
    if (pair) {
      AppendPair(out, unit.unicode(), text[++i].unicode());
    } else {
      AppendUnit(out, unit.unicode());
    }
  }
  return out;
}

QByteArray Encode(const QString& text) { return EncodePrefix(text, text.size() * 3); }

QString Decode(const QByteArray& bytes) {
  QString out;
  out.reserve(bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
  const qsizetype n = bytes.size();
  qsizetype i = 0;
  while (i < n) {
    const unsigned char b = p[i];
    if (b >= 0xF0) {
      if (i + 3 >= n) break;
      AppendFourByteSequence(out, p + i);
      i += 4;
    } else if (b >= 0xE0) {
      if (i + 2 >= n) break;
      out.append(
          QChar(char16_t(((b & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F))));
      i += 3;
    } else if (b < 0xC0) {
      out.append(QChar(char16_t(b & 0x7F)));
      i += 1;
    } else {
      if (i + 1 >= n) break;
      out.append(QChar(char16_t(((b & 0x1F) << 6) | (p[i + 1] & 0x3F))));
      i += 2;
    }
  }
  return out;
}

}  // namespace Utf16Codec
