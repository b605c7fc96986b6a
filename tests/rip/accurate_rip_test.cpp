// A rip's accuracy on the virtual drive: each track's checksums as it is ripped, the drive's
// read offset corrected, the verdict of a loopback AccurateRip database, and secure reading
// of a sector that reads wrong without an error.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include "encoders/lossy_audio.h"
#include "encoders/output_format.h"
#include "metadata/disc_info.h"
#include "rip/disc_in_database_test.h"
#include "rip/rip_job.h"
#include "rip/rip_log.h"
#include "rip/track_checksums.h"

namespace {

constexpr int kWavHeaderBytes = 44;
constexpr int kDriveOffset = 667;

class AccurateRipTest : public DiscInDatabaseTest {
 protected:
  using DiscInDatabaseTest::DiscInDatabaseTest;

  void ServeTrueChecksums(int confidence) {
    server.Serve(DbarPath(id->Text()), TrueDbarResponse(disc, kTracks, id->Text(), confidence));
  }

  RipResult Rip(std::optional<QString> verifyServer, bool secure = false,
                FormatId format = FormatId::Wav, const DiscInfo* info = nullptr) {
    RipRequest request;
    request.device = device;
    request.format = CreateOutputFormat(format);
    request.disc = info;
    request.tracks = {0, 1, 2};
    request.naming.outputFolder = out.path();
    request.naming.subDirArtist = false;
    request.naming.subDirAlbum = false;
    request.naming.fileNameFormat = NamingPattern::Advanced;
    request.naming.advancedTemplate = nameTemplate;
    request.secure = secure;
    request.verifyServer = std::move(verifyServer);
    return RunJob(request);
  }

  // Runs the job's event loop (serving the loopback database) until it has finished.
  static RipResult RunJob(const RipRequest& request) {
    RipJob job;
    QEventLoop loop;
    QObject::connect(&job, &RipJob::Finished, &loop, &QEventLoop::quit);
    EXPECT_TRUE(job.Start(request));
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (!job.IsFinished()) loop.exec();
    EXPECT_TRUE(job.IsFinished());
    return job.Result();
  }

  // The audio of a ripped WAV file.
  static QByteArray Audio(const TrackOutcome& outcome) {
    return ReadFileBytes(outcome.path).mid(kWavHeaderBytes);
  }

