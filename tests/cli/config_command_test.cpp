#include <gtest/gtest.h>

#include <QFileInfo>
#include <sys/stat.h>

#include "support/test_support.h"

namespace {

TEST(CliConfig, GetPrintsTheTableDefaultOnAnEmptyFolder) {
  TempConfig config;
  const ProcessResult r = RunCli(config.Dir(), {"config", "get", "General", "FormatSelected"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, "11010\n");
  EXPECT_EQ(RunCli(config.Dir(), {"config", "get", "FreeDBSettings", "fdServer"}).out, "gnudb.gnudb.org\n");
  EXPECT_FALSE(QFileInfo::exists(config.File("korvane.ini"))) << "reading must not create the file";
}

TEST(CliConfig, SetThenGetAcrossRunsMatchesKeysWithoutCase) {
  TempConfig config;
  ASSERT_EQ(RunCli(config.Dir(), {"config", "set", "MP3", "IsVBR", "1"}).exitCode, 0);
  EXPECT_EQ(RunCli(config.Dir(), {"config", "get", "MP3", "isVBR"}).out, "1\n");

  const QString folder = QString::fromUtf8("/home/ユーザー/Музыка 🎵");
  ASSERT_EQ(RunCli(config.Dir(), {"config", "set", "Options", "OutputFolder", folder}).exitCode, 0);
  EXPECT_EQ(QString::fromUtf8(RunCli(config.Dir(), {"config", "get", "options", "outputfolder"}).out),
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
  struct Case {
    QStringList args;
    int exitCode;
    const char* output;  // expected on stdout (or stderr when the run fails)
  } cases[] = {
      {{"--version"}, 0, "Korvane 2.5.5"},
      {{"--help"}, 0, "config get SECTION KEY"},
      {{"config", "get", "General"}, 1, "usage: config"},
      {{"config", "frobnicate", "a", "b"}, 1, "usage: config"},
      {{"nosuchcommand"}, 1, "unknown command"},
      {{"config", "get", "General", "Left", "--bogus"}, 1, "bogus"},
  };
  for (const Case& c : cases) {
    const ProcessResult r = RunCli(config.Dir(), c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
    EXPECT_TRUE((c.exitCode == 0 ? r.out : r.err).contains(c.output)) << c.args.join(' ').toStdString();
  }
}

}  // namespace
