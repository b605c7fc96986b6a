#include <gtest/gtest.h>

#include <sys/mount.h>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>

#include "encoders/wav_encoder.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

class RipCommandTest : public ::testing::Test {
 protected:
  ProcessResult Rip(const QStringList& extra, const QStringList& environment = {}) {
    return RunCli(
        config_.Dir(),
        QStringList{"--virtual-disc", disc_.CuePath(), "rip", "--out", out_.path()} + extra,
        QStringList{"KORVANE_VIRTUAL_FAULTS="} + environment);
  }
  QString TrackFile(int number, const QString& title) const {
    return QString("%1/Band/Record/%2 - %3.wav")
        .arg(out_.path())
        .arg(number, 2, 10, QChar('0'))
        .arg(title);
  }

  TempConfig config_;
  QTemporaryDir out_;
  TestDisc disc_{
      {TestTrack(60, "First", "Band"), TestTrack(30, "Se/cond", "Band")}, "Record", "Band"};
};

TEST_F(RipCommandTest, WritesOneNamedBitExactWavPerTrack) {
  const ProcessResult r = Rip({"--format", "wav"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QByteArray first = ReadFileBytes(TrackFile(1, "First"));
  EXPECT_EQ(first.left(WavEncoder::kHeaderBytes), WavEncoder::Header(60 * 2352));
  EXPECT_EQ(first.mid(WavEncoder::kHeaderBytes), disc_.TrackAudio(0));
  EXPECT_EQ(ReadFileBytes(TrackFile(2, "Se_cond")).mid(WavEncoder::kHeaderBytes),
            disc_.TrackAudio(1))
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

// korvane-cli ripping in the background, so that the test can signal it mid-track.
class BackgroundRip {
 public:
  BackgroundRip(const QString& configDir, const QStringList& args, const QStringList& environment) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : environment)
      env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    process_.setProcessEnvironment(env);
    process_.start(BinDir() + "/korvane-cli", QStringList{"--config-dir", configDir} + args);
    process_.closeWriteChannel();
  }
  ~BackgroundRip() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished();
    }
  }
  // Waits until a hidden temporary file with audio in it shows up in folder.
  bool WaitForAudioUnder(const QString& folder) {
    for (int i = 0; i < 3000 && process_.state() != QProcess::NotRunning; ++i) {
      for (const QFileInfo& f :
           QDir(folder).entryInfoList({".*.part"}, QDir::Files | QDir::Hidden)) {
        if (f.size() > WavEncoder::kHeaderBytes) return true;
      }
      QThread::msleep(10);
    }
    return false;
  }
  void Signal(int signal) { ::kill(pid_t(process_.processId()), signal); }
  ProcessResult Finish() {
    ProcessResult r;
    if (!process_.waitForFinished(30000)) return r;
    r.exitCode = process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    r.out = process_.readAllStandardOutput();
    r.err = process_.readAllStandardError();
    return r;
  }

 private:
  QProcess process_;
};

// A disc of one track that takes ten seconds to read at 1x, for rips that are signalled.
class ThrottledRipTest : public RipCommandTest {
 protected:
  BackgroundRip StartSlowRip() {
    return BackgroundRip(
        config_.Dir(),
        {"--virtual-disc", longDisc_.CuePath(), "rip", "--format", "wav", "--out", out_.path()},
        {"KORVANE_VIRTUAL_FAULTS=", "KORVANE_VIRTUAL_SPEED=1"});
  }
  QString Album() const { return out_.filePath("Band/Record"); }
  QString LongFile() const { return out_.filePath("Band/Record/01 - Long.wav"); }

  TestDisc longDisc_{{TestTrack(750, "Long", "Band")}, "Record", "Band"};
};

TEST_F(ThrottledRipTest, AKilledRipLeavesNothingUnderTheFinalName) {
  BackgroundRip rip = StartSlowRip();
  ASSERT_TRUE(rip.WaitForAudioUnder(Album()));
  rip.Signal(SIGKILL);
  rip.Finish();
  EXPECT_FALSE(QFileInfo::exists(LongFile()));
  const QStringList left = FilesUnder(out_.path());
  ASSERT_EQ(left.size(), 1);
  EXPECT_TRUE(left[0].startsWith("Band/Record/.01 - Long.wav."))
      << "only the hidden temporary file";
}

TEST_F(ThrottledRipTest, TermAndHangUpCancelLikeCtrlCAndKeepTheEarlierFile) {
  ASSERT_EQ(RunCli(config_.Dir(), {"--virtual-disc", longDisc_.CuePath(), "rip", "--format", "wav",
                                   "--out", out_.path()})
                .exitCode,
            0);
  const QByteArray earlier = ReadFileBytes(LongFile());
  ASSERT_EQ(earlier.mid(WavEncoder::kHeaderBytes), longDisc_.TrackAudio(0));
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    BackgroundRip rip = StartSlowRip();
    ASSERT_TRUE(rip.WaitForAudioUnder(Album()));
    rip.Signal(signal);
    const ProcessResult r = rip.Finish();
    EXPECT_EQ(r.exitCode, 4) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("cancelled")) << r.err.toStdString();
    EXPECT_FALSE(r.out.contains("Wrote"));
    EXPECT_EQ(ReadFileBytes(LongFile()), earlier) << "the re-rip's cancel keeps the first file";
    EXPECT_EQ(FilesUnder(out_.path()), QStringList{"Band/Record/01 - Long.wav"})
        << "no temporary file left";
  }
}

