#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

#include "encoders/lossy_audio.h"
#include "encoders/opus_encoder.h"
#include "encoders/tag_record.h"
#include "support/test_support.h"

namespace {

constexpr int kSecondFrames = 44100;

OpusSettings Opus(int bitRate, int mode, int complexity = 10) {
  OpusSettings s;
  s.bitRate = bitRate;
  s.mode = mode;
  s.complexity = complexity;
  return s;
}

// What opusinfo reports of a file; fails the test when it finds fault with the stream.
QString OpusInfo(const QString& path) {
  const ProcessResult r = RunProgram("opusinfo", {path});
  EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
  EXPECT_FALSE(r.out.contains("WARNING")) << r.out.toStdString();
  return QString::fromUtf8(r.out);
}

double AverageKbits(const QString& info) {
  const QRegularExpressionMatch m =
      QRegularExpression("Average bitrate: ([0-9.]+) kbit/s").match(info);
  return m.hasMatch() ? m.captured(1).toDouble() : -1;
}

class OpusCodecTest : public ::testing::Test {
 protected:
  QString PathOf(const QString& name) const { return dir.filePath(name); }

  QTemporaryDir dir;
  // 6 s and a part sector, so the last Opus frame is a short one.
  const QByteArray audio = SweepAudio(6 * kSecondFrames + 333);
};

TEST_F(OpusCodecTest, FilesDecodeToTheSourceLengthAndSoundAtTheirBitRate) {
  const struct {
    const char* name;
    OpusSettings settings;
    double minKbits, maxKbits;
    double correlation;
  } cases[] = {
      {"default", OpusSettings{}, 100, 240, 0.98},
      {"cbr 64", Opus(64, OpusSettings::Cbr), 60, 70, 0.95},
      {"constrained 256", Opus(256, OpusSettings::ConstrainedVbr), 150, 300, 0.98},
      // VBR spends more than asked on a sweep, which is harder than music.
      {"vbr 32 complexity 0", Opus(32, OpusSettings::Vbr, 0), 15, 80, 0.8},
      {"out of range", Opus(9999, 7, 99), 200, 560, 0.98},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = PathOf(QString::fromLatin1(c.name).replace(' ', '_') + ".opus");
    OpusFileEncoder codec(c.settings);
    ASSERT_TRUE(EncodeAsRip(codec, path, audio, nullptr, 1001)) << codec.ErrorText().toStdString();
    const QString info = OpusInfo(path);
    EXPECT_TRUE(info.contains("Original sample rate: 44100 Hz")) << info.toStdString();
    const double kbits = AverageKbits(info);
    EXPECT_GE(kbits, c.minKbits);
    EXPECT_LE(kbits, c.maxKbits);
    const QByteArray decoded = DecodeToPcm(path);
    // Pre-skip and end trimming leave the source's length, give or take the resampling's
    // rounding of one 48 kHz sample.
    EXPECT_NEAR(double(decoded.size() / 4), double(audio.size() / 4), 2.0);
    EXPECT_EQ(BestLag(audio, decoded, 2500), 0);
    EXPECT_GT(Correlation(audio, decoded, 0, 0), c.correlation);
    EXPECT_GT(Correlation(audio, decoded, 0, 1), c.correlation);
  }
}

TEST_F(OpusCodecTest, CommentsCarryTheTagsInFullUnicode) {
  const QString path = PathOf("tagged.opus");
  const TagRecord tags = UnicodeTags();
  OpusFileEncoder codec{OpusSettings{}};
  ASSERT_TRUE(EncodeAsRip(codec, path, audio, &tags));
  OpusInfo(path);
  const QMap<QString, QString> probed = ProbeTags(path);
  EXPECT_EQ(probed["title"], tags.Wide(TagRecord::Title));
  EXPECT_EQ(probed["artist"], tags.Wide(TagRecord::Artist));
  EXPECT_EQ(probed["album"], tags.Wide(TagRecord::Album));
  EXPECT_EQ(probed["date"], "1999");
  EXPECT_EQ(probed["genre"], "Blues");
  EXPECT_EQ(probed["comment"], "A comment");
  EXPECT_EQ(probed["track"], "3");  // ffprobe's name for TRACKNUMBER
  EXPECT_EQ(probed["tracktotal"], "12");
}

TEST_F(OpusCodecTest, TwoRipsOfATrackGetTheirOwnStreamSerials) {
  OpusFileEncoder codec{OpusSettings{}};
  ASSERT_TRUE(EncodeAsRip(codec, PathOf("a.opus"), audio));
  ASSERT_TRUE(EncodeAsRip(codec, PathOf("b.opus"), audio));
  // The serial number is bytes 14..17 of the first page.
  EXPECT_NE(ReadFileBytes(PathOf("a.opus")).mid(14, 4), ReadFileBytes(PathOf("b.opus")).mid(14, 4));
}

}  // namespace
