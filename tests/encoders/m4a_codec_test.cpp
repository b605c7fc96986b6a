#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>

#include "encoders/lossy_audio.h"
#include "encoders/m4a_encoder.h"
#include "encoders/tag_record.h"
#include "support/test_support.h"

namespace {

constexpr int kSecondFrames = 44100;

// The names of the file's top-level MP4 boxes, in order.
QStringList TopLevelBoxes(const QByteArray& file) {
  QStringList boxes;
  for (qsizetype at = 0; at + 8 <= file.size();) {
    const quint32 size = qFromBigEndian<quint32>(file.constData() + at);
    boxes << QString::fromLatin1(file.mid(at + 4, 4));
    if (size < 8) break;
    at += size;
  }
  return boxes;
}

QJsonObject ProbeStream(const QString& path) {
  const ProcessResult r =
      RunProgram("ffprobe", {"-v", "error", "-show_streams", "-show_format", "-of", "json", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return QJsonDocument::fromJson(r.out).object();
}

class M4aCodecTest : public ::testing::Test {
 protected:
  QString PathOf(const QString& name) const { return dir.filePath(name); }

  QTemporaryDir dir;
  const QByteArray audio = SweepAudio(5 * kSecondFrames + 333);
};

TEST_F(M4aCodecTest, FilesAreAacLcInMp4WithTheIndexFirstAndTheRightLength) {
  for (int bitRate : {64, 192, 320, 1000}) {
    SCOPED_TRACE(bitRate);
    const QString path = PathOf(QStringLiteral("%1.m4a").arg(bitRate));
    M4aSettings settings;
    settings.bitRate = bitRate;
    M4aEncoder codec(settings);
    ASSERT_TRUE(EncodeAsRip(codec, path, audio)) << codec.ErrorText().toStdString();
    const QStringList boxes = TopLevelBoxes(ReadFileBytes(path));
    ASSERT_GE(boxes.size(), 3);
    EXPECT_EQ(boxes[0], "ftyp");
    EXPECT_LT(boxes.indexOf("moov"), boxes.indexOf("mdat"));

    const QJsonObject probe = ProbeStream(path);
    const QJsonObject stream = probe["streams"].toArray()[0].toObject();
    EXPECT_EQ(stream["codec_name"].toString(), "aac");
    EXPECT_EQ(stream["profile"].toString(), "LC");
    EXPECT_EQ(stream["sample_rate"].toString(), "44100");
    EXPECT_EQ(probe["format"].toObject()["tags"].toObject()["major_brand"].toString(), "M4A ");
    const double kbits = stream["bit_rate"].toString().toDouble() / 1000;
    EXPECT_GT(kbits, 0.6 * settings.BitRate());
    EXPECT_LT(kbits, 1.2 * settings.BitRate());

    // The edit list hides the encoder's delay: the decoded audio starts with the source's.
    const QByteArray decoded = DecodeToPcm(path);
    EXPECT_GE(decoded.size() / 4, audio.size() / 4);
    EXPECT_LE(decoded.size() / 4, audio.size() / 4 + 1024);
    EXPECT_NEAR(BestLag(audio, decoded, 2500), 0, 1);  // the low-pass filter's phase at most
    EXPECT_GT(Correlation(audio, decoded, 0, 0), 0.9);
  }
}

TEST_F(M4aCodecTest, TagsAreWrittenInUnicodeAndOnlyWhenKnown) {
  const QString path = PathOf("tagged.m4a");
  const TagRecord tags = UnicodeTags();
  M4aEncoder codec{M4aSettings{}};
  ASSERT_TRUE(EncodeAsRip(codec, path, audio, &tags));
  QMap<QString, QString> probed = ProbeTags(path);
  EXPECT_EQ(probed["title"], tags.Wide(TagRecord::Title));
  EXPECT_EQ(probed["artist"], tags.Wide(TagRecord::Artist));
  EXPECT_EQ(probed["album"], tags.Wide(TagRecord::Album));
  EXPECT_EQ(probed["date"], "1999");
  EXPECT_EQ(probed["genre"], "Blues");
  EXPECT_EQ(probed["comment"], "A comment");
  EXPECT_EQ(probed["track"], "3/12");
  EXPECT_GT(Correlation(audio, DecodeToPcm(path), 0, 1), 0.9);  // tagging kept the audio

  TagRecord sparse;
  sparse.wide[TagRecord::Title] = "Only a title";
  M4aEncoder second{M4aSettings{}};
  ASSERT_TRUE(EncodeAsRip(second, PathOf("sparse.m4a"), audio, &sparse));
  probed = ProbeTags(PathOf("sparse.m4a"));
  EXPECT_EQ(probed["title"], "Only a title");
  for (const char* absent : {"artist", "date", "genre", "comment", "track"}) {
    EXPECT_FALSE(probed.contains(absent)) << absent;
  }
}

}  // namespace
