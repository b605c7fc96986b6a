// The Rip command end to end through the controller and the virtual drive: which tracks
// are ripped, the bytes in the files, cancel, read errors, the open tray, disc events.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include "app/main_controller.h"
#include "drive/cd_device.h"
#include "drive/drive_context.h"
#include "drive/virtual/virtual_drive.h"
#include "encoders/rip_worker.h"
#include "encoders/wav_encoder.h"
#include "settings/settings_store.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

// A front end that records what the controller asks of it. cancelAtRun cancels that run
// (1-based) as soon as its progress display opens.
class RecordingHost : public ControllerHost {
 public:
  void SetTrackRows(const QList<TrackRow>& rows) override {
    rows_ = rows;
    checked = QList<bool>(rows.size(), false);
  }
  int TrackRowCount() const override { return int(rows_.size()); }
  bool IsRowChecked(int row) const override { return checked.value(row); }
  void SetRowChecked(int row, bool on) override { checked[row] = on; }
  void SetPlayingRow(int) override {}
  bool RunProgressDialog(const RipRun& run) override {
    runs.append(run.path);
    const bool cancel = run.ordinal == cancelAtRun;
    if (cancel) run.worker->stopRequested = 1;
    EXPECT_TRUE(run.done->WaitFor(30000)) << "no done signal";
    return !cancel;
  }
  void ShowMessage(const QString& text) override { messages.append(text); }
  void SetMainWindowVisible(bool) override {}
  void OpenFolder(const QString& folder) override { opened.append(folder); }

  QList<TrackRow> rows_;
  QList<bool> checked;
  QStringList runs, messages, opened;
  int cancelAtRun = 0;
};

class RipControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SettingsStore& store = SettingsStore::Instance();
    store.WriteInt(Key::FormatSelected, 11012);  // WAV
    store.WriteString(Key::OutputFolder, out_.path());
    store.WriteInt(Key::AutoOpenOutputFolder, 0);
  }

  QString TrackFile(int number, const QString& title) const {
    return QString("%1/Band/Record/%2 - %3.wav").arg(out_.path()).arg(number, 2, 10, QChar('0')).arg(title);
  }
  static QByteArray Audio(const QString& wavPath) { return ReadFileBytes(wavPath).mid(WavEncoder::kHeaderBytes); }

  int argc_ = 1;
  char arg0_[8] = "test";
  char* argv_[1] = {arg0_};
  QCoreApplication app_{argc_, argv_};
  TempConfig config_;
  QTemporaryDir out_;
  // 27*3+1, 27*2 and 40 sectors: a lone last chunk, whole chunks only, the disc's end.
  TestDisc disc_{{TestTrack(82, "One", "Band"), TestTrack(54, "Two", "Band"), TestTrack(40, "Three", "Band")},
                 "Record", "Band"};
  RecordingHost host_;
};

TEST_F(RipControllerTest, RipsTheTickedTracksBitExactAndUnticksThem) {
  ASSERT_TRUE(disc_.Insert());
  MainController controller(host_);
  controller.RefreshTracks();
  ASSERT_EQ(host_.TrackRowCount(), 3);
  EXPECT_EQ(host_.rows_[0].title, "One");
  controller.SelectAll();
  host_.SetRowChecked(1, false);
  EXPECT_EQ(controller.CheckedAudioBytes(), host_.rows_[0].bytes + host_.rows_[2].bytes);

  const RipResult result = controller.RipCommand();
  EXPECT_EQ(result.status, RipResult::Status::Done);
  ASSERT_EQ(result.outcomes.size(), 2);
  EXPECT_EQ(Audio(TrackFile(1, "One")), disc_.TrackAudio(0));
  EXPECT_EQ(Audio(TrackFile(3, "Three")), disc_.TrackAudio(2));
  EXPECT_FALSE(QFileInfo::exists(TrackFile(2, "Two")));
  EXPECT_EQ(host_.checked, (QList<bool>{false, false, false}));
}

TEST_F(RipControllerTest, ATickedDataTrackIsSkipped) {
  QTemporaryDir dir;
  QByteArray audio(30 * 2352, '\0');
  for (int i = 0; i < audio.size(); ++i) audio[i] = char(i * 31 % 251);
  ASSERT_TRUE(WriteFileBytes(dir.filePath("audio.bin"), audio));
  ASSERT_TRUE(WriteFileBytes(dir.filePath("data.iso"), QByteArray(20 * 2048, 'd')));
  ASSERT_TRUE(WriteFileBytes(dir.filePath("mixed.cue"),
                             "FILE \"audio.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                             "FILE \"data.iso\" BINARY\n  TRACK 02 MODE1/2048\n    INDEX 01 00:00:00\n"));
  QString error;
  ASSERT_TRUE(VirtualDriveHost::Instance().Drive(0).LoadCue(dir.filePath("mixed.cue"), &error))
      << error.toStdString();
  MainController controller(host_);
  controller.RefreshTracks();
  ASSERT_EQ(host_.TrackRowCount(), 2);
  EXPECT_EQ(host_.rows_[1].title, "Data track");
  controller.SelectAll();
  EXPECT_EQ(controller.CheckedAudioBytes(), host_.rows_[0].bytes) << "data tracks are not audio";

  const RipResult result = controller.RipCommand();
  ASSERT_EQ(result.outcomes.size(), 1);
  EXPECT_EQ(result.outcomes[0].trackIndex, 0);
  EXPECT_EQ(ReadFileBytes(result.outcomes[0].path).mid(WavEncoder::kHeaderBytes), audio);
  EXPECT_EQ(host_.checked, (QList<bool>{false, true}));
}

