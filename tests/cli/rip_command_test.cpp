#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "encoders/wav_encoder.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

class RipCommandTest : public ::testing::Test {
 protected:
  ProcessResult Rip(const QStringList& extra, const QStringList& environment = {}) {
    return RunCli(config_.Dir(), QStringList{"--virtual-disc", disc_.CuePath(), "rip", "--out", out_.path()} + extra,
                  QStringList{"KORVANE_VIRTUAL_FAULTS="} + environment);
  }
  QString TrackFile(int number, const QString& title) const {
    return QString("%1/Band/Record/%2 - %3.wav").arg(out_.path()).arg(number, 2, 10, QChar('0')).arg(title);
  }

  TempConfig config_;
  QTemporaryDir out_;
  TestDisc disc_{{TestTrack(60, "First", "Band"), TestTrack(30, "Se/cond", "Band")}, "Record", "Band"};
};

TEST_F(RipCommandTest, WritesOneNamedBitExactWavPerTrack) {
  const ProcessResult r = Rip({"--format", "wav"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QByteArray first = ReadFileBytes(TrackFile(1, "First"));
  EXPECT_EQ(first.left(WavEncoder::kHeaderBytes), WavEncoder::Header(60 * 2352));
  EXPECT_EQ(first.mid(WavEncoder::kHeaderBytes), disc_.TrackAudio(0));
  EXPECT_EQ(ReadFileBytes(TrackFile(2, "Se_cond")).mid(WavEncoder::kHeaderBytes), disc_.TrackAudio(1))
      << "a slash in a title never makes a folder";
  EXPECT_TRUE(r.out.contains("Wrote " + TrackFile(2, "Se_cond").toUtf8()));
  EXPECT_TRUE(r.out.contains("Output folder: " + out_.path().toUtf8())) << "printed, not opened";
}

TEST_F(RipCommandTest, AnUnreadableSectorExitsThreeWithTheFileAtFullLength) {
  const int bad = disc_.TrackStart(0) + 10;
  const ProcessResult r = Rip({"--format", "wav"}, {QString("KORVANE_VIRTUAL_FAULTS=%1").arg(bad)});
  EXPECT_EQ(r.exitCode, 3) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("track 1 had 1 unreadable sectors"));
  const QByteArray audio = ReadFileBytes(TrackFile(1, "First")).mid(WavEncoder::kHeaderBytes);
  ASSERT_EQ(audio.size(), 60 * 2352);
  EXPECT_EQ(audio.mid(10 * 2352, 2352), QByteArray(2352, '\0'));
  EXPECT_EQ(audio.left(10 * 2352), disc_.TrackAudio(0).left(10 * 2352));
  EXPECT_EQ(audio.mid(11 * 2352), disc_.TrackAudio(0).mid(11 * 2352));
}

TEST_F(RipCommandTest, ArgumentsAndUnavailableFormats) {
  struct Case {
    QStringList args;
    int exitCode;
    const char* message;
  } cases[] = {
      {{"--format", "wma"}, 1, "WMA encoding is not available in this build"},
      {{"--format", "flac"}, 1, "unknown format"},
      {{"--format", "wav", "--tracks", "3"}, 1, "bad track list"},
      {{"--format", "wav", "--tracks", "2-1"}, 1, "bad track list"},
  };
  for (const Case& c : cases) {
    const ProcessResult r = Rip(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
    EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
  }
  EXPECT_TRUE(QDir(out_.path()).isEmpty()) << "nothing written";

  ASSERT_EQ(Rip({"--format", "wav", "--tracks", "2"}).exitCode, 0);
  EXPECT_FALSE(QFileInfo::exists(TrackFile(1, "First")));
  EXPECT_TRUE(QFileInfo::exists(TrackFile(2, "Se_cond")));
}

TEST_F(RipCommandTest, NoDiscExitsTwo) {
  const ProcessResult r = RunCli(config_.Dir(), {"--virtual-disc", "/nonexistent/disc.cue", "rip"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_FALSE(r.err.isEmpty());
}

TEST_F(RipCommandTest, InfoShowsCdTextOfADiscNotInTheCache) {
  const ProcessResult r = RunCli(config_.Dir(), {"--virtual-disc", disc_.CuePath(), "info", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QJsonObject info = QJsonDocument::fromJson(r.out).object();
  EXPECT_EQ(info["album"].toString(), "Record");
  EXPECT_EQ(info["artist"].toString(), "Band");
  const QJsonArray tracks = info["tracks"].toArray();
  ASSERT_EQ(tracks.size(), 2);
  EXPECT_EQ(tracks[1].toObject()["title"].toString(), "Se/cond");
  EXPECT_FALSE(tracks[1].toObject()["data"].toBool());
}

}  // namespace
