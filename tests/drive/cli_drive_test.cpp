// korvane-cli's drive commands, run as a user runs them, on virtual discs.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "metadata/disc_id.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

constexpr const char* kVirtualName = "[vcd0] KORVANE VIRTUAL CD";

MsfAddress Msf(int frames) { return {frames / 4500, frames / 75 % 60, frames % 75}; }

class CliDriveTest : public ::testing::Test {
 protected:
  ProcessResult Run(const QStringList& args, const QStringList& env = {}) {
    return RunCli(config.Dir(), args, env);
  }
  static QStringList Lines(const QByteArray& text) {
    return QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts);
  }
  TempConfig config;
  DiscImages images;
};

TEST_F(CliDriveTest, DrivesListsTheVirtualDriveAfterTheRealOnes) {
  const ProcessResult plain = Run({"drives"});
  ASSERT_EQ(plain.exitCode, 0) << plain.err.constData();
  const QStringList lines = Lines(plain.out);
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(lines.last(), kVirtualName);
  if (!QFileInfo::exists("/dev/sr0")) {
    EXPECT_EQ(lines.size(), 1);
  }

  const ProcessResult json = Run({"drives", "--json"});
  ASSERT_EQ(json.exitCode, 0);
  EXPECT_EQ(QJsonDocument::fromJson(json.out).object()["drives"].toArray().last().toString(),
            kVirtualName);
}

TEST_F(CliDriveTest, TocJsonMatchesTheImageExactly) {
  const QList<TrackSpec> tracks = {{"AUDIO", 13350}, {"AUDIO", 9000}, {"MODE1/2048", 1234}};
  const QString cue = images.Write(tracks);
  const ProcessResult byOption = Run({"--virtual-disc", cue, "--drive", "vcd0", "toc", "--json"});
  ASSERT_EQ(byOption.exitCode, 0) << byOption.err.constData();
  const ProcessResult byEnvironment = Run({"toc", "--json"}, {"KORVANE_VIRTUAL_DISC=" + cue});
  EXPECT_EQ(byEnvironment.out, byOption.out);

  const QJsonObject toc = QJsonDocument::fromJson(byOption.out).object();
  EXPECT_EQ(toc["drive"].toString(), kVirtualName);
  EXPECT_EQ(toc["discType"].toString(), "CDiscTypeMixedModeCD");
  const QJsonArray list = toc["tracks"].toArray();
  ASSERT_EQ(list.size(), 3);
  struct Expect {
    int start, end, seconds;
    bool data;
  };
  // Track 1 spans 00:02:00 to 03:00:00 of disc time, track 2 to 05:00:00, track 3 to 05:16:34.
  const Expect expected[] = {
      {0, 13349, 178, false}, {13350, 22349, 120, false}, {22350, 23583, 16, true}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const QJsonObject t = list[i].toObject();
    EXPECT_EQ(t["number"].toInt(), i + 1);
    EXPECT_EQ(t["start"].toInt(), expected[i].start);
    EXPECT_EQ(t["end"].toInt(), expected[i].end);
    // The sectors a rip reads: start to end, both included.
    EXPECT_EQ(t["bytes"].toInteger(), qint64(expected[i].end - expected[i].start + 1) * 2352);
    EXPECT_EQ(t["seconds"].toInt(), expected[i].seconds);
    EXPECT_EQ(t["data"].toBool(), expected[i].data);
  }
  // The data track follows the audio without room for a second session: it counts.
  TocAddresses addresses;
  for (const Expect& e : expected) addresses.trackStarts.push_back(Msf(e.start + 150));
  addresses.leadOut = Msf(expected[2].end + 1 + 150);
  EXPECT_EQ(toc["musicBrainzId"].toString(), MusicBrainzDiscId(addresses));
}

TEST_F(CliDriveTest, TocNamesTheDiscTypeForPeopleAndStablyInJson) {
  struct Case {
    QList<TrackSpec> tracks;
    const char* shown;
    const char* json;
  };
  const QList<Case> cases = {
      {{{"AUDIO", 300}, {"MODE1/2048", 300}}, "Mixed mode CD", "CDiscTypeMixedModeCD"},
      {{{"MODE1/2048", 300}}, "Data CD", "CDiscTypeDataCD"},
      {{{"MODE1/2048", 300}, {"AUDIO", 300}}, "Data CD", "CDiscTypeDataCDMultisession"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    const QString cue = images.Write(c.tracks);
    const ProcessResult text = Run({"--virtual-disc", cue, "toc"});
    ASSERT_EQ(text.exitCode, 0) << text.err.constData();
    EXPECT_EQ(Lines(text.out).value(0), QString("Disc type: ") + c.shown);
    const ProcessResult json = Run({"--virtual-disc", cue, "toc", "--json"});
    EXPECT_EQ(QJsonDocument::fromJson(json.out).object()["discType"].toString(), c.json);
  }
}

TEST_F(CliDriveTest, TocTextShowsTheDemoDisc) {
  const ProcessResult result = Run({"--virtual-disc", "demo", "--drive", kVirtualName, "toc"});
  ASSERT_EQ(result.exitCode, 0) << result.err.constData();
  const QStringList lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 5);
  EXPECT_EQ(lines[0], "Disc type: Audio CD");
  const QRegularExpression track(
      R"(^ ?(\d+) +(\d+) +(\d+) +(\d+\.\d\d) MiB  (\d\d):(\d\d)  audio$)");
  for (int i = 1; i < 5; ++i) {
    const QRegularExpressionMatch m = track.match(lines[i]);
    ASSERT_TRUE(m.hasMatch()) << lines[i].toStdString();
    EXPECT_EQ(m.captured(1).toInt(), i);
    const int seconds = m.captured(5).toInt() * 60 + m.captured(6).toInt();
    EXPECT_GE(seconds, 20);
    EXPECT_LE(seconds, 42);  // 20 to 40 seconds of music, plus the first track's pregap
  }
}

TEST_F(CliDriveTest, FailuresAreOneLineAndNonZero) {
  const QString badCue = images.Dir() + "/bad.cue";
  WriteFileBytes(
      badCue,
      "FILE \"track1.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 CDG\n");
  images.Write({{"AUDIO", 10}});
  struct Case {
    const char* name;
    QStringList args;
    int exitCode;
    const char* message;
  };
  const QList<Case> cases = {
      {"unknown drive", {"--drive", "sr9", "toc"}, 2, "sr9"},
      {"missing image", {"--virtual-disc", images.Dir() + "/none.cue", "toc"}, 1, "none.cue"},
      {"malformed image", {"--virtual-disc", badCue, "drives"}, 1, "4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProcessResult result = Run(c.args);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_TRUE(result.out.isEmpty());
    const QStringList err = Lines(result.err);
    ASSERT_EQ(err.size(), 1) << result.err.constData();
    EXPECT_TRUE(err[0].contains(c.message)) << err[0].toStdString();
  }
}

TEST_F(CliDriveTest, EjectAndLoadWorkTheTray) {
  for (const char* command : {"eject", "load"}) {
    const ProcessResult result = Run({"--virtual-disc", "demo", command});
    EXPECT_EQ(result.exitCode, 0) << command << result.err.constData();
    EXPECT_TRUE(result.err.isEmpty());
  }
}

}  // namespace