  QTemporaryDir out;
  QString nameTemplate = "%N";
};

TEST_F(AccurateRipTest, EachTrackCarriesTheChecksumsOfWhatWasWritten) {
  const RipResult result = Rip(std::nullopt);
  EXPECT_EQ(result.accurateRipId, id->Text());
  ASSERT_EQ(result.outcomes.size(), kTracks);
  for (int i = 0; i < kTracks; ++i) {
    SCOPED_TRACE(i);
    const TrackOutcome& outcome = result.outcomes[i];
    const QByteArray audio = Audio(outcome);
    ASSERT_TRUE(audio == disc.TrackAudio(i));
    // Sums taken over the file as written, in one piece: those of the rip came in chunks.
    TrackChecksums expected(uint32_t(audio.size() / 4), i == 0, i == kTracks - 1);
    expected.Add(reinterpret_cast<const uint8_t*>(audio.constData()), size_t(audio.size()));
    EXPECT_TRUE(outcome.checksummed);
    EXPECT_EQ(outcome.crc32, expected.Crc32());
    EXPECT_EQ(outcome.accurateRipV1, expected.AccurateRipV1());
    EXPECT_EQ(outcome.accurateRipV2, expected.AccurateRipV2());
    EXPECT_NE(outcome.accurateRipV1, outcome.accurateRipV2);
    EXPECT_FALSE(outcome.verdict) << "not verified when verification is off";
    EXPECT_EQ(outcome.outsideFrames, 0);
  }
  EXPECT_TRUE(server.Requests().isEmpty());
}

// A drive of offset +667: corrected, the rip is the image but for the frames the lead-out
// refuses, and the database calls every track accurate; uncorrected, none.
TEST_F(AccurateRipTest, TheCorrectedReadOffsetMakesTheRipAccurate) {
  ServeTrueChecksums(9);
  VirtualDriveHost::Instance().Drive(0).SetReadOffset(kDriveOffset);
  const struct {
    int storedOffset;
    AccurateRipStatus status;
    int confidence;
  } cases[] = {{kDriveOffset, AccurateRipStatus::Accurate, 9},
               {0, AccurateRipStatus::Inaccurate, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.storedOffset);
    device->readOffset = c.storedOffset;
    const RipResult result = Rip(server.Url());
    EXPECT_EQ(result.readOffset, c.storedOffset);
    EXPECT_TRUE(result.verifyError.isEmpty());
    ASSERT_EQ(result.outcomes.size(), kTracks);
    for (int i = 0; i < kTracks; ++i) {
      SCOPED_TRACE(i);
      const TrackOutcome& outcome = result.outcomes[i];
      ASSERT_TRUE(outcome.verdict);
      EXPECT_EQ(outcome.verdict->status, c.status);
      EXPECT_EQ(outcome.verdict->confidence, c.confidence);
    }
    if (c.storedOffset != kDriveOffset) continue;
    const int refused = kDriveOffset * 4;
    EXPECT_TRUE(Audio(result.outcomes[0]) == disc.TrackAudio(0));
    EXPECT_TRUE(Audio(result.outcomes[1]) == disc.TrackAudio(1));
    const QByteArray last = Audio(result.outcomes[2]);
    const QByteArray image = disc.TrackAudio(2);
    ASSERT_EQ(last.size(), image.size()) << "the track keeps its length";
    EXPECT_TRUE(last.left(last.size() - refused) == image.left(image.size() - refused));
    EXPECT_TRUE(last.right(refused) == QByteArray(refused, '\0'));
    EXPECT_EQ(result.outcomes[2].outsideFrames, kDriveOffset);
    EXPECT_EQ(result.outcomes[0].outsideFrames, 0);

    // The log beside the files says what a person needs to check the rip.
    EXPECT_EQ(result.logPath, QDir(out.path()).filePath(QDir(out.path()).dirName() + ".log"));
    const QString log = QString::fromUtf8(ReadFileBytes(result.logPath));
    for (const QString& expected :
         {QStringLiteral("Read offset: +667"), QStringLiteral("Read mode: fast"),
          QStringLiteral("AccurateRip id: ") + id->Text(), QStringLiteral("Format: WAV"),
          QStringLiteral("\nAll tracks accurate (confidence 9 or more)\n")}) {
      EXPECT_TRUE(log.contains(expected)) << expected.toStdString() << "\n" << log.toStdString();
    }
    for (const TrackOutcome& outcome : result.outcomes) {
      EXPECT_TRUE(log.contains(QStringLiteral("Copy CRC32: ") + HexWord(outcome.crc32)));
      EXPECT_TRUE(
          log.contains(QStringLiteral("AccurateRip v1: %1  v2: %2")
                           .arg(HexWord(outcome.accurateRipV1), HexWord(outcome.accurateRipV2))));
    }
    EXPECT_TRUE(log.contains("667 frames beyond the disc's readable audio"));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), kTracks + 1)
        << "the tracks and the log, no temporary file";
  }
  EXPECT_EQ(server.Requests().size(), 2) << "one request a rip, whatever the track count";
}

// A secure rip of a clean disc reads the same twice: the test CRC is the copy CRC. A fast
// rip reads once and has none.
TEST_F(AccurateRipTest, TheTestCrcOfASecureRipIsThatOfItsSecondReads) {
  for (const bool secure : {true, false}) {
    SCOPED_TRACE(secure);
    const RipResult result = Rip(std::nullopt, secure);
    ASSERT_EQ(result.outcomes.size(), kTracks);
    for (const TrackOutcome& outcome : result.outcomes) {
      EXPECT_TRUE(outcome.checksummed);
      EXPECT_EQ(outcome.testCrc32, secure ? std::optional(outcome.crc32) : std::nullopt);
    }
    const QString log = QString::fromUtf8(ReadFileBytes(result.logPath));
    EXPECT_EQ(log.contains("Test CRC32: " + HexWord(result.outcomes[1].crc32)), secure);
  }
}

