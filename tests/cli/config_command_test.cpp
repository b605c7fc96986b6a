#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QFileInfo>

#include "encoders/output_format.h"
#include "platform/version.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

TEST(CliConfig, GetPrintsTheTableDefaultOnAnEmptyFolder) {
  TempConfig config;
  const ProcessResult r = RunCli(config.Dir(), {"config", "get", "General", "FormatSelected"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, "11010\n");
  EXPECT_EQ(RunCli(config.Dir(), {"config", "get", "FreeDBSettings", "fdServer"}).out,
            "gnudb.gnudb.org\n");
  EXPECT_FALSE(QFileInfo::exists(config.File("korvane.ini"))) << "reading must not create the file";
}

TEST(CliConfig, SetThenGetAcrossRunsMatchesKeysWithoutCase) {
  TempConfig config;
  ASSERT_EQ(RunCli(config.Dir(), {"config", "set", "MP3", "IsVBR", "1"}).exitCode, 0);
  EXPECT_EQ(RunCli(config.Dir(), {"config", "get", "MP3", "isVBR"}).out, "1\n");

  const QString folder = QString::fromUtf8("/home/ユーザー/Музыка 🎵");
  ASSERT_EQ(RunCli(config.Dir(), {"config", "set", "Options", "OutputFolder", folder}).exitCode, 0);
  EXPECT_EQ(
      QString::fromUtf8(RunCli(config.Dir(), {"config", "get", "options", "outputfolder"}).out),
      folder + "\n");

  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(config.File("korvane.ini")).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(CliConfig, RefusesANonNumberForAnIntegerKey) {
  TempConfig config;
  ASSERT_EQ(RunCli(config.Dir(), {"config", "set", "General", "Left", "7"}).exitCode, 0);
  const QByteArray before = ReadFileBytes(config.File("korvane.ini"));
  const ProcessResult r = RunCli(config.Dir(), {"config", "set", "General", "Left", "wide"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains("whole number"));
  EXPECT_EQ(ReadFileBytes(config.File("korvane.ini")), before);
}

TEST(CliConfig, ArgumentsAndVersion) {
  TempConfig config;
  const QByteArray versionLine = "Korvane " + QByteArray(KorvaneVersion());
  struct Case {
    QStringList args;
    int exitCode;
    const char* output;  // expected on stdout (or stderr when the run fails)
  } cases[] = {
      {{"--version"}, 0, versionLine.constData()},
      {{"--help"}, 0, "config get SECTION KEY"},
      {{"config", "get", "General"}, 1, "usage: config"},
      {{"config", "frobnicate", "a", "b"}, 1, "usage: config"},
      {{"nosuchcommand"}, 1, "unknown command"},
      {{"config", "get", "General", "Left", "--bogus"}, 1, "bogus"},
      {{"config", "get", "Generl", "Left"},
       1,
       "unknown section \"Generl\"; the sections are General, Options"},
      {{"config", "get", "General", "Lef"},
       1,
       "unknown key \"Lef\" in General; its keys are Language"},
      {{"config", "set", "FreeDBSettings", "fdPort", "1"}, 1, "fdTCPPort"},
  };
  for (const Case& c : cases) {
    const ProcessResult r = RunCli(config.Dir(), c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
    EXPECT_TRUE((c.exitCode == 0 ? r.out : r.err).contains(c.output))
        << c.args.join(' ').toStdString();
  }
}

// A value outside a key's range is refused when set and read as the default when found in
// the file: a port of 84416 must not wrap to 18880.
TEST(CliConfig, ValuesOutsideTheKeysRange) {
  TempConfig config;
  const struct {
    const char* key;
    const char* value;
    bool accepted;
  } cases[] = {
      {"fdTCPPort", "84416", false},  {"fdTCPPort", "0", false},
      {"fdTCPPort", "100000", false}, {"fdTCPPort", "65535", true},
      {"fdHTTPPort", "1", true},      {"fdHTTPPort", "65536", false},
      {"fdProxyPort", "0", true},     {"fdProxyPort", "70000", false},
  };
  for (const auto& c : cases) {
    const QByteArray before = ReadFileBytes(config.File("korvane.ini"));
    const ProcessResult r =
        RunCli(config.Dir(), {"config", "set", "FreeDBSettings", c.key, c.value});
    EXPECT_EQ(r.exitCode, c.accepted ? 0 : 1) << c.key << "=" << c.value;
    if (!c.accepted) {
      EXPECT_TRUE(r.err.contains("to 65535")) << r.err.constData();
      EXPECT_EQ(ReadFileBytes(config.File("korvane.ini")), before) << c.key << "=" << c.value;
    }
  }
  ASSERT_TRUE(WriteFileBytes(config.File("korvane.ini"),
                             "[FreeDBSettings]\nfdTCPPort=84416\nfdHTTPPort=-1\n"));
  EXPECT_EQ(RunCli(config.Dir(), {"config", "get", "FreeDBSettings", "fdTCPPort"}).out, "8880\n");
  EXPECT_EQ(RunCli(config.Dir(), {"config", "get", "FreeDBSettings", "fdHTTPPort"}).out, "80\n");
}

TEST(CliConfig, FormatSelectedTakesNamesAndRipNamesWhatThisBuildWrites) {
  TempConfig config;
  const struct {
    const char* value;
    const char* stored;  // empty: refused
  } cases[] = {{"mp3", "11010"},   {"WAV", "11012"},  {"bin", "11014"},
               {"11011", "11011"}, {"FLAC", "11016"}, {"ape", ""},
               {"opus", "11017"},  {"m4a", "11018"},  {"11019", ""}};
  for (const auto& c : cases) {
    const ProcessResult r =
        RunCli(config.Dir(), {"config", "set", "General", "FormatSelected", c.value});
    EXPECT_EQ(r.exitCode, *c.stored ? 0 : 1) << c.value << ": " << r.err.constData();
    if (!*c.stored) continue;
    const ProcessResult get = RunCli(config.Dir(), {"config", "get", "General", "FormatSelected"});
    EXPECT_EQ(get.out, QByteArray(c.stored) + "\n") << c.value;
  }

  QStringList writable;
  const FormatRow* unavailable = nullptr;
  for (const FormatRow& row : FormatRows()) {
    if (CreateOutputFormat(row.menuId)->IsAvailable()) {
      writable << row.shortName;
    } else if (!unavailable) {
      unavailable = &row;
    }
  }
  if (!unavailable) GTEST_SKIP() << "this build writes every format";
  TestDisc disc({TestTrack(75)});
  const ProcessResult r = RunCli(config.Dir(), {"--virtual-disc", disc.CuePath(), "rip", "--format",
                                                unavailable->shortName, "--out", config.Dir()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains("this build writes " + writable.join(", ").toUtf8()))
      << r.err.constData();
}

}  // namespace