TEST_F(RipControllerTest, CancelDuringTheSecondTrackKeepsTheFirstAndStops) {
  ASSERT_TRUE(disc_.Insert());
  SettingsStore::Instance().WriteInt(Key::AutoEjectCD, 1);
  VirtualDriveHost::Instance().Drive(0).SetReadThrottleX(2.0);  // the cancel comes mid-track
  MainController controller(host_);
  controller.RefreshTracks();
  controller.SelectAll();
  host_.cancelAtRun = 2;

  const RipResult result = controller.RipCommand();
  EXPECT_EQ(result.status, RipResult::Status::Cancelled);
  EXPECT_EQ(host_.runs.size(), 2);
  EXPECT_EQ(Audio(TrackFile(1, "One")), disc_.TrackAudio(0));
  EXPECT_FALSE(QFileInfo::exists(TrackFile(2, "Two")));
  EXPECT_FALSE(QFileInfo::exists(TrackFile(3, "Three")));
  EXPECT_EQ(host_.checked, (QList<bool>{false, true, true}));
  EXPECT_FALSE(VirtualDriveHost::Instance().Drive(0).IsTrayOpen()) << "a cancelled rip does not eject";
}

TEST_F(RipControllerTest, ReadErrorsAreRetriedThenWrittenAsSilenceAndReported) {
  ASSERT_TRUE(disc_.Insert());
  VirtualDrive& drive = VirtualDriveHost::Instance().Drive(0);
  const int badSector = disc_.TrackStart(0) + 30;
  drive.FailSector(disc_.TrackStart(1) + 5, 2);  // reads on the third try
  drive.FailSector(badSector, -1);               // never reads
  MainController controller(host_);
  controller.RefreshTracks();
  controller.SelectAll();

  const RipResult result = controller.RipCommand();
  ASSERT_EQ(result.outcomes.size(), 3);
  EXPECT_EQ(result.outcomes[0].failedSectors, 1);
  EXPECT_EQ(result.outcomes[1].failedSectors, 0);
  EXPECT_EQ(Audio(TrackFile(2, "Two")), disc_.TrackAudio(1));

  QByteArray expected = disc_.TrackAudio(0);
  expected.replace(30 * 2352, 2352, QByteArray(2352, '\0'));
  const QByteArray one = ReadFileBytes(TrackFile(1, "One"));
  EXPECT_EQ(one.mid(WavEncoder::kHeaderBytes), expected);
  EXPECT_EQ(WavEncoder::Header(82 * 2352), one.left(WavEncoder::kHeaderBytes));
  EXPECT_EQ(host_.checked, (QList<bool>{true, false, false})) << "a track with errors stays ticked";
}

TEST_F(RipControllerTest, RipWithTheTrayOpenStartsWhenTheDiscArrives) {
  ASSERT_TRUE(disc_.Insert());
  MainController controller(host_);
  controller.RefreshTracks();
  VirtualDriveHost::Instance().Drive(0).SetTrayOpen(true);
  QCoreApplication::processEvents();  // the removal

  const RipResult first = controller.RipCommand();
  EXPECT_EQ(first.status, RipResult::Status::Pending);
  EXPECT_FALSE(VirtualDriveHost::Instance().Drive(0).IsTrayOpen()) << "the rip closes the tray";
  QElapsedTimer timer;
  timer.start();
  while (controller.RipsRun() == 0 && timer.elapsed() < 10000) QCoreApplication::processEvents();
  ASSERT_EQ(controller.RipsRun(), 1) << "AutoStartRipping is off, yet the pending rip runs";
  EXPECT_EQ(controller.LastRip().outcomes.size(), 3);
  EXPECT_EQ(SettingsStore::Instance().autoRipPending, 0);
}

TEST_F(RipControllerTest, DiscEventsCountOnlyForTheCurrentDrive) {
  ASSERT_TRUE(disc_.Insert());
  MainController controller(host_);
  controller.RefreshTracks();
  SettingsStore::Instance().WriteInt(Key::AutoStartRipping, 1);
  SettingsStore::Instance().autoRipPending = 1;

  controller.OnMediaChanged("vcd7", true);
  EXPECT_EQ(controller.RipsRun(), 0);
  EXPECT_EQ(SettingsStore::Instance().autoRipPending, 1);

  controller.OnMediaChanged(DriveContext::Instance().DeviceName(), false);
  EXPECT_EQ(SettingsStore::Instance().autoRipPending, 0) << "removal clears a pending rip";
  EXPECT_EQ(controller.RipsRun(), 0);
}

TEST_F(RipControllerTest, RefreshReplacesAFormatTheDiscDoesNotAllow) {
  ASSERT_TRUE(disc_.Insert());
  SettingsStore::Instance().WriteInt(Key::FormatSelected, 11015);  // ISO, for an audio disc
  MainController controller(host_);
  controller.RefreshTracks();
  const int chosen = SettingsStore::Instance().ReadInt(Key::FormatSelected);
  EXPECT_NE(chosen, 11015);
  EXPECT_EQ(SettingsStore::Instance().formatSelected, chosen);
}

TEST_F(RipControllerTest, AFormatWithoutEncoderWritesNothing) {
  ASSERT_TRUE(disc_.Insert());
  SettingsStore::Instance().WriteInt(Key::FormatSelected, 11013);
  MainController controller(host_);
  controller.RefreshTracks();
  controller.SelectAll();
  const RipResult result = controller.RipCommand();
  EXPECT_EQ(result.status, RipResult::Status::Unavailable);
  EXPECT_EQ(host_.messages, QStringList{"WMA encoding is not available in this build"});
  EXPECT_TRUE(QDir(out_.path()).isEmpty());
}

}  // namespace
