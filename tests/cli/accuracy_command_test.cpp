// korvane-cli's AccurateRip identity in toc and info, and the offset command, on virtual
// discs and a loopback AccurateRip database.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include "metadata/disc_id.h"
#include "settings/settings_store.h"
#include "support/accuraterip_server.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

class AccuracyCommandTest : public ::testing::Test {
 protected:
  ProcessResult Run(const QStringList& args, const QStringList& env = {}) {
    return RunCli(config.Dir(), args, env);
  }
  QString TocId(const QString& cue) {
    const ProcessResult toc = Run({"--virtual-disc", cue, "toc", "--json"});
    EXPECT_EQ(toc.exitCode, 0) << toc.err.constData();
    return QJsonDocument::fromJson(toc.out).object()["accurateRipId"].toString();
  }

  TestApplication<QCoreApplication> app;
  TempConfig config;
  DiscImages images;
};

QString FreedbIdOf(const std::vector<int>& startLbas, int leadOutLba) {
  TocAddresses toc;
  const auto msf = [](int lba) {
    return MsfAddress{(lba + 150) / 4500, (lba + 150) / 75 % 60, (lba + 150) % 75};
  };
  for (int lba : startLbas) toc.trackStarts.push_back(msf(lba));
  toc.leadOut = msf(leadOutLba);
  return QString("%1").arg(ComputeDiscId(toc), 8, 16, QLatin1Char('0'));
}

TEST_F(AccuracyCommandTest, TocAndInfoShowTheDatabasesIdentity) {
  // Track 1 starts at its INDEX 01, after 182 sectors of pregap: a = 182 + 750 + 1500,
  // b = 182 + 750 x 2 + 1500 x 3.
  ImageFolder folder;
  folder.Write("p.bin", PatternSectors(4, 1500));
  const QString pregap =
      folder.Write("p.cue",
                   "FILE p.bin BINARY\nTRACK 01 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:02:32\n"
                   "TRACK 02 AUDIO\nINDEX 01 00:10:00\n");
  EXPECT_EQ(TocId(pregap), "002-00000980-00001826-" + FreedbIdOf({182, 750}, 1500));

  // A data track after the audio (the second session of an enhanced CD) is left out, but the
  // lead-out is the disc's: a = 13350 + 23584, b = 1 + 13350 x 2 + 23584 x 3.
  const QString enhanced = images.Write({{"AUDIO", 13350}, {"AUDIO", 9000}, {"MODE1/2048", 1234}});
  EXPECT_EQ(TocId(enhanced), "002-00009046-00017cad-" + FreedbIdOf({0, 13350, 22350}, 23584));

  // A data track first (mixed mode): a = 300 + 600 + 900, b = 300 + 600 x 2 + 900 x 3.
  const QString mixed = images.Write({{"MODE1/2048", 300}, {"AUDIO", 300}, {"AUDIO", 300}});
  EXPECT_EQ(TocId(mixed), "002-00000708-00001068-" + FreedbIdOf({0, 300, 600}, 900));

  const ProcessResult info = Run({"--virtual-disc", mixed, "info"});
  EXPECT_TRUE(info.out.contains("AccurateRip ID: 002-00000708-00001068-")) << info.out.constData();
  const ProcessResult json = Run({"--virtual-disc", mixed, "info", "--json"});
  EXPECT_TRUE(QJsonDocument::fromJson(json.out).object()["accurateRipId"].toString().startsWith(
      "002-00000708-00001068-"));

  // 99 tracks of 100 sectors.
  QList<TrackSpec> many;
  std::vector<int> starts;
  uint32_t a = 9900, b = 9900 * 100;
  for (int i = 0; i < 99; ++i) {
    many.append({"AUDIO", 100});
    starts.push_back(i * 100);
    a += uint32_t(i * 100);
    b += uint32_t(std::max(i * 100, 1) * (i + 1));
  }
  EXPECT_EQ(TocId(images.Write(many)),
            QString("099-%1-%2-").arg(a, 8, 16, QLatin1Char('0')).arg(b, 8, 16, QLatin1Char('0')) +
                FreedbIdOf(starts, 9900));
}

TEST_F(AccuracyCommandTest, OffsetIsShownStoredAndRefusedWhenOutOfRange) {
  const QString cue = images.Write({{"AUDIO", 300}});
  EXPECT_EQ(Run({"--virtual-disc", cue, "offset"}).out, "Read offset: 0\n");
  EXPECT_EQ(Run({"--virtual-disc", cue, "offset", "set", "667"}).out, "Read offset: +667\n");
  EXPECT_EQ(Run({"--virtual-disc", cue, "offset"}).out, "Read offset: +667\n");
  EXPECT_EQ(Run({"--virtual-disc", cue, "offset", "set", "--", "-30"}).out, "Read offset: -30\n");
  for (const char* bad : {"3001", "six", "1.5"}) {
    const ProcessResult refused = Run({"--virtual-disc", cue, "offset", "set", bad});
    EXPECT_EQ(refused.exitCode, 1) << bad;
    EXPECT_TRUE(refused.err.contains("from -3000 to +3000")) << refused.err.constData();
  }
  EXPECT_EQ(Run({"--virtual-disc", cue, "offset"}).out, "Read offset: -30\n");
  EXPECT_EQ(Run({"--virtual-disc", cue, "offset", "guess"}).exitCode, 1);
}

TEST_F(AccuracyCommandTest, DetectFindsTheVirtualDrivesOffsetAndStoresIt) {
  TestDisc disc({TestTrack(60), TestTrack(45), TestTrack(50)});
  const QString id = TocId(disc.CuePath());
  AccurateRipServer server;
  server.Serve(DbarPath(id), TrueDbarResponse(disc, 3, id, 7));
  SettingsStore::Instance().WriteString(Key::ArServer, server.Url());

  const QStringList drive = {"KORVANE_VIRTUAL_OFFSET=+667"};
  const ProcessResult detect = Run({"--virtual-disc", disc.CuePath(), "offset", "detect"}, drive);
  ASSERT_EQ(detect.exitCode, 0) << detect.err.constData();
  EXPECT_EQ(detect.out, "Read offset: +667\n");
  EXPECT_TRUE(detect.err.contains("3 track(s) accurate at that offset, confidence 7"));
  EXPECT_EQ(Run({"--virtual-disc", disc.CuePath(), "offset"}, drive).out, "Read offset: +667\n");

  server.SetStatus("404 Not Found");
  const ProcessResult absent = Run({"--virtual-disc", disc.CuePath(), "offset", "detect"}, drive);
  EXPECT_EQ(absent.exitCode, 3);
  EXPECT_TRUE(absent.err.contains("not in the AccurateRip database")) << absent.err.constData();
}

}  // namespace
