// The preview player through the virtual drive and ALSA's file plug-in: what it plays,
// byte for byte, and what it reports.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <thread>

#include "drive/cd_device.h"
#include "drive/drive_actions.h"
#include "drive/drive_claim.h"
#include "drive/drive_context.h"
#include "drive/virtual/virtual_drive.h"
#include "platform/cd_sector.h"
#include "player/playback.h"
#include "player/player_test_support.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

VirtualDrive& Drive() { return VirtualDriveHost::Instance().Drive(0); }

// Whether the drive has been asked for sector lba (READ CD carries it in bytes 2..5).
bool DriveReadSector(int lba) {
  for (const QByteArray& cdb : Drive().CommandLog()) {
    if (uint8_t(cdb[0]) != 0xBE) continue;
    const int first = (uint8_t(cdb[2]) << 24) | (uint8_t(cdb[3]) << 16) | (uint8_t(cdb[4]) << 8) |
                      uint8_t(cdb[5]);
    const int count = (uint8_t(cdb[6]) << 16) | (uint8_t(cdb[7]) << 8) | uint8_t(cdb[8]);
    if (first <= lba && lba < first + count) return true;
  }
  return false;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 30000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qputenv("KORVANE_AUDIO_DEVICE", sound_.DeviceName().toLocal8Bit());
    ASSERT_TRUE(disc_.Insert());
    Drive().ClearCommandLog();
  }
  void TearDown() override {
    StopPlayback();
    WaitForPlayersToEnd();
    Drive().ClearFaults();
    Drive().SetReadThrottleX(0);
    qunsetenv("KORVANE_AUDIO_DEVICE");
  }

  // Plays a track to its end; false when it did not end with "PLAY_NEXT".
  bool PlayToTheEnd(int index) {
    if (!PlayTrack(index)) return false;
    if (!reports_.WaitForEnds(1)) return false;
    WaitForPlayersToEnd();
    return reports_.Ends() == QStringList{"PLAY_NEXT"};
  }

  TestApplication<QCoreApplication> app_;
  TempConfig config_;
  SoundFile sound_;
  // A long track that a slow drive takes seconds to read, for the tests that act while it
  // plays; 27*3+1 sectors; a track of one request; 55 = 27+27+1; 54 = two whole requests;
  // the disc's last track.
  static constexpr int kLong = 0;
  static constexpr int kLongSectors = 300;
  TestDisc disc_{{TestTrack(kLongSectors), TestTrack(82), TestTrack(27), TestTrack(55),
                  TestTrack(54), TestTrack(40)}};
  PlayerReports reports_;
};

TEST_F(PlayerTest, PlaysEachTrackByteExactThenSilenceToTheBufferEnd) {
  for (int index : {1, 2, 3, 4, 5}) {
    SCOPED_TRACE(index);
    PlayerReports reports;
    ASSERT_TRUE(PlayTrack(index));
    ASSERT_TRUE(reports.WaitForEnds(1)) << "no end reported";
    WaitForPlayersToEnd();
    EXPECT_EQ(reports.Ends(), QStringList{"PLAY_NEXT"});
    EXPECT_EQ(sound_.Bytes(), PlayedAudio(disc_.TrackAudio(index)));
    // One report per output buffer, rising to 100.
    const std::vector<double> percents = reports.Percents();
    ASSERT_EQ(percents.size(), size_t(PlayedAudio(disc_.TrackAudio(index)).size() / 8000));
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), 100.0);
    EXPECT_EQ(PlayerBytesHeld(), 0) << "the track's memory is released when the player ends";
  }
}

// Playback waits for the reader instead of playing what it has not read yet.
TEST_F(PlayerTest, ASlowDrivePlaysByteExact) {
  Drive().SetReadThrottleX(2.0);
  ASSERT_TRUE(PlayToTheEnd(1));
  EXPECT_EQ(sound_.Bytes(), PlayedAudio(disc_.TrackAudio(1)));
}

TEST_F(PlayerTest, AnUnreadableSectorIsSilenceOfItsLengthInItsPlace) {
  Drive().FailSector(disc_.TrackStart(1) + 30, -1);
  Drive().FailSector(disc_.TrackStart(1) + 60, 2);  // reads when tried again
  ASSERT_TRUE(PlayToTheEnd(1));
  QByteArray expected = disc_.TrackAudio(1);
  expected.replace(30 * kCdSectorBytes, kCdSectorBytes, QByteArray(kCdSectorBytes, '\0'));
  EXPECT_EQ(sound_.Bytes(), PlayedAudio(expected));
}

TEST_F(PlayerTest, StopReportsPlayStopAndReleasesTheTrack) {
  Drive().SetReadThrottleX(1.0);
  ASSERT_TRUE(PlayTrack(kLong));
  ASSERT_TRUE(reports_.WaitForPlays(1));
  EXPECT_GT(PlayerBytesHeld(), 0);
  EXPECT_TRUE(StopPlayback());
  ASSERT_TRUE(reports_.WaitForEnds(1));
  WaitForPlayersToEnd();
  EXPECT_EQ(reports_.Ends(), QStringList{"PLAY_STOP"});
  EXPECT_EQ(PlayerBytesHeld(), 0);
  const QByteArray played = sound_.Bytes();
  EXPECT_LT(played.size(), disc_.TrackAudio(kLong).size());
  EXPECT_EQ(played, disc_.TrackAudio(kLong).left(played.size()))
      << "what was heard is the track's start";
  EXPECT_TRUE(StopPlayback()) << "without a player";
}

