#include <gtest/gtest.h>

#include "settings/utf16_codec.h"

namespace {

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray out;
  for (int v : values) out.append(char(v));
  return out;
}

struct CodecCase {
  const char* what;
  QString text;
  QByteArray bytes;
};

TEST(Utf16Codec, EncodesAndDecodesUnitByUnit) {
  const CodecCase cases[] = {
      {"ascii", "abc", "abc"},
      {"two-byte unit", QString(QChar(0xE9)), Bytes({0xC3, 0xA9})},
      {"largest two-byte unit", QString(QChar(0x7FF)), Bytes({0xDF, 0xBF})},
      {"smallest three-byte unit", QString(QChar(0x800)), Bytes({0xE0, 0xA0, 0x80})},
      {"cyrillic and CJK", QString::fromUtf8("Жё音"),
       Bytes({0xD0, 0x96, 0xD1, 0x91, 0xE9, 0x9F, 0xB3})},
      // U+1F3B5 is the pair D83C DFB5: one four-byte sequence, as standard UTF-8 has it.
      {"surrogate pair", QString::fromUtf8("🎵"), Bytes({0xF0, 0x9F, 0x8E, 0xB5})},
      {"first and last planes beyond the BMP", QString::fromUtf8("\U00010000\U0010FFFF"),
       Bytes({0xF0, 0x90, 0x80, 0x80, 0xF4, 0x8F, 0xBF, 0xBF})},
      {"pair among BMP text", QString::fromUtf8("aé🎵音"),
       Bytes({'a', 0xC3, 0xA9, 0xF0, 0x9F, 0x8E, 0xB5, 0xE9, 0x9F, 0xB3})},
      // A lone half of a pair has no four-byte form and keeps its three bytes.
      {"lone high surrogate", QString(QChar(0xD83C)), Bytes({0xED, 0xA0, 0xBC})},
      {"lone low surrogate", QString(QChar(0xDFB5)), Bytes({0xED, 0xBE, 0xB5})},
      {"low before high is no pair", QString(QChar(0xDFB5)) + QChar(0xD83C),
       Bytes({0xED, 0xBE, 0xB5, 0xED, 0xA0, 0xBC})},
  };
  for (const CodecCase& c : cases) {
    EXPECT_EQ(Utf16Codec::Encode(c.text), c.bytes) << c.what;
    EXPECT_EQ(Utf16Codec::Decode(c.bytes), c.text) << c.what;
  }
}

TEST(Utf16Codec, DecodingFollowsTheLeadByteWithoutValidating) {
  const CodecCase cases[] = {
      {"lone continuation byte keeps its low seven bits", QString(QChar(0x29)), Bytes({0xA9})},
      // Files written by earlier versions hold each half of a pair as three bytes.
      {"three-byte surrogate halves read as the pair", QString::fromUtf8("🎵"),
       Bytes({0xED, 0xA0, 0xBC, 0xED, 0xBE, 0xB5})},
      {"F0 lead takes four bytes", QString::fromUtf8("😀x"), Bytes({0xF0, 0x9F, 0x98, 0x80, 'x'})},
      {"overlong four-byte form is one unit", QString(QChar(0x41)),
       Bytes({0xF0, 0x80, 0x81, 0x81})},
      {"beyond U+10FFFF is the replacement character", QString(QChar(0xFFFD)) + "z",
       Bytes({0xF7, 0xBF, 0xBF, 0xBF, 'z'})},
      {"a cut four-byte sequence ends decoding", "a", Bytes({'a', 0xF0, 0x9F, 0x98})},
      {"C0 overlong form is not rejected", QString(QChar(0x01)), Bytes({0xC0, 0x81})},
      {"a cut two-byte sequence ends decoding", "ab", Bytes({'a', 'b', 0xC3})},
      {"a cut three-byte sequence ends decoding", "a", Bytes({'a', 0xE9, 0x9F})},
      {"nothing after the cut is decoded", "", Bytes({0xE9, 'x'})},
  };
  for (const CodecCase& c : cases) EXPECT_EQ(Utf16Codec::Decode(c.bytes), c.text) << c.what;
}

TEST(Utf16Codec, PrefixNeverSplitsAUnitOrASurrogatePair) {
  const QString text = QString::fromUtf8("aé🎵");  // 1 + 2 + 4 bytes
  EXPECT_EQ(Utf16Codec::EncodePrefix(text, 7), Utf16Codec::Encode(text));
  EXPECT_EQ(Utf16Codec::EncodePrefix(text, 6), Utf16Codec::Encode("aé"));
  EXPECT_EQ(Utf16Codec::EncodePrefix(text, 3), Utf16Codec::Encode("aé"));
  EXPECT_EQ(Utf16Codec::EncodePrefix(text, 2), QByteArray("a"));
  EXPECT_EQ(Utf16Codec::EncodePrefix(text, 0), QByteArray());
}

}  // namespace