// A sector that reads the same wrong audio twice without an error: a secure rip from a drive
// that reports C2 error pointers re-reads it and is accurate; without them it is not.
TEST_F(AccurateRipTest, C2ErrorPointersCatchTheSameWrongAudioTwice) {
  ServeTrueChecksums(3);
  const int sector = disc.TrackStart(1) + 10;
  for (const bool c2 : {true, false}) {
    SCOPED_TRACE(c2);
    VirtualDrive& drive = VirtualDriveHost::Instance().Drive(0);
    drive.SetC2Pointers(c2);
    drive.CorruptSector(sector, 2, true);
    const RipResult result = Rip(server.Url(), true);
    ASSERT_EQ(result.outcomes.size(), kTracks);
    const TrackOutcome& track = result.outcomes[1];
    EXPECT_EQ(Audio(track) == disc.TrackAudio(1), c2);
    EXPECT_EQ(track.rereadSectors, c2 ? std::vector<int>{sector} : std::vector<int>{});
    ASSERT_TRUE(track.verdict);
    EXPECT_EQ(track.verdict->status,
              c2 ? AccurateRipStatus::Accurate : AccurateRipStatus::Inaccurate);
    drive.ClearFaults();
  }
}

TEST_F(AccurateRipTest, WhatTheDatabaseCannotSayIsToldApart) {
  // Not in the database (404); then the database answering with an error; then a database
  // that cannot be reached at all.
  RipResult result = Rip(server.Url());
  for (const TrackOutcome& outcome : result.outcomes) {
    ASSERT_TRUE(outcome.verdict);
    EXPECT_EQ(outcome.verdict->status, AccurateRipStatus::NotInDatabase);
  }
  EXPECT_TRUE(result.verifyError.isEmpty());

  server.SetStatus("500 Internal Server Error");
  result = Rip(server.Url());
  EXPECT_TRUE(result.verifyError.contains("500")) << result.verifyError.toStdString();
  for (const TrackOutcome& outcome : result.outcomes) {
    ASSERT_TRUE(outcome.verdict);
    EXPECT_EQ(outcome.verdict->status, AccurateRipStatus::Unavailable);
    EXPECT_FALSE(outcome.failed) << "verification never fails the rip";
  }

  quint16 port = 0;
  {
    const LoopbackServer gone({});  // its port, once it is gone, refuses connections
    port = gone.Port();
  }
  result = Rip(QStringLiteral("http://127.0.0.1:%1").arg(port));
  EXPECT_FALSE(result.verifyError.isEmpty());
  for (const TrackOutcome& outcome : result.outcomes) {
    ASSERT_TRUE(outcome.verdict);
    EXPECT_EQ(outcome.verdict->status, AccurateRipStatus::Unavailable);
  }
}

// A BIN image of the disc from a drive of offset +667, corrected: the image's audio but for
// the frames the lead-out refuses, which are silence.
TEST_F(AccurateRipTest, TheImageOfAudioIsReadAtTheTruePlace) {
  VirtualDriveHost::Instance().Drive(0).SetReadOffset(kDriveOffset);
  device->readOffset = kDriveOffset;
  RipRequest request;
  request.device = device;
  request.format = CreateOutputFormat(FormatId::CueBin);
  request.naming.outputFolder = out.path();
  request.volumeLabel = "disc";
  const RipResult result = RunJob(request);
  ASSERT_EQ(result.outcomes.size(), 1);
  const TrackOutcome& image = result.outcomes[0];
  EXPECT_FALSE(image.failed) << image.errorText.toStdString();
  EXPECT_EQ(image.failedSectors, 0);
  const QByteArray bin = ReadFileBytes(image.path);
  QByteArray expected;
  for (int i = 0; i < kTracks; ++i) expected += disc.TrackAudio(i);
  const int refused = kDriveOffset * 4;
  ASSERT_EQ(bin.size(), expected.size());
  EXPECT_TRUE(bin.left(bin.size() - refused) == expected.left(expected.size() - refused));
  EXPECT_TRUE(bin.right(refused) == QByteArray(refused, '\0'));
}

