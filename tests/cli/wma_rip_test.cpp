#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "encoders/lossy_audio.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

class WmaRipTest : public ::testing::Test {
 protected:
  ProcessResult Rip() {
    return RunCli(
        config_.Dir(),
        {"--virtual-disc", disc_.CuePath(), "rip", "--out", out_.path(), "--format", "wma"},
        {"KORVANE_VIRTUAL_FAULTS="});
  }
  QString Folder() const { return out_.path() + "/Band/Record"; }

  OfflineRipConfig config_;
  QTemporaryDir out_;
  TestDisc disc_{
      {TestTrack(150, "First", "Band"), TestTrack(100, QString::fromUtf8("Zwëite"), "Band")},
      "Record",
      "Band"};
};

TEST_F(WmaRipTest, TracksDecodeToTheirAudioWithTheirAttributes) {
  const ProcessResult r = Rip();
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  for (int index : {0, 1}) {
    const QString title = index == 0 ? "First" : QString::fromUtf8("Zwëite");
    const QString path =
        QString("%1/%2 - %3.wma").arg(Folder()).arg(index + 1, 2, 10, QChar('0')).arg(title);
    ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    const QByteArray source = disc_.TrackAudio(index);
    const QByteArray decoded = DecodeToPcm(path);
    const int frames = int(source.size() / 4);
    EXPECT_GE(decoded.size() / 4, frames - 2048);  // the decoder holds back one frame
    EXPECT_LE(decoded.size() / 4, frames);
    EXPECT_GT(Correlation(decoded, source, 2048, 0), 0.5);
    EXPECT_GT(Correlation(decoded, source, 2048, 1), 0.5);
    EXPECT_NEAR(ProbeDuration(path), frames / 44100.0, 0.1);
    const QMap<QString, QString> tags = ProbeTags(path);
    EXPECT_EQ(tags["title"], title);
    EXPECT_EQ(tags["artist"], "Band");
    EXPECT_EQ(tags["album"], "Record");
    EXPECT_EQ(tags["wm/track"], QString::number(index + 1));
  }
}

TEST_F(WmaRipTest, AFormatStringNoFormatHasFailsEveryTrackAndWritesNothing) {
  ASSERT_EQ(
      RunCli(config_.Dir(), {"config", "set", "WMA", "FormatString", "7 kbps, 8 kHz, mono CBR"})
          .exitCode,
      0);
  const ProcessResult r = Rip();
  EXPECT_EQ(r.exitCode, 4);
  for (const char* track : {"track 1 failed", "track 2 failed"}) {
    EXPECT_TRUE(r.err.contains(track)) << r.err.toStdString();
  }
  EXPECT_TRUE(r.err.contains("no WMA format is described as \"7 kbps, 8 kHz, mono CBR\""))
      << r.err.toStdString();
  EXPECT_TRUE(QDir(Folder()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

}  // namespace
