#include "platform/codepage.h"

namespace Ansi {
namespace {

// Windows-1252 bytes 0x80..0x9F; the rest of the code page equals ISO-8859-1.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char EncodeUnit(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return char(unit);
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == unit) return char(0x80 + i);
  }
  return '?';
}

}  // namespace

QString Decode(const char* bytes, qsizetype length) {
  QString text(length, Qt::Uninitialized);
  QChar* out = text.data();
  for (qsizetype i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    out[i] = QChar(byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : char16_t(byte));
  }
  return text;
}

QString Decode(const QByteArray& bytes) { return Decode(bytes.constData(), bytes.size()); }

QByteArray Encode(const QString& text) {
  QByteArray bytes(text.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < text.size(); ++i) bytes[i] = EncodeUnit(text[i].unicode());
  return bytes;
}

}  // namespace Ansi
