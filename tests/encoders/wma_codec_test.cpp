#include <gtest/gtest.h>

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include "encoders/lossy_audio.h"
#include "encoders/output_format.h"
#include "encoders/tag_record.h"
#include "encoders/wma_encoder.h"
#include "encoders/wma_format.h"
#include "platform/cd_sector.h"
#include "settings/ini_file.h"
#include "support/test_support.h"

namespace {

constexpr uint32_t kChunkBytes = 27 * kCdSectorBytes;
constexpr int kSectorFrames = 588;

TagRecord SampleTags() {
  TagRecord tags;
  const QString texts[TagRecord::SlotCount] = {QString::fromUtf8("Tïtle 日本"),
                                               "The Artist",
                                               "An Album",
                                               "1999",
                                               "Blues",
                                               "A comment",
                                               "5",
                                               "Various Artists"};
  for (int slot = 0; slot < TagRecord::SlotCount; ++slot) tags.wide[slot] = texts[slot];
  return tags;
}

WmaSettings Described(const QString& description) {
  WmaSettings settings;
  settings.formatString = description;
  return settings;
}

// The attributes of an ASF file's extended content description object, in file order.
QList<std::pair<QString, QString>> ExtendedAttributes(const QByteArray& file) {
  // {D2D0A440-E307-11D2-97F0-00A0C95EA850} as stored.
  const QByteArray guid = QByteArray::fromHex("40A4D0D207E3D21197F000A0C95EA850");
  QList<std::pair<QString, QString>> attributes;
  const qsizetype object = file.indexOf(guid);
  if (object < 0) return attributes;
  const auto* p = reinterpret_cast<const uchar*>(file.constData());
  qsizetype at = object + 24;
  const int count = qFromLittleEndian<quint16>(p + at);
  at += 2;
  for (int i = 0; i < count && at + 6 <= file.size(); ++i) {
    const int nameBytes = qFromLittleEndian<quint16>(p + at);
    const QString name =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(p + at + 2), nameBytes / 2 - 1);
    at += 2 + nameBytes;
    const int type = qFromLittleEndian<quint16>(p + at);
    const int valueBytes = qFromLittleEndian<quint16>(p + at + 2);
    const QString value =
        type == 0
            ? QString::fromUtf16(reinterpret_cast<const char16_t*>(p + at + 4), valueBytes / 2 - 1)
            : QString();
    at += 4 + valueBytes;
    attributes.append({name, value});
  }
  return attributes;
}

class WmaCodecTest : public ::testing::Test {
 protected:
  bool Encode(WmaEncoder& codec, const QString& path, const QByteArray& audio,
              const TagRecord* tags) {
    TrackFacts facts{4, 12, uint32_t(audio.size() / kCdSectorBytes)};
    if (!codec.Open(path, facts, tags)) return false;
    for (qsizetype at = 0; at < audio.size(); at += kChunkBytes) {
      const qsizetype n = std::min<qsizetype>(kChunkBytes, audio.size() - at);
      if (!codec.Write(audio.constData() + at, uint32_t(n), 0)) return false;
    }
    return codec.Close() != 0;
  }

  QTemporaryDir dir;
  const QByteArray audio = SweepAudio(157 * kSectorFrames);  // 2.1 s, five chunks and a part
};

TEST(WmaFormats, ListsDistinctCbrRatesOfTheEncoderIncludingTheDefault) {
  ASSERT_TRUE(IsWmaAvailable());
  QStringList list = ListWmaFormats();
  EXPECT_TRUE(list.contains(WmaSettings{}.formatString));
  EXPECT_EQ(list.removeDuplicates(), 0);
  const QRegularExpression style("^(\\d+) kbps, 44 kHz, stereo CBR$");
  int lastRate = 0;
  for (const WmaAudioFormat& format : WmaFormats()) {
    SCOPED_TRACE(format.description.toStdString());
    const QRegularExpressionMatch match = style.match(format.description);
    ASSERT_TRUE(match.hasMatch());
    EXPECT_EQ(match.captured(1).toInt() * 1000, format.bitRate);
    EXPECT_GT(format.bitRate, lastRate);
    lastRate = format.bitRate;
    EXPECT_EQ(format.codec, "Windows Media Audio 8");
    EXPECT_FALSE(format.vbr);
  }
  // Rates the encoder caps to one stream are listed once: the list is shorter than the asked.
  EXPECT_GE(WmaFormats().size(), 4u);
  EXPECT_EQ(FindWmaFormat("no such format"), nullptr);
}

TEST_F(WmaCodecTest, DecodesToTheSourceAudioWithEveryFrameEncoded) {
  for (const QString& description :
       {QStringLiteral("64 kbps, 44 kHz, stereo CBR"), WmaSettings{}.formatString}) {
    SCOPED_TRACE(description.toStdString());
    WmaEncoder codec(Described(description));
    const QString path = dir.filePath(description.left(3).trimmed() + ".wma");
    ASSERT_TRUE(Encode(codec, path, audio, nullptr)) << codec.ErrorText().toStdString();
    const QByteArray decoded = DecodeToPcm(path);
    // The decoder holds back its first frame of 2048 (the overlap the encoder starts with),
    // so the decoded audio starts that far into the source.
    const int skipped = BestLag(decoded, audio, 4096);
    const int sourceFrames = int(audio.size() / 4);
    // The last partial frame is encoded too: nothing of the track's end is missing.
    // The last partial frame is encoded: everything after the held-back frame decodes.
    EXPECT_GE(decoded.size() / 4, sourceFrames - 2048);
    EXPECT_LE(decoded.size() / 4, sourceFrames);
    EXPECT_EQ(skipped, 2048);
    EXPECT_GT(Correlation(decoded, audio, skipped, 0), 0.9);
    EXPECT_GT(Correlation(decoded, audio, skipped, 1), 0.9);
  }
}

