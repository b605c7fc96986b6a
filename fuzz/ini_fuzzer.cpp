// Any bytes as an INI file: parsing, lookups, a write and the text codec must never crash,
// and what a write stores must read back unchanged (a value is one line: no line breaks).
#include <QString>
#include <cstddef>
#include <cstdint>

#include "settings/ini_document.h"
#include "settings/utf16_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  IniDocument doc = IniDocument::Parse(bytes);
  doc.Value(u"General", u"FormatSelected");
  const QString decoded = Utf16Codec::Decode(bytes);
  const QByteArray probe =
      Utf16Codec::EncodePrefix(decoded, 511).replace('\n', ' ').replace('\r', ' ');
  doc.Set("General", "Probe", probe);
  const IniDocument again = IniDocument::Parse(doc.Serialize());
  if (again.Value(u"General", u"Probe") != probe) __builtin_trap();
  return 0;
}
