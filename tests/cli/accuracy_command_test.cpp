// korvane-cli's AccurateRip identity in toc and info, and the offset command, on virtual
// discs and a loopback AccurateRip database.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "metadata/accuraterip.h"
#include "metadata/disc_id.h"
#include "rip/track_checksums.h"
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

// `rip --json`: the result on stdout, the progress on stderr.
class RipJsonTest : public AccuracyCommandTest {
 protected:
  QJsonObject RipJson(const QStringList& options, const QStringList& env) {
    const ProcessResult rip =
        Run(QStringList{"--virtual-disc", disc.CuePath(), "rip", "--format", "wav", "--out",
                        out.filePath(QString::number(++rips_)), "--json"} +
                options,
            env);
    EXPECT_EQ(rip.exitCode, 0) << rip.err.constData();
    EXPECT_TRUE(rip.err.contains("Wrote ")) << "the progress goes to stderr";
    lastErr_ = rip.err;
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(rip.out, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << rip.out.constData();
    return json.object();
  }
  // The audio of a ripped WAV file: its "data" chunk, after the tags.
  static QByteArray Audio(const QJsonValue& track) {
    const QByteArray wav = ReadFileBytes(track["file"].toString());
    const qsizetype data = wav.indexOf("data");
    return data < 0 ? QByteArray() : wav.mid(data + 8);
  }
  void Set(const QString& section, const QString& key, const QString& value) {
    ASSERT_EQ(Run({"config", "set", section, key, value}).exitCode, 0);
  }
  TestDisc disc{{TestTrack(60), TestTrack(45), TestTrack(50)}};
  QTemporaryDir out;
  int rips_ = 0;        // each rip into a folder of its own
  QByteArray lastErr_;  // the last rip's stderr
};

TEST_F(RipJsonTest, TheStoredOffsetMakesTheRipAccurate) {
  const QString id = TocId(disc.CuePath());
  AccurateRipServer server;
  server.Serve(DbarPath(id), TrueDbarResponse(disc, 3, id, 12));
  Set("AccurateRip", "Server", server.Url());
  const QStringList drive = {"KORVANE_VIRTUAL_OFFSET=+667"};

  ASSERT_EQ(Run({"--virtual-disc", disc.CuePath(), "offset", "set", "667"}, drive).exitCode, 0);
  QJsonObject json = RipJson({}, drive);
  EXPECT_EQ(json["accurateRipId"].toString(), id);
  EXPECT_EQ(json["readOffset"].toInt(), 667);
  EXPECT_EQ(json["summary"].toString(), "All tracks accurate (confidence 12 or more)");
  EXPECT_TRUE(QFileInfo(json["log"].toString()).isFile());
  for (int number = 1; number <= 3; ++number) {
    EXPECT_TRUE(lastErr_.contains(
        QString("Track %1 AccurateRip: accurate (confidence 12)").arg(number).toUtf8()))
        << "each verdict is told as it comes: " << lastErr_.constData();
  }
  const QJsonArray tracks = json["tracks"].toArray();
  ASSERT_EQ(tracks.size(), 3);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const QJsonValue track = tracks[i];
    EXPECT_EQ(track["number"].toInt(), i + 1);
    EXPECT_EQ(track["accurateRip"]["status"].toString(), "accurate");
    EXPECT_EQ(track["accurateRip"]["confidence"].toInt(), 12);
    EXPECT_EQ(track["crc32"].toString().size(), 8);
    EXPECT_EQ(track["readErrors"].toInt(), 0);
    if (i < 2) {
      EXPECT_TRUE(Audio(track) == disc.TrackAudio(i)) << "bit-exact to the image";
    }
  }

  ASSERT_EQ(Run({"--virtual-disc", disc.CuePath(), "offset", "set", "0"}, drive).exitCode, 0);
  json = RipJson({}, drive);
  EXPECT_EQ(json["readOffset"].toInt(), 0);
  for (const QJsonValue track : json["tracks"].toArray())
    EXPECT_EQ(track["accurateRip"]["status"].toString(), "inaccurate");
  EXPECT_TRUE(lastErr_.contains("Track 3 AccurateRip: inaccurate")) << lastErr_.constData();
}

// Sector 70 reads wrong, without an error, on its first two reads: a fast rip keeps the wrong
// audio, a secure one reads until two reads agree.
TEST_F(RipJsonTest, SecureReadingMendsASectorThatReadsWrongTwice) {
  Set("AccurateRip", "Verify", "0");
  const QStringList faulty = {"KORVANE_VIRTUAL_FAULTS=70~2"};

  QJsonObject json = RipJson({"--tracks", "2"}, faulty);
  EXPECT_EQ(json["readMode"].toString(), "fast");
  QJsonValue track = json["tracks"].toArray()[0];
  EXPECT_FALSE(Audio(track) == disc.TrackAudio(1)) << "the fault is real";
  EXPECT_EQ(track["accurateRip"]["status"].toString(), "not-verified");

  json = RipJson({"--tracks", "2", "--secure"}, faulty);
  EXPECT_EQ(json["readMode"].toString(), "secure");
  track = json["tracks"].toArray()[0];
  EXPECT_TRUE(Audio(track) == disc.TrackAudio(1));
  EXPECT_EQ(track["reread"].toArray(), QJsonArray{70});
  EXPECT_EQ(track["suspicious"].toArray(), QJsonArray{});
  const QString log = QString::fromUtf8(ReadFileBytes(json["log"].toString()));
  EXPECT_TRUE(log.contains("Read mode: secure"));
  EXPECT_TRUE(log.contains("Re-read sectors: 70")) << log.toStdString();
  // What was kept is the disc's audio; the second read, as it came, was not.
  const QByteArray audio = disc.TrackAudio(1);
  const uint32_t trueCrc =
      Crc32Continued(0, reinterpret_cast<const uint8_t*>(audio.constData()), size_t(audio.size()));
  EXPECT_EQ(track["crc32"].toString(), HexWord(trueCrc));
  const QString testCrc = track["testCrc32"].toString();
  EXPECT_EQ(testCrc.size(), 8);
  EXPECT_NE(testCrc, track["crc32"].toString());
  EXPECT_TRUE(
      log.contains(QStringLiteral("Copy CRC32: %1  Test CRC32: %2").arg(HexWord(trueCrc), testCrc)))
      << log.toStdString();

  // The setting asks for secure reading without the option.
  Set("Options", "ReadMode", "1");
  json = RipJson({"--tracks", "2"}, faulty);
  EXPECT_EQ(json["readMode"].toString(), "secure");
  EXPECT_TRUE(Audio(json["tracks"].toArray()[0]) == disc.TrackAudio(1));
}

}  // namespace