TEST_F(RipCommandTest, ALinkAtTheFinalNameIsReplacedNotWrittenThrough) {
  QTemporaryDir elsewhere;
  const QString victim = elsewhere.filePath("victim");
  ASSERT_TRUE(WriteFileBytes(victim, "not a rip"));
  ASSERT_TRUE(QDir().mkpath(out_.filePath("Band/Record")));
  ASSERT_TRUE(QFile::link(victim, TrackFile(1, "First")));
  const ProcessResult r = Rip({"--format", "wav"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_FALSE(QFileInfo(TrackFile(1, "First")).isSymLink());
  EXPECT_EQ(ReadFileBytes(TrackFile(1, "First")).mid(WavEncoder::kHeaderBytes),
            disc_.TrackAudio(0));
  EXPECT_EQ(ReadFileBytes(victim), "not a rip");
}

// A full disk: a small tmpfs where mounting works, else a file-size limit on the process.
TEST_F(RipCommandTest, AFullDiskNamesTheFileAndTheReasonAndLeavesNothing) {
  const QString full = out_.filePath("full");
  ASSERT_TRUE(QDir().mkdir(full));
  const bool mounted =
      ::mount("tmpfs", QFile::encodeName(full).constData(), "tmpfs", 0, "size=64k") == 0;
  ProcessResult r;
  const QStringList args{"--config-dir",  config_.Dir(), "--virtual-disc",
                         disc_.CuePath(), "rip",         "--format",
                         "wav",           "--out",       full};
  if (mounted) {
    r = RunProgram(BinDir() + "/korvane-cli", args, {"KORVANE_VIRTUAL_FAULTS="});
  } else {
    // 64 blocks of at most 1 KB; an ignored SIGXFSZ makes the write fail with EFBIG instead.
    r = RunProgram("/bin/sh",
                   QStringList{"-c", "ulimit -f 64; trap '' XFSZ; exec \"$0\" \"$@\"",
                               BinDir() + "/korvane-cli"} +
                       args,
                   {"KORVANE_VIRTUAL_FAULTS="});
  }
  const QStringList left = FilesUnder(full);
  if (mounted) ::umount(QFile::encodeName(full).constData());
  EXPECT_EQ(r.exitCode, 4) << r.err.toStdString();
  const QString file = full + "/Band/Record/01 - First.wav";
  const QString reason = mounted ? "No space left on device" : "File too large";
  EXPECT_TRUE(r.err.contains(QString("track 1 failed: %1: %2").arg(file, reason).toUtf8()))
      << r.err.toStdString();
  EXPECT_FALSE(r.out.contains("Wrote")) << r.out.toStdString();
  EXPECT_TRUE(left.isEmpty()) << left.join(", ").toStdString();
}

TEST_F(RipCommandTest, AFailedTrackSaysWhyAndIsNotReportedWritten) {
  ASSERT_TRUE(WriteFileBytes(out_.filePath("Band"), "a file where the artist folder goes"));
  const ProcessResult r = Rip({"--format", "wav"});
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_TRUE(r.err.contains(
      ("track 1 failed: cannot create folder " + out_.filePath("Band/Record") + ": Not a directory")
          .toUtf8()))
      << r.err.toStdString();
  EXPECT_FALSE(r.out.contains("Wrote")) << r.out.toStdString();
}

TEST_F(RipCommandTest, ARipWithNoAudioTrackToWriteSaysSoAndExitsOne) {
  DiscImages mixed;
  const QString cue = mixed.Write({{"MODE1/2048", 20}, {"AUDIO", 30}});
  const ProcessResult r = RunCli(
      config_.Dir(),
      {"--virtual-disc", cue, "rip", "--format", "wav", "--tracks", "1", "--out", out_.path()},
      {"KORVANE_VIRTUAL_FAULTS="});
  EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("nothing to rip")) << r.err.toStdString();
  EXPECT_TRUE(FilesUnder(out_.path()).isEmpty());
}

TEST_F(RipCommandTest, NoDiscExitsTwo) {
  const ProcessResult r = RunCli(config_.Dir(), {"--virtual-disc", "/nonexistent/disc.cue", "rip"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_FALSE(r.err.isEmpty());
}

// Showing the information writes nothing: every run shows what CD-TEXT gives.
TEST_F(RipCommandTest, InfoShowsCdTextOfADiscNotInTheCache) {
  const ProcessResult r =
      RunCli(config_.Dir(), {"--virtual-disc", disc_.CuePath(), "info", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_FALSE(QFile::exists(config_.File("discs.ini")));
  const ProcessResult again =
      RunCli(config_.Dir(), {"--virtual-disc", disc_.CuePath(), "info", "--json"});
  EXPECT_EQ(again.out, r.out);
  const QJsonObject info = QJsonDocument::fromJson(r.out).object();
  EXPECT_EQ(info["album"].toString(), "Record");
  EXPECT_EQ(info["artist"].toString(), "Band");
  const QJsonArray tracks = info["tracks"].toArray();
  ASSERT_EQ(tracks.size(), 2);
  EXPECT_EQ(tracks[1].toObject()["title"].toString(), "Se/cond");
  EXPECT_FALSE(tracks[1].toObject()["data"].toBool());
}

}  // namespace