// Track 1 with 40 sectors before its INDEX 01 (INDEX 00 at the disc's start).
QList<TestTrack> DiscWithPregap(bool silent) {
  TestTrack first(60);
  first.pregap = 40;
  first.silentPregap = silent;
  return {first, TestTrack(45), TestTrack(50)};
}

template <bool kSilent>
class PregapTest : public AccurateRipTest {
 protected:
  PregapTest() : AccurateRipTest(DiscWithPregap(kSilent)) {}
};
using HiddenTrackTest = PregapTest<false>;
using SilentPregapTest = PregapTest<true>;

// Track 1 is ripped from its INDEX 01, where the database counts it, and the audio before it
// becomes track 00 of its own, which no database knows.
TEST_F(HiddenTrackTest, TheAudioBeforeTrackOneIsTrackZeroAndTrackOneIsAccurate) {
  ServeTrueChecksums(4);
  const RipResult result = Rip(server.Url());
  ASSERT_EQ(result.outcomes.size(), kTracks + 1);
  const TrackOutcome& hidden = result.outcomes[0];
  EXPECT_EQ(hidden.trackIndex, kHiddenTrackIndex);
  EXPECT_EQ(QFileInfo(hidden.path).fileName(), "00.wav");
  EXPECT_TRUE(Audio(hidden) == disc.PregapAudio(0));
  EXPECT_EQ(hidden.firstSector, 0u);
  EXPECT_EQ(hidden.sectorCount, 40u);
  EXPECT_FALSE(hidden.verdict);
  for (int i = 0; i < kTracks; ++i) {
    SCOPED_TRACE(i);
    const TrackOutcome& track = result.outcomes[i + 1];
    EXPECT_EQ(track.trackIndex, i);
    EXPECT_TRUE(Audio(track) == disc.TrackAudio(i));
    EXPECT_EQ(track.firstSector, uint32_t(disc.TrackStart(i)));
    ASSERT_TRUE(track.verdict);
    EXPECT_EQ(track.verdict->status, AccurateRipStatus::Accurate);
  }
  const QString log = QString::fromUtf8(ReadFileBytes(result.logPath));
  for (const QString& expected :
       {QStringLiteral("\nTrack 0\n"),
        QStringLiteral("Pregap    before INDEX 01  sectors 0-39 (40)"),
        QStringLiteral("Track  1  audio  sectors 40-99 (60)"),
        QStringLiteral("\nAll tracks accurate (confidence 4 or more)\n")}) {
    EXPECT_TRUE(log.contains(expected)) << expected.toStdString() << "\n" << log.toStdString();
  }
}

// The BIN image keeps the disc whole and its CUE sheet keeps track 1's INDEX 01 where it was:
// loaded back, the image is the same disc.
TEST_F(HiddenTrackTest, TheImageKeepsTrackOnesIndex01) {
  RipRequest request;
  request.device = device;
  request.format = CreateOutputFormat(FormatId::CueBin);
  request.naming.outputFolder = out.path();
  request.volumeLabel = "hidden";
  const RipResult result = RunJob(request);
  ASSERT_EQ(result.outcomes.size(), 1);
  ASSERT_FALSE(result.outcomes[0].failed);
  const QString sheet = QString::fromLatin1(ReadFileBytes(QDir(out.path()).filePath("hidden.cue")));
  EXPECT_TRUE(
      sheet.contains("TRACK 01 AUDIO\r\n    INDEX 00 00:00:00\r\n    INDEX 01 00:00:40\r\n"))
      << sheet.toStdString();
  EXPECT_EQ(sheet.count("INDEX 00"), 1);
  CdDevice* reloaded = InsertCue(QDir(out.path()).filePath("hidden.cue"));
  ASSERT_TRUE(reloaded);
  EXPECT_EQ(AccurateRipIdOf(*reloaded)->Text(), id->Text());
}

