#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "encoders/lossy_audio.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

class LossyRipTest : public ::testing::Test {
 protected:
  ProcessResult Rip(const QString& format) {
    return RunCli(
        config_.Dir(),
        {"--virtual-disc", disc_.CuePath(), "rip", "--out", out_.path(), "--format", format},
        {"KORVANE_VIRTUAL_FAULTS="});
  }
  QString TrackFile(int number, const QString& title, const QString& extension) const {
    return QString("%1/Band/Record/%2 - %3.%4")
        .arg(out_.path())
        .arg(number, 2, 10, QChar('0'))
        .arg(title, extension);
  }

  OfflineRipConfig config_;
  QTemporaryDir out_;
  TestDisc disc_{
      {TestTrack(150, "First", "Band"), TestTrack(100, QString::fromUtf8("Zwëite"), "Band")},
      "Record",
      "Band"};
};

// Each format's files decode to the track's audio and length and carry the disc's tags.
TEST_F(LossyRipTest, EachFormatWritesDecodableTaggedFilesOfTheRightLength) {
  const struct {
    const char* format;
    int lag;    // decoded frames before the track's first
    int extra;  // decoded frames allowed beyond the track's end
    // The disc's audio is noise-like up to 22 kHz; the AAC step keeps 16 kHz of it, so its
    // correlation is lower, yet far from the 0 of unrelated or shifted audio.
    double correlation;
    bool id3v2;  // tags ffprobe reads in Unicode (ID3v1 holds Windows-1252 bytes)
  } cases[] = {{"mp3", 0, 0, 0.5, true}, {"ogg", 0, 0, 0.5, true}, {"aac", 1024, 1024, 0.3, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    const ProcessResult r = Rip(c.format);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    for (int index : {0, 1}) {
      const QString title = index == 0 ? "First" : QString::fromUtf8("Zwëite");
      const QString path = TrackFile(index + 1, title, c.format);
      ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
      const QByteArray source = disc_.TrackAudio(index);
      const QByteArray decoded = DecodeToPcm(path);
      const int frames = int(source.size() / 4);
      EXPECT_GE(decoded.size() / 4, frames + c.lag);
      EXPECT_LE(decoded.size() / 4, frames + c.lag + c.extra);
      EXPECT_EQ(BestLag(source, decoded, 2500), c.lag);
      EXPECT_GT(Correlation(source, decoded, c.lag, 0), c.correlation);
      EXPECT_GT(Correlation(source, decoded, c.lag, 1), c.correlation);
      const QMap<QString, QString> tags = ProbeTags(path);
      EXPECT_EQ(tags["artist"], "Band");
      EXPECT_EQ(tags["album"], "Record");
      // The disc has no year, genre or comment: none is made up.
      for (const char* unknown : {"date", "genre", "comment"}) {
        EXPECT_FALSE(tags.contains(unknown)) << unknown << "=" << tags[unknown].toStdString();
      }
      if (c.id3v2) {
        EXPECT_EQ(tags["title"], title);
        EXPECT_EQ(tags.value("album_artist", tags["albumartist"]), "Band");
      } else {
        const QByteArray id3v1 = ReadFileBytes(path).right(128);
        EXPECT_TRUE(id3v1.startsWith("TAG"));
        EXPECT_EQ(id3v1.mid(3, 30), title.toLatin1().leftJustified(30, '\0'));
        EXPECT_EQ(id3v1.mid(93, 4), QByteArray(4, '\0')) << "no year";
        EXPECT_EQ(id3v1.mid(97, 28), QByteArray(28, '\0')) << "no comment";
        EXPECT_EQ(id3v1[126], char(index + 1));
        EXPECT_EQ(uint8_t(id3v1[127]), 255) << "no genre";
      }
    }
  }
}

TEST_F(LossyRipTest, FlacFilesHoldTheTracksBitForBitWithTheirTags) {
  const ProcessResult r = Rip("flac");
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  for (int index : {0, 1}) {
    const QString title = index == 0 ? "First" : QString::fromUtf8("Zwëite");
    const QString path = TrackFile(index + 1, title, "flac");
    ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    EXPECT_EQ(RunProgram("flac", {"-t", "-s", path}).exitCode, 0);
    EXPECT_TRUE(DecodeToPcm(path) == disc_.TrackAudio(index));
    const QMap<QString, QString> tags = ProbeTags(path);
    EXPECT_EQ(tags["title"], title);
    EXPECT_EQ(tags["artist"], "Band");
    EXPECT_EQ(tags["album"], "Record");
    EXPECT_EQ(tags["track"], QString::number(index + 1));
  }
}

TEST_F(LossyRipTest, AnEncoderThatCannotStartFailsEachTrackAndWritesNothing) {
  // Bit rates far above what Vorbis manages at 44.1 kHz.
  for (const char* key : {"MinBitRate", "NomBitRate", "MaxBitRate"}) {
    ASSERT_EQ(RunCli(config_.Dir(), {"config", "set", "OGG", key, "9999"}).exitCode, 0);
  }
  ASSERT_EQ(RunCli(config_.Dir(), {"config", "set", "OGG", "VBR", "0"}).exitCode, 0);
  const ProcessResult r = Rip("ogg");
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_TRUE(r.err.contains("track 1 failed")) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("track 2 failed")) << r.err.toStdString();
  EXPECT_TRUE(QDir(out_.path() + "/Band/Record").entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// A hand-edited or old settings file with an MP3 rate the encoder does not take rips at the
// nearest rate it takes, instead of failing every track.
TEST_F(LossyRipTest, AStoredMp3RateTheEncoderRefusesNeverFailsATrack) {
  ASSERT_TRUE(
      WriteFileBytes(config_.File("korvane.ini"), "[MP3]\nMinBitRate=999\nMaxBitRate=999\n"));
  const ProcessResult r = Rip("mp3");
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  const ProcessResult probe =
      RunProgram("ffprobe", {"-v", "error", "-select_streams", "a", "-show_entries",
                             "stream=bit_rate", "-of", "csv=p=0", TrackFile(1, "First", "mp3")});
  EXPECT_EQ(probe.out.trimmed(), "320000");
}

}  // namespace