TEST_F(PlayerTest, PauseHoldsThePositionAndPlayResumesThePausedTrack) {
  Drive().SetReadThrottleX(2.0);
  ASSERT_TRUE(PlayTrack(kLong));
  ASSERT_TRUE(reports_.WaitForPlays(1));
  TogglePause();
  ASSERT_TRUE(IsPaused());
  int index = -1;
  uint32_t held = 0, total = 0;
  ASSERT_TRUE(PlaybackProgress(index, held, total));
  // The reader goes on to the end of the track; playback does not move meanwhile.
  ASSERT_TRUE(
      WaitUntil([&] { return DriveReadSector(disc_.TrackStart(kLong) + kLongSectors - 1); }));
  const size_t playsWhenPaused = reports_.Percents().size();
  uint32_t position = 0;
  ASSERT_TRUE(PlaybackProgress(index, position, total));
  EXPECT_EQ(position, held);
  EXPECT_LT(position, total);
  EXPECT_EQ(reports_.Ends(), QStringList{});

  // Play while paused resumes the paused track, whichever track is asked for.
  ASSERT_TRUE(PlayTrack(3));
  EXPECT_FALSE(IsPaused());
  ASSERT_TRUE(reports_.WaitForEnds(1));
  WaitForPlayersToEnd();
  EXPECT_EQ(reports_.Ends(), QStringList{"PLAY_NEXT"});
  EXPECT_GT(reports_.Percents().size(), playsWhenPaused);
  EXPECT_EQ(sound_.Bytes(), PlayedAudio(disc_.TrackAudio(kLong)));
}

TEST_F(PlayerTest, ANewTrackStopsTheOldOne) {
  Drive().SetReadThrottleX(1.0);
  ASSERT_TRUE(PlayTrack(kLong));
  ASSERT_TRUE(reports_.WaitForPlays(1));
  Drive().SetReadThrottleX(0);
  ASSERT_TRUE(PlayTrack(2));
  ASSERT_TRUE(reports_.WaitForEnds(2));
  WaitForPlayersToEnd();
  EXPECT_EQ(reports_.Ends(), (QStringList{"PLAY_STOP", "PLAY_NEXT"}));
  EXPECT_EQ(sound_.Bytes(), PlayedAudio(disc_.TrackAudio(2)));
}

TEST_F(PlayerTest, PauseWithoutAPlayerDoesNothing) {
  TogglePause();
  EXPECT_FALSE(IsPaused());
  ASSERT_TRUE(PlayToTheEnd(2));
  EXPECT_EQ(sound_.Bytes(), PlayedAudio(disc_.TrackAudio(2)));
}

TEST_F(PlayerTest, EjectingTheTrayStopsThePlayerFirst) {
  Drive().SetReadThrottleX(1.0);
  ASSERT_TRUE(PlayTrack(kLong));
  ASSERT_TRUE(reports_.WaitForPlays(1));
  ToggleTray();
  EXPECT_EQ(reports_.Ends(), QStringList{"PLAY_STOP"}) << "stopped before the tray moved";
  EXPECT_EQ(PlayerBytesHeld(), 0);
  EXPECT_TRUE(Drive().IsTrayOpen());
}

TEST_F(PlayerTest, RefusesWhatItCannotPlay) {
  struct Case {
    const char* what;
    int index;
    PlayError::Kind kind;
  };
  for (const Case& c : {Case{"before the first track", -1, PlayError::BadTrack},
                        Case{"past the last track", 6, PlayError::BadTrack}}) {
    PlayError error;
    EXPECT_FALSE(PlayTrack(c.index, &error)) << c.what;
    EXPECT_EQ(error.kind, c.kind) << c.what;
    EXPECT_EQ(error.text, QString("no track %1: the disc has 6 tracks").arg(c.index + 1));
  }

  {
    const DriveClaim rip(DriveUse::Rip);
    PlayError busy;
    EXPECT_FALSE(PlayTrack(0, &busy));
    EXPECT_EQ(busy.kind, PlayError::DriveBusy);
  }

  qputenv("KORVANE_AUDIO_DEVICE", "korvane_no_such_pcm");
  PlayError noDevice;
  EXPECT_FALSE(PlayTrack(0, &noDevice));
  EXPECT_EQ(noDevice.kind, PlayError::NoSoundDevice);
  EXPECT_TRUE(noDevice.text.startsWith("no sound device: korvane_no_such_pcm: "))
      << noDevice.text.toStdString();
  EXPECT_EQ(PlayerBytesHeld(), 0);

  Drive().SetTrayOpen(true);
  DriveContext::Instance().device.load()->ClearToc();
  PlayError noDisc;
  EXPECT_FALSE(PlayTrack(0, &noDisc));
  EXPECT_EQ(noDisc.kind, PlayError::NoDisc);
  EXPECT_EQ(reports_.Ends(), QStringList{}) << "nothing started, nothing reported";
}

}  // namespace
