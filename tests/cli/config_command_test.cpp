#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QFileInfo>
#include <QRegularExpression>

#include "encoders/output_format.h"
#include "platform/version.h"
#include "settings/setting_keys.h"
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
  const QByteArray formats = "Formats this build writes (rip --format): " +
                             WritableFormatShortNames().join(", ").toUtf8() + "\n";
  struct Case {
    QStringList args;
    int exitCode;
    const char* output;  // expected on stdout (or stderr when the run fails)
  } cases[] = {
      {{"--version"}, 0, versionLine.constData()},
      {{"--help"}, 0, "config get SECTION KEY"},
      {{"--help"}, 0, formats.constData()},
      {{"rip", "--help"}, 0, "Output format: aac, mp3"},
      {{"info", "extra"}, 1, "info takes no arguments, not \"extra\""},
      {{"drives", "--json", "a", "b"}, 1, "drives takes no arguments, not \"a b\""},
      {{"--drive", "--virtual-disc", "demo", "toc"},
       1,
       "--drive needs a value, not the option --virtual-disc"},
      {{"--virtual-disc", "demo", "lookup", "--server", "--config-dir", "x"},
       1,
       "--server needs a value, not the option --config-dir"},
      {{"--virtual-disc", "demo", "lookup", "--port", "--http"},
       1,
       "--port needs a value, not the option --http"},
      {{"config", "list", "General", "Left"}, 1, "usage: config"},
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

// A value outside a key's range, or not among its choices, is refused when set and read as
// the default (or nearest choice) when found in the file: a port of 84416 must not wrap to
// 18880, and the MP3 rates are those of MPEG-1 Layer III frames.
TEST(CliConfig, ValuesOutsideTheKeysRange) {
  TempConfig config;
  const char* ports = "to 65535";
  const char* rates = "takes one of 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320";
  const struct {
    const char* section;
    const char* key;
    const char* value;
    const char* refusal;  // null when accepted
  } cases[] = {
      {"FreeDBSettings", "fdTCPPort", "84416", ports},
      {"FreeDBSettings", "fdTCPPort", "0", ports},
      {"FreeDBSettings", "fdTCPPort", "100000", ports},
      {"FreeDBSettings", "fdTCPPort", "65535", nullptr},
      {"FreeDBSettings", "fdHTTPPort", "1", nullptr},
      {"FreeDBSettings", "fdHTTPPort", "65536", ports},
      {"FreeDBSettings", "fdProxyPort", "0", nullptr},
      {"FreeDBSettings", "fdProxyPort", "70000", ports},
      {"MP3", "MinBitRate", "999", rates},
      {"MP3", "MinBitRate", "100", rates},
      {"MP3", "MaxBitRate", "0", rates},
      {"MP3", "MaxBitRate", "330", rates},
      {"MP3", "MinBitRate", "32", nullptr},
      {"MP3", "MaxBitRate", "320", nullptr},
      {"MP3", "maxbitrate", "112", nullptr},
  };
  for (const auto& c : cases) {
    const QByteArray before = ReadFileBytes(config.File("korvane.ini"));
    const ProcessResult r = RunCli(config.Dir(), {"config", "set", c.section, c.key, c.value});
    EXPECT_EQ(r.exitCode, c.refusal ? 1 : 0) << c.key << "=" << c.value;
    if (c.refusal) {
      EXPECT_TRUE(r.err.contains(c.refusal)) << r.err.constData();
      EXPECT_EQ(ReadFileBytes(config.File("korvane.ini")), before) << c.key << "=" << c.value;
    }
  }
  ASSERT_TRUE(WriteFileBytes(config.File("korvane.ini"),
                             "[FreeDBSettings]\nfdTCPPort=84416\nfdHTTPPort=-1\n"
                             "[MP3]\nMinBitRate=100\nMaxBitRate=999\n"));
  const struct {
    const char* section;
    const char* key;
    const char* read;
  } stored[] = {{"FreeDBSettings", "fdTCPPort", "8880\n"},
                {"FreeDBSettings", "fdHTTPPort", "80\n"},
                {"MP3", "MinBitRate", "96\n"},
                {"MP3", "MaxBitRate", "320\n"}};
  for (const auto& k : stored) {
    EXPECT_EQ(RunCli(config.Dir(), {"config", "get", k.section, k.key}).out, k.read) << k.key;
  }
}

TEST(CliConfig, FormatSelectedTakesNamesAndRipNamesWhatThisBuildWrites) {
  TempConfig config;
  const struct {
    const char* value;
    const char* stored;  // empty: refused
  } cases[] = {{"mp3", "11010"},  {"WAV", "11012"}, {"bin", "11014"},  {"11011", "11011"},
               {"FLAC", "11016"}, {"ape", ""},      {"opus", "11017"}, {"m4a", "11019"},
               {"11018", ""},     {"11020", ""}};
  for (const auto& c : cases) {
    const ProcessResult r =
        RunCli(config.Dir(), {"config", "set", "General", "FormatSelected", c.value});
    EXPECT_EQ(r.exitCode, *c.stored ? 0 : 1) << c.value << ": " << r.err.constData();
    if (!*c.stored) {
      EXPECT_TRUE(r.err.contains(QString("unknown format \"%1\"; this build writes %2")
                                     .arg(c.value, WritableFormatShortNames().join(", "))
                                     .toUtf8()))
          << r.err.constData();
      continue;
    }
    const ProcessResult get = RunCli(config.Dir(), {"config", "get", "General", "FormatSelected"});
    EXPECT_EQ(get.out, QByteArray(c.stored) + "\n") << c.value;
  }

  QStringList writable;
  const FormatDescriptor* unavailable = nullptr;
  for (const FormatDescriptor& format : FormatDescriptors()) {
    if (CreateOutputFormat(format.id)->IsAvailable()) {
      writable << format.shortName;
    } else if (!unavailable) {
      unavailable = &format;
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

// Every key of the table with its value and default; a format by its name; the proxy
// password only as set.
TEST(CliConfig, ListShowsEveryKeyWithItsValueAndDefault) {
  TempConfig config;
  ASSERT_EQ(RunCli(config.Dir(), {"config", "set", "General", "FormatSelected", "ogg"}).exitCode,
            0);
  ASSERT_EQ(
      RunCli(config.Dir(), {"config", "set", "FreeDBSettings", "fdPassword", "s3cret"}).exitCode,
      0);
  ASSERT_EQ(RunCli(config.Dir(), {"config", "set", "MP3", "isVBR", "1"}).exitCode, 0);

  const ProcessResult all = RunCli(config.Dir(), {"config", "list"});
  ASSERT_EQ(all.exitCode, 0) << all.err.constData();
  const QString text = QString::fromUtf8(all.out);
  for (const SettingKey* key : AllSettingKeys()) {
    const QString header = QString("[%1]\n").arg(QLatin1String(key->section));
    const QString section = text.mid(text.indexOf(header));
    EXPECT_TRUE(text.contains(header)) << key->section;
    EXPECT_TRUE(section.contains(QRegularExpression(
        QString("\n%1 += ").arg(QRegularExpression::escape(QLatin1String(key->key))))))
        << key->section << "/" << key->key;
  }
  EXPECT_TRUE(QRegularExpression("\nFormatSelected += 11011 \\(ogg\\) +default 11010 \\(mp3\\)\n")
                  .match(text)
                  .hasMatch())
      << all.out.constData();
  EXPECT_TRUE(QRegularExpression("\nfdServer += \"gnudb.gnudb.org\" +default \"gnudb.gnudb.org\"\n")
                  .match(text)
                  .hasMatch());
  EXPECT_TRUE(QRegularExpression("\nisVBR += 1 +default 0\n").match(text).hasMatch());
  EXPECT_TRUE(
      QRegularExpression("\nfdPassword += \\(set\\) +default \"\"\n").match(text).hasMatch());
  EXPECT_FALSE(text.contains("s3cret"));

  const ProcessResult one = RunCli(config.Dir(), {"config", "list", "mp3"});
  ASSERT_EQ(one.exitCode, 0) << one.err.constData();
  EXPECT_TRUE(one.out.startsWith("[MP3]\n")) << one.out.constData();
  EXPECT_EQ(one.out.count('['), 1) << one.out.constData();

  const ProcessResult unknown = RunCli(config.Dir(), {"config", "list", "Mp4"});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_TRUE(unknown.err.contains("unknown section \"Mp4\"; the sections are General"));
}

}  // namespace
