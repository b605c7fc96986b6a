// korvane-cli on settings files under faults: a file it may not read, runs at the same time.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QProcess>

#include "settings/ini_file.h"
#include "support/test_support.h"

namespace {

// korvane-cli as a user who may not read a file of mode 000 (root reads any file, so a
// root test runs it as nobody).
ProcessResult RunCliAsAnotherUser(const QString& configDir, const QStringList& args) {
  if (::geteuid() != 0) return RunCli(configDir, args);
  return RunProgram("setpriv", QStringList{"--reuid=65534", "--regid=65534", "--clear-groups",
                                           BinDir() + "/korvane-cli", "--config-dir", configDir} +
                                   args);
}

TEST(CliSettingsFiles, AFileItCannotReadIsNamedOnceAndLeftAlone) {
  TempConfig config;
  ::chmod(QFile::encodeName(config.Dir()).constData(), 0777);
  const QString path = config.File("korvane.ini");
  const QByteArray before = "[General]\nLeft=7\n[FreeDBSettings]\nfdPassword=secret\n";
  ASSERT_TRUE(WriteFileBytes(path, before));
  ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);

  const ProcessResult set =
      RunCliAsAnotherUser(config.Dir(), {"config", "set", "General", "Top", "5"});
  EXPECT_NE(set.exitCode, 0);
  const QString said = QString("korvane-cli: cannot read %1: Permission denied\n").arg(path);
  EXPECT_EQ(QString::fromLocal8Bit(set.err).count(said), 1) << set.err.toStdString();
  EXPECT_EQ(ReadFileBytes(path), before);

  const ProcessResult get = RunCliAsAnotherUser(config.Dir(), {"config", "get", "General", "Left"});
  EXPECT_EQ(get.out, "200\n");
  EXPECT_EQ(QString::fromLocal8Bit(get.err).count(said), 1) << get.err.toStdString();
}

// Two loops of `config set` in parallel, each writing its own keys in turn: the last value
// each loop wrote to each of its keys survives the other loop's writes.
TEST(CliSettingsFiles, TwoLoopsOfConfigSetKeepEveryKey) {
  TempConfig config;
  constexpr int kWrites = 40;
  const QStringList keys[2] = {
      {"General Left", "General Top", "General Width", "General Height", "General ActiveOptionsTab",
       "MP3 fquality", "MP3 Copyrighted", "MP3 StereoMode"},
      {"Progress_Dialog Left", "Progress_Dialog Top", "Progress_Dialog Width",
       "Progress_Dialog Height", "OGG MinBitRate", "OGG NomBitRate", "OGG MaxBitRate",
       "AAC fquality"},
  };
  QProcess loops[2];
  for (int l = 0; l < 2; ++l) {
    QStringList lines;
    for (int i = 1; i <= kWrites; ++i) {
      const QStringList sectionKey = keys[l][(i - 1) % keys[l].size()].split(' ');
      lines << QString("\"$0\" --config-dir \"$1\" config set %1 %2 %3 || exit 1")
                   .arg(sectionKey[0], sectionKey[1])
                   .arg(i);
    }
    loops[l].start("sh", {"-c", lines.join('\n'), BinDir() + "/korvane-cli", config.Dir()});
  }
  for (QProcess& loop : loops) {
    ASSERT_TRUE(loop.waitForFinished(300000));
    EXPECT_EQ(loop.exitCode(), 0) << loop.readAllStandardError().toStdString();
  }
  IniFile ini = IniFile::AtPath(config.File("korvane.ini"));
  for (int l = 0; l < 2; ++l) {
    for (int k = 0; k < keys[l].size(); ++k) {
      const QStringList sectionKey = keys[l][k].split(' ');
      const int last = kWrites - keys[l].size() + 1 + k;  // the loop's last write to this key
      EXPECT_EQ(ini.ReadInt(sectionKey[0], sectionKey[1], 0), last) << keys[l][k].toStdString();
    }
  }
}

}  // namespace