TEST_F(WmaCodecTest, ChunksBecomeTenthOfASecondSamplesTimedFromZero) {
  WmaEncoder codec{WmaSettings{}};
  ASSERT_TRUE(codec.Open(dir.filePath("s.wma"), {}, nullptr));
  EXPECT_FALSE(codec.NeedsPreparationPass());  // the default is a constant-bit-rate format
  EXPECT_EQ(codec.Write(audio.constData(), kChunkBytes, 1), 0);  // no preparation pass
  EXPECT_EQ(codec.SamplesWritten(), 0);
  ASSERT_EQ(codec.Write(audio.constData(), kChunkBytes, 0), 1);
  EXPECT_EQ(codec.SamplesWritten(), 4);  // 3 x 17,640 + 10,584 bytes
  EXPECT_EQ(codec.SampleTimeMs(), 360);
  ASSERT_EQ(codec.Write(audio.constData(), 0, 0), 1);
  EXPECT_EQ(codec.SamplesWritten(), 4);
  EXPECT_EQ(codec.Close(), 1);
}

TEST_F(WmaCodecTest, AttributesGoIntoTheHeaderInOrderUnderTheirNames) {
  WmaEncoder codec{WmaSettings{}};
  const QString path = dir.filePath("tagged.wma");
  const TagRecord tags = SampleTags();
  ASSERT_TRUE(Encode(codec, path, audio, &tags));
  QList<std::pair<QString, QString>> attributes = ExtendedAttributes(ReadFileBytes(path));
  attributes.removeIf([](const auto& a) {
    return !a.first.startsWith("WM/") && a.first != "Description" && a.first != "Author" &&
           a.first != "Title";
  });
  attributes.removeIf([](const auto& a) { return a.first == "WM/EncodingSettings"; });
  const QList<std::pair<QString, QString>> expected = {{"Description", "A comment"},
                                                       {"WM/AlbumTitle", "An Album"},
                                                       {"Author", "The Artist"},
                                                       {"WM/Genre", "Blues"},
                                                       {"WM/Year", "1999"},
                                                       {"Title", QString::fromUtf8("Tïtle 日本")},
                                                       {"WM/Track", "5"},
                                                       {"WM/AlbumArtist", "Various Artists"}};
  EXPECT_EQ(attributes, expected);
  // ffprobe reads them back (under its own names for the common ones).
  const QMap<QString, QString> probed = ProbeTags(path);
  EXPECT_EQ(probed["album"], "An Album");
  EXPECT_EQ(probed["artist"], "The Artist");
  EXPECT_EQ(probed["genre"], "Blues");
  EXPECT_EQ(probed["comment"], "A comment");
  EXPECT_EQ(probed["title"], QString::fromUtf8("Tïtle 日本"));
  EXPECT_EQ(probed["wm/year"], "1999");
  EXPECT_EQ(probed["wm/track"], "5");
  EXPECT_TRUE(ExtendedAttributes(ReadFileBytes(path)).size() >= 7);

  // A text that is not known (empty) gets no attribute.
  TagRecord partial = SampleTags();
  partial.wide[TagRecord::Year].clear();
  WmaEncoder partialCodec{WmaSettings{}};
  ASSERT_TRUE(Encode(partialCodec, dir.filePath("partial.wma"), audio, &partial));
  for (const auto& attribute : ExtendedAttributes(ReadFileBytes(dir.filePath("partial.wma")))) {
    EXPECT_NE(attribute.first, "WM/Year");
  }

  WmaEncoder untagged{WmaSettings{}};
  const QString bare = dir.filePath("bare.wma");
  ASSERT_TRUE(Encode(untagged, bare, audio, nullptr));
  for (const auto& attribute : ExtendedAttributes(ReadFileBytes(bare))) {
    EXPECT_NE(attribute.first, "WM/AlbumTitle");
  }
}

TEST_F(WmaCodecTest, UnknownFormatStringFailsOpenWithoutAFile) {
  WmaEncoder codec(Described("1 kbps, 8 kHz, mono CBR"));
  const QString path = dir.filePath("none.wma");
  EXPECT_EQ(codec.Open(path, {}, nullptr), 0);
  EXPECT_TRUE(codec.ErrorText().contains("1 kbps, 8 kHz, mono CBR"))
      << codec.ErrorText().toStdString();
  EXPECT_EQ(codec.Write(audio.constData(), kChunkBytes, 0), 0);
  EXPECT_EQ(codec.Close(), 1);
  EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(WmaSettingsSection, EmptyKeyReadsAsTheDefaultAndLongTextIsCut) {
  TempConfig config;
  IniFile ini(QStringLiteral("korvane.ini"));
  WmaSettings settings;
  settings.formatString = QString(300, 'x');
  settings.Save(ini);
  settings.Load(ini);
  EXPECT_EQ(settings.formatString, QString(WmaSettings::kMaxDescriptionLength, 'x'));
  ini.WriteString(Key::WmaFormatString, "");
  settings.Load(ini);
  EXPECT_EQ(settings.formatString, "128 kbps, 44 kHz, stereo CBR");
}

TEST(WmaOutputFormat, MakesWmaCodecsWhereTheEncoderExists) {
  const std::unique_ptr<OutputFormat> format = CreateOutputFormat(FormatId::Wma);
  ASSERT_NE(dynamic_cast<WmaFormat*>(format.get()), nullptr);
  EXPECT_TRUE(format->IsAvailable());
  EXPECT_NE(dynamic_cast<WmaEncoder*>(format->CreateEncoder().get()), nullptr);
}

}  // namespace