TEST_F(HiddenTrackTest, IsNamedAndTaggedThroughTheTracksTemplate) {
  DiscInfo info;
  info.ResetToDefaults(kTracks);
  info.artist = "Rainer Fluss";
  info.album = "Unter Wasser";
  nameTemplate = "%N - %T";
  const RipResult result = Rip(std::nullopt, false, FormatId::Flac, &info);
  ASSERT_EQ(result.outcomes.size(), kTracks + 1);
  const TrackOutcome& hidden = result.outcomes[0];
  EXPECT_EQ(QFileInfo(hidden.path).fileName(), "00 - Hidden track.flac");
  EXPECT_TRUE(DecodeToPcm(hidden.path) == disc.PregapAudio(0));
  const QMap<QString, QString> tags = ProbeTags(hidden.path);
  EXPECT_EQ(tags.value("title"), "Hidden track");
  EXPECT_EQ(tags.value("artist"), "Rainer Fluss");
  EXPECT_EQ(tags.value("album"), "Unter Wasser");
}

TEST_F(SilentPregapTest, DigitalSilenceBeforeTrackOneGivesNoFile) {
  ServeTrueChecksums(4);
  const RipResult result = Rip(server.Url());
  ASSERT_EQ(result.outcomes.size(), kTracks);
  EXPECT_EQ(result.outcomes[0].trackIndex, 0);
  EXPECT_TRUE(Audio(result.outcomes[0]) == disc.TrackAudio(0));
  ASSERT_TRUE(result.outcomes[0].verdict);
  EXPECT_EQ(result.outcomes[0].verdict->status, AccurateRipStatus::Accurate);
  EXPECT_FALSE(QFileInfo::exists(QDir(out.path()).filePath("00.wav")));
  EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), kTracks + 1)
      << "the tracks and the log, no temporary file";
}

TEST(RipSummaryLine, SaysTheWorstFirst) {
  const auto outcome = [](int index, std::optional<AccurateRipStatus> status, int confidence = 0,
                          int failedSectors = 0) {
    TrackOutcome track;
    track.trackIndex = index;
    track.failedSectors = failedSectors;
    if (status) track.verdict = TrackVerdict{*status, confidence};
    return track;
  };
  using S = AccurateRipStatus;
  const struct {
    QList<TrackOutcome> tracks;
    QString line;
  } cases[] = {
      {{outcome(0, S::Accurate, 23), outcome(1, S::Accurate, 7)},
       "All tracks accurate (confidence 7 or more)"},
      {{outcome(0, S::Accurate, 5), outcome(1, S::NotInDatabase), outcome(2, S::NotInDatabase)},
       "1 of 3 tracks accurate; 2 of 3 tracks not in the database"},
      {{outcome(0, S::Inaccurate), outcome(1, S::Unavailable)},
       "1 of 2 tracks not accurate; 1 of 2 tracks not verified: AccurateRip unavailable"},
      {{outcome(0, S::Accurate, 5), outcome(3, S::Inaccurate, 0, 2)}, "Errors in track 4"},
      {{outcome(0, std::nullopt), outcome(1, std::nullopt)}, "2 of 2 tracks not verified"},
  };
  for (const auto& c : cases) {
    RipResult result;
    result.outcomes = c.tracks;
    EXPECT_EQ(RipSummaryLine(result), c.line);
  }
}

}  // namespace
