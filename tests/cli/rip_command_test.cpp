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

#include "encoders/output_format.h"
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

  OfflineRipConfig config_;
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

// The worker reports each chunk as it starts it; the progress line of a finished track still
// ends at 100 %, for every track.
TEST_F(RipCommandTest, TheProgressLineOfEachTrackEndsAtOneHundredPercent) {
  const ProcessResult r = Rip({"--format", "wav"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  int finished = 0;
  for (const QByteArray& line : r.out.split('\n')) {
    if (!line.startsWith('\r')) continue;
    const QByteArray last = line.mid(line.lastIndexOf('\r') + 1);
    EXPECT_TRUE(last.contains(" 100.0%  ")) << last.constData();
    ++finished;
  }
  EXPECT_EQ(finished, 2) << r.out.constData();
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
  const QByteArray unknownFormat = "unknown format \"ape\"; this build writes " +
                                   WritableFormatShortNames().join(", ").toUtf8();
  struct Case {
    QStringList args;
    int exitCode;
    const char* message;
  } cases[] = {
      {{"--format", "ape"}, 1, unknownFormat.constData()},
      {{"--format", "wav", "--tracks", "3"}, 1, "no track 3: the disc has 2 tracks"},
      {{"--format", "wav", "--tracks", "1-5"}, 1, "no track 5: the disc has 2 tracks"},
      {{"--format", "wav", "--tracks", "0"}, 1, "no track 0: the disc has 2 tracks"},
      {{"--format", "wav", "--tracks", "2-1"}, 1, "bad track list \"2-1\""},
      {{"--format", "wav", "--tracks", "1,x"}, 1, "bad track list \"1,x\""},
      {{"--format", "wav", "extra"}, 1, "rip takes no arguments, not \"extra\""},
      {{"--format", "--tracks", "1"}, 1, "--format needs a value, not the option --tracks"},
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

// Titles that all name one file under a template of the title alone, and two titles alike:
// every track keeps a file of its own, numbered after the first.
TEST_F(RipCommandTest, TracksThatWouldShareANameEachGetAFile) {
  ASSERT_EQ(RunCli(config_.Dir(), {"config", "set", "Options", "FileNameFormat", "40150"}).exitCode,
            0);
  ASSERT_EQ(
      RunCli(config_.Dir(), {"config", "set", "Options", "AdvancedFileFormat", "%T"}).exitCode, 0);
  const TestDisc dots(
      {TestTrack(20, ".", "Band"), TestTrack(20, "..", "Band"), TestTrack(20, "...", "Band"),
       TestTrack(20, "Same", "Band"), TestTrack(20, "Same", "Band")},
      "Record", "Band");
  const ProcessResult r =
      RunCli(config_.Dir(),
             {"--virtual-disc", dots.CuePath(), "rip", "--format", "wav", "--out", out_.path()},
             {"KORVANE_VIRTUAL_FAULTS="});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QStringList names{"_.wav", "_ (2).wav", "_ (3).wav", "Same.wav", "Same (2).wav"};
  for (int i = 0; i < names.size(); ++i) {
    const QString file = out_.filePath("Band/Record/" + names[i]);
    EXPECT_EQ(ReadFileBytes(file).mid(WavEncoder::kHeaderBytes), dots.TrackAudio(i))
        << names[i].toStdString();
    EXPECT_TRUE(r.out.contains("Wrote " + file.toUtf8())) << r.out.toStdString();
  }
  EXPECT_EQ(FilesUnder(out_.path()).size(), names.size() + 1) << "the tracks and the rip log";
  EXPECT_TRUE(QFileInfo(out_.filePath("Band/Record/Record.log")).isFile());
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
  // Waits until a hidden temporary file of more than biggerThan bytes (by default: with
  // audio in it) shows up in folder.
  bool WaitForAudioUnder(const QString& folder, qint64 biggerThan = WavEncoder::kHeaderBytes) {
    for (int i = 0; i < 3000 && process_.state() != QProcess::NotRunning; ++i) {
      for (const QFileInfo& f :
           QDir(folder).entryInfoList({".*.part"}, QDir::Files | QDir::Hidden)) {
        if (f.size() > biggerThan) return true;
      }
      QThread::msleep(10);
    }
    return false;
  }
  void Signal(int signal) { ::kill(pid_t(process_.processId()), signal); }
  // Waits until the program's stderr holds text; what it read stays for Finish.
  bool WaitForError(const QByteArray& text) {
    for (int i = 0; i < 500 && !err_.contains(text); ++i) {
      process_.waitForReadyRead(10);
      err_ += process_.readAllStandardError();
    }
    return err_.contains(text);
  }
  ProcessResult Finish(int timeoutMs = 30000) {
    ProcessResult r;
    if (!process_.waitForFinished(timeoutMs)) return r;
    r.exitCode = process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    r.out = process_.readAllStandardOutput();
    r.err = err_ + process_.readAllStandardError();
    return r;
  }

 private:
  QProcess process_;
  QByteArray err_;
};

// A disc of one track that takes ten seconds to read at 1x, for rips that are signalled.
class ThrottledRipTest : public RipCommandTest {
 protected:
  BackgroundRip StartSlowRip(const QString& speed = "1", const QStringList& environment = {}) {
    return BackgroundRip(
        config_.Dir(),
        {"--virtual-disc", longDisc_.CuePath(), "rip", "--format", "wav", "--out", out_.path()},
        QStringList{"KORVANE_VIRTUAL_FAULTS=", "KORVANE_VIRTUAL_SPEED=" + speed} + environment);
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
    EXPECT_EQ(FilesUnder(out_.path()),
              QStringList({"Band/Record/01 - Long.wav", "Band/Record/Record.log"}))
        << "no temporary file left; the first rip's log stays";
  }
}

// At 0.01x one read of 27 sectors takes half a minute; a cancel does not wait for it.
TEST_F(ThrottledRipTest, ACancelEndsAReadTheDriveIsSlowAt) {
  BackgroundRip rip = StartSlowRip("0.01");
  ASSERT_TRUE(rip.WaitForAudioUnder(Album(), -1));
  QThread::msleep(300);  // the first read is under way
  rip.Signal(SIGTERM);
  const ProcessResult r = rip.Finish(10000);
  EXPECT_EQ(r.exitCode, 4) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("cancelled")) << r.err.toStdString();
  EXPECT_TRUE(FilesUnder(out_.path()).isEmpty())
      << FilesUnder(out_.path()).join(", ").toStdString();
}

// The first signal asks for the cancel, the second ends the process at once. A cancel can
// end before the second signal comes, which is then a plain cancel: that is tried again.
TEST_F(ThrottledRipTest, ASecondSignalEndsTheRipAtOnceAndRemovesItsTemporaryFile) {
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    ProcessResult r;
    // The second signal ends the process with the rip's threads still running, on purpose:
    // under ThreadSanitizer that is no leak to report.
    const QString tsan = qEnvironmentVariable("TSAN_OPTIONS");
    const QString noLeakReports =
        "TSAN_OPTIONS=" + tsan + (tsan.isEmpty() ? "" : ":") + "report_thread_leaks=0";
    for (int attempt = 0; attempt < 5 && r.exitCode != 128 + signal; ++attempt) {
      BackgroundRip rip = StartSlowRip("1", {noLeakReports});
      ASSERT_TRUE(rip.WaitForAudioUnder(Album()));
      rip.Signal(signal);
      ASSERT_TRUE(rip.WaitForError("press Ctrl-C again"));
      rip.Signal(signal);
      r = rip.Finish();
      EXPECT_TRUE(r.exitCode == 128 + signal || r.exitCode == 4) << r.err.toStdString();
      EXPECT_FALSE(r.out.contains("Wrote"));
      EXPECT_TRUE(FilesUnder(out_.path()).isEmpty())
          << FilesUnder(out_.path()).join(", ").toStdString();
    }
    EXPECT_EQ(r.exitCode, 128 + signal);
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

// A run of korvane-cli on a full disk, and what it left there.
struct FullDiskRun {
  ProcessResult result;
  QString reason;  // what the system says of the full disk
  QStringList left;
};

// Runs korvane-cli with args and "--out folder" on a disk of kilobytes: a small tmpfs at
// folder where mounting works, else a file-size limit on the process.
FullDiskRun RunOnAFullDisk(const QStringList& args, const QString& folder, int kilobytes) {
  if (!QDir().mkpath(folder)) return {};
  const bool mounted = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0,
                               QString("size=%1k").arg(kilobytes).toLatin1().constData()) == 0;
  const QStringList all = args + QStringList{"--out", folder};
  FullDiskRun run;
  if (mounted) {
    run.result = RunProgram(BinDir() + "/korvane-cli", all, {"KORVANE_VIRTUAL_FAULTS="});
  } else {
    // Blocks of at most 1 KB; an ignored SIGXFSZ makes the write fail with EFBIG instead.
    run.result = RunProgram(
        "/bin/sh",
        QStringList{"-c", QString("ulimit -f %1; trap '' XFSZ; exec \"$0\" \"$@\"").arg(kilobytes),
                    BinDir() + "/korvane-cli"} +
            all,
        {"KORVANE_VIRTUAL_FAULTS="});
  }
  run.left = FilesUnder(folder);
  if (mounted) ::umount(QFile::encodeName(folder).constData());
  run.reason = mounted ? "No space left on device" : "File too large";
  return run;
}

TEST_F(RipCommandTest, AFullDiskNamesTheFileAndTheReasonAndLeavesNothing) {
  const QString full = out_.filePath("full");
  const FullDiskRun run = RunOnAFullDisk(
      {"--config-dir", config_.Dir(), "--virtual-disc", disc_.CuePath(), "rip", "--format", "wav"},
      full, 64);
  const ProcessResult& r = run.result;
  EXPECT_EQ(r.exitCode, 4) << r.err.toStdString();
  const QString file = full + "/Band/Record/01 - First.wav";
  EXPECT_TRUE(r.err.contains(QString("track 1 failed: %1: %2").arg(file, run.reason).toUtf8()))
      << r.err.toStdString();
  EXPECT_FALSE(r.out.contains("Wrote")) << r.out.toStdString();
  EXPECT_TRUE(run.left.isEmpty()) << run.left.join(", ").toStdString();
}

// Every format names the system's reason when the disk fills in the middle of a write.
TEST_F(RipCommandTest, AFullDiskNamesTheSystemsReasonForEveryFormat) {
  DiscImages data;
  const QString dataCue = data.Write({{"MODE1/2048", 100, {}, {}, "DATA"}});
  const struct {
    const char* format;
    QString cue;
    QString what;
    QString file;
  } cases[] = {
      {"mp3", disc_.CuePath(), "track 1", "Band/Record/01 - First.mp3"},
      {"ogg", disc_.CuePath(), "track 1", "Band/Record/01 - First.ogg"},
      {"aac", disc_.CuePath(), "track 1", "Band/Record/01 - First.aac"},
      {"bin", disc_.CuePath(), "the disc image", "IMAGE.bin"},
      {"iso", dataCue, "the disc image", "DATA.iso"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    const QString full = out_.filePath(c.format);
    const FullDiskRun run = RunOnAFullDisk(
        {"--config-dir", config_.Dir(), "--virtual-disc", c.cue, "rip", "--format", c.format}, full,
        8);
    EXPECT_EQ(run.result.exitCode, 4) << run.result.err.toStdString();
    EXPECT_TRUE(run.result.err.contains(
        QString("%1 failed: %2/%3: %4").arg(c.what, full, c.file, run.reason).toUtf8()))
        << run.result.err.toStdString();
    EXPECT_FALSE(run.left.contains(c.file));
    EXPECT_TRUE(run.left.filter(".part").isEmpty()) << run.left.join(", ").toStdString();
  }
}

TEST_F(RipCommandTest, AFailedTrackSaysWhyAndIsNotReportedWritten) {
  ASSERT_TRUE(WriteFileBytes(out_.filePath("Band"), "a file where the artist folder goes"));
  const ProcessResult r = Rip({"--format", "wav"});
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_TRUE(r.err.contains(("track 1 failed: Can't create directory " +
                              out_.filePath("Band/Record") + ": Not a directory")
                                 .toUtf8()))
      << r.err.toStdString();
  EXPECT_FALSE(r.out.contains("Wrote")) << r.out.toStdString();
}

// A language file's text is outside input like a disc's: an escape sequence in it never
// reaches the terminal.
TEST_F(RipCommandTest, ALanguageFilesTextsReachTheTerminalFiltered) {
  const QString language = out_.filePath("Hostile.lng");
  ASSERT_TRUE(WriteFileBytes(language, "[Translation]\n9200=No\x1b]0;owned\x07 folder\x1b[2J\n"));
  ASSERT_EQ(RunCli(config_.Dir(), {"config", "set", "General", "Language", language}).exitCode, 0);
  ASSERT_TRUE(WriteFileBytes(out_.filePath("Band"), "a file where the artist folder goes"));
  const ProcessResult r = Rip({"--format", "wav"});
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_TRUE(r.err.contains("No?]0;owned? folder?[2J")) << r.err.toStdString();
  EXPECT_FALSE(r.err.contains('\x1b') || r.out.contains('\x1b'));
}

TEST_F(RipCommandTest, ARipWithNoAudioTrackToWriteSaysSoAndExitsOne) {
  // Audio, then data: WAV is a format the disc allows, and track 2 is its data track.
  DiscImages mixed;
  const QString cue = mixed.Write({{"AUDIO", 30}, {"MODE1/2048", 20}});
  const ProcessResult r = RunCli(
      config_.Dir(),
      {"--virtual-disc", cue, "rip", "--format", "wav", "--tracks", "2", "--out", out_.path()},
      {"KORVANE_VIRTUAL_FAULTS="});
  EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("nothing to rip")) << r.err.toStdString();
  EXPECT_TRUE(FilesUnder(out_.path()).isEmpty());
}

// An ISO image of an audio CD would be a file of zeros: refused, naming what the disc allows.
TEST_F(RipCommandTest, AFormatTheDiscDoesNotAllowIsRefusedAndExitsOne) {
  for (const char* format : {"iso", "ISO"}) {
    const ProcessResult r = Rip({"--format", format});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("it allows mp3, aac, ogg, wav, wma, flac, opus, m4a, bin")) << r.err.toStdString();
    EXPECT_FALSE(r.out.contains("Wrote")) << r.out.toStdString();
    EXPECT_TRUE(FilesUnder(out_.path()).isEmpty())
        << FilesUnder(out_.path()).join(", ").toStdString();
  }
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
