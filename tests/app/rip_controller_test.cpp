// The Rip command end to end through the controller and the virtual drive: which tracks
// are ripped, the bytes in the files, cancel, read errors, the open tray, disc events.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cerrno>
#include <functional>

#include "platform/scsi_host.h"

#include "app/main_controller.h"
#include "drive/cd_device.h"
#include "drive/drive_actions.h"
#include "drive/drive_claim.h"
#include "drive/drive_context.h"
#include "drive/virtual/virtual_drive.h"
#include "encoders/wav_encoder.h"
#include "metadata/current_disc.h"
#include "settings/ini_file.h"
#include "settings/settings_store.h"
#include "support/rip_settings.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

// A front end that records what the controller asks of it. Watch follows a controller's
// rips as a progress display does: onRun is called as each run starts, and cancelAtRun
// cancels that run (1-based) as soon as it starts.
class RecordingHost : public ControllerHost {
 public:
  void SetTrackRows(const QList<TrackRow>& rows) override {
    rows_ = rows;
    checked = QList<bool>(rows.size(), false);
    ++rowSets;
  }
  void ShowChecks(const TrackSelection& selection) override {
    for (int i = 0; i < checked.size(); ++i) checked[i] = selection.IsChecked(i);
  }
  void OnDiscInfoChanged(const QList<TrackRow>& rows) override {
    rows_ = rows;
    ++discInfoChanges;
  }
  void OnFormatChanged(FormatId format) override { formatChanges.append(format); }
  void OnAllowedFormats(const QList<FormatId>& formats) override { allowedFormats = formats; }
  int TrackRowCount() const override { return int(rows_.size()); }
  void SetPlayingRow(int) override {}
  void ShowMessage(MessageKind kind, const QString& text) override {
    messages.append(text);
    messageKinds.append(kind);
  }
  void SetMainWindowVisible(bool) override {}
  void OpenFolder(const QString& folder) override { opened.append(folder); }
  bool RunFreeDbLookup() override { return lookup && lookup(); }
  bool RunMusicBrainzLookup() override { return musicBrainzLookup && musicBrainzLookup(); }

  void Watch(MainController& controller) {
    QObject::connect(&controller, &MainController::RipStarted, &controller, [this](RipJob* job) {
      QObject::connect(job, &RipJob::RunStarted, job, [this, job](const RipRun& run) {
        runs.append(run.path);
        runDetails.append(run);
        if (onRun) onRun(run);
        if (run.ordinal == cancelAtRun) job->Cancel();
      });
      QObject::connect(job, &RipJob::Progress, job,
                       [this](const RipProgress& progress) { progressSeen.append(progress); });
      QObject::connect(job, &RipJob::Finished, job, [this] { ++finishes; });
    });
  }

  QList<TrackRow> rows_;
  QList<bool> checked;
  QStringList runs, messages, opened;
  QList<RipRun> runDetails;
  QList<RipProgress> progressSeen;
  QList<MessageKind> messageKinds;
  QList<FormatId> formatChanges;
  QList<FormatId> allowedFormats;
  int discInfoChanges = 0;
  int rowSets = 0;
  int finishes = 0;
  int cancelAtRun = 0;
  std::function<void(const RipRun&)> onRun;
  std::function<bool()> lookup;
  std::function<bool()> musicBrainzLookup;
};

// Waits, running the event loop, until done() holds or 10 s have passed.
bool ProcessEventsUntil(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

// A drive the system lists as its own ("sr0" at "fake-sr0"), as on a machine with one real
// optical drive: an emulated drive behind a host of its own, beside the virtual drives.
class FakeSystemDrive : public ScsiHost {
 public:
  FakeSystemDrive() { AddEmulatedHost(this); }
  ~FakeSystemDrive() override { RemoveEmulatedHost(this); }
  int Open(const QString& path, bool) override { return path == "fake-sr0" ? 1 : -ENOENT; }
  void Close(int) override {}
  int SendCommand(int, ScsiCommand& command) override { return drive.Execute(command); }
  int DriveStatus(int) override { return drive.DriveStatus(); }
  QList<ScsiNode> BlockDevices() override {
    ScsiNode node;
    node.path = "fake-sr0";
    node.name = "sr0";
    node.peripheralType = 5;
    return {node};
  }
  QList<ScsiNode> GenericDevices() override { return BlockDevices(); }

  VirtualDrive drive{"sr0"};
};

class RipControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { UseTestRipSettings(out_.path()); }
  void TearDown() override {
    VirtualDriveHost::Instance().Drive(0).SetReadThrottleX(0);
    VirtualDriveHost::Instance().Drive(0).ClearFaults();
  }

  // vcd0 holds disc_, vcd1 the other disc; both are listed.
  void InsertTwoDiscs(const TestDisc& other) {
    QString error;
    ASSERT_TRUE(VirtualDriveHost::Instance().Drive(1).LoadCue(other.CuePath(), &error))
        << error.toStdString();
    ASSERT_TRUE(disc_.Insert());
    ASSERT_EQ(ListDrives().mid(ListDrives().size() - 2),
              (QStringList{"[vcd0] KORVANE VIRTUAL CD", "[vcd1] KORVANE VIRTUAL CD"}));
  }

  QString TrackFile(int number, const QString& title) const {
    return QString("%1/Band/Record/%2 - %3.wav")
        .arg(out_.path())
        .arg(number, 2, 10, QChar('0'))
        .arg(title);
  }
  static QByteArray Audio(const QString& wavPath) {
    return ReadFileBytes(wavPath).mid(WavEncoder::kHeaderBytes);
  }

  TestApplication<QCoreApplication> app_;
  TempConfig config_;
  QTemporaryDir out_;
  // 27*3+1, 27*2 and 40 sectors: a lone last chunk, whole chunks only, the disc's end.
  TestDisc disc_{
      {TestTrack(82, "One", "Band"), TestTrack(54, "Two", "Band"), TestTrack(40, "Three", "Band")},
      "Record",
      "Band"};
  RecordingHost host_;
};

TEST_F(RipControllerTest, RipsTheTickedTracksBitExactAndUnticksThem) {
  ASSERT_TRUE(disc_.Insert());
  MainController controller(host_);
  host_.Watch(controller);
  controller.RefreshTracks();
  ASSERT_EQ(host_.TrackRowCount(), 3);
  EXPECT_EQ(host_.rows_[0].title, "One");
  controller.SelectAll();
  controller.SetChecked(1, false);
  EXPECT_EQ(controller.CheckedAudioBytes(), host_.rows_[0].bytes + host_.rows_[2].bytes);

  const RipResult result = controller.RipCommand();
  EXPECT_EQ(result.status, RipResult::Status::Done);
  ASSERT_EQ(result.outcomes.size(), 2);
  EXPECT_EQ(Audio(TrackFile(1, "One")), disc_.TrackAudio(0));
  EXPECT_EQ(Audio(TrackFile(3, "Three")), disc_.TrackAudio(2));
  EXPECT_FALSE(QFileInfo::exists(TrackFile(2, "Two")));
  EXPECT_EQ(host_.checked, (QList<bool>{false, false, false}));
}

TEST_F(RipControllerTest, AFreshlyReadDiscIsCheckedAsAutoSelectAllTracksSays) {
  ASSERT_TRUE(disc_.Insert());
  MainController controller(host_);
  host_.Watch(controller);
  for (const int autoSelect : {1, 0}) {
    SettingsStore::Instance().WriteInt(Key::AutoSelectAllTracks, autoSelect);
    controller.ClearAll();
    controller.RefreshTracks();
    ASSERT_EQ(host_.TrackRowCount(), 3);
    EXPECT_EQ(host_.checked, QList<bool>(3, autoSelect == 1))
        << "AutoSelectAllTracks=" << autoSelect;
    EXPECT_EQ(controller.CheckedAudioBytes() > 0, autoSelect == 1);
  }
}

TEST_F(RipControllerTest, ATickedDataTrackIsSkipped) {
  DiscImages mixed;
  const QString cue = mixed.Write({{"AUDIO", 30}, {"MODE1/2048", 20}});
  QString error;
  ASSERT_TRUE(VirtualDriveHost::Instance().Drive(0).LoadCue(cue, &error)) << error.toStdString();
  MainController controller(host_);
  host_.Watch(controller);
  controller.RefreshTracks();
  ASSERT_EQ(host_.TrackRowCount(), 2);
  EXPECT_EQ(host_.rows_[1].title, "Data track");
  controller.SelectAll();
  EXPECT_EQ(controller.CheckedAudioBytes(), host_.rows_[0].bytes) << "data tracks are not audio";

  const RipResult result = controller.RipCommand();
  ASSERT_EQ(result.outcomes.size(), 1);
  EXPECT_EQ(result.outcomes[0].trackIndex, 0);
  EXPECT_EQ(ReadFileBytes(result.outcomes[0].path).mid(WavEncoder::kHeaderBytes),
            mixed.TrackBytes(0));
  EXPECT_EQ(host_.checked, (QList<bool>{false, true}));
}

TEST_F(RipControllerTest, CancelDuringTheSecondTrackKeepsTheFirstAndStops) {
  ASSERT_TRUE(disc_.Insert());
  SettingsStore::Instance().WriteInt(Key::AutoEjectCD, 1);
  VirtualDriveHost::Instance().Drive(0).SetReadThrottleX(2.0);  // the cancel comes mid-track
  MainController controller(host_);
  host_.Watch(controller);
  controller.RefreshTracks();
  controller.SelectAll();
  // The cancel comes while the second track is read, once the first one's file is written.
  // The drive crawls from the second track on, so the wait for that file, however slow the
  // first track's codec is, ends while the second track is still being read.
  host_.onRun = [&](const RipRun& run) {
    if (run.ordinal != 2) return;
    VirtualDriveHost::Instance().Drive(0).SetReadThrottleX(0.02);
    EXPECT_TRUE(ProcessEventsUntil([&] { return QFileInfo::exists(TrackFile(1, "One")); }));
  };
  host_.cancelAtRun = 2;

  const RipResult result = controller.RipCommand();
  EXPECT_EQ(result.status, RipResult::Status::Cancelled);
  EXPECT_EQ(host_.finishes, 1) << "the end comes once";
  EXPECT_EQ(host_.runs.size(), 2);
  ASSERT_EQ(result.outcomes.size(), 1);
  EXPECT_EQ(result.outcomes[0].trackIndex, 0);
  EXPECT_EQ(Audio(TrackFile(1, "One")), disc_.TrackAudio(0));
  EXPECT_EQ(FilesUnder(out_.path()),
            QStringList{QDir(out_.path()).relativeFilePath(TrackFile(1, "One"))})
      << "no file and no temporary file of the cut-off tracks";
  EXPECT_EQ(host_.checked, (QList<bool>{false, true, true}));
  EXPECT_FALSE(VirtualDriveHost::Instance().Drive(0).IsTrayOpen())
      << "a cancelled rip does not eject";
}

TEST_F(RipControllerTest, ACancelledBinImageLeavesNothing) {
  ASSERT_TRUE(disc_.Insert());
  SettingsStore::Instance().WriteInt(Key::FormatSelected, ToStored(FormatId::CueBin));
  VirtualDriveHost::Instance().Drive(0).SetReadThrottleX(1.0);  // 176 sectors: over two seconds
  MainController controller(host_);
  host_.Watch(controller);
  controller.RefreshTracks();
  // The cancel comes once the first chunks are in the image's temporary file.
  constexpr qint64 kTwoChunks = 2 * 27 * 2352;
  host_.onRun = [&](const RipRun&) {
    EXPECT_TRUE(ProcessEventsUntil([&] {
      const QStringList files = FilesUnder(out_.path());
      return files.size() == 1 && files[0].endsWith(".part") &&
             QFileInfo(out_.filePath(files[0])).size() >= kTwoChunks;
    })) << FilesUnder(out_.path()).join(", ").toStdString();
  };
  host_.cancelAtRun = 1;

  const RipResult result = controller.RipCommand();
  EXPECT_EQ(result.status, RipResult::Status::Cancelled);
  ASSERT_EQ(result.outcomes.size(), 1);
  const QString image = result.outcomes[0].path;
  ASSERT_TRUE(image.endsWith(".bin")) << image.toStdString();
  EXPECT_TRUE(FilesUnder(out_.path()).isEmpty())
      << "neither the image, its temporary file nor a CUE sheet stays: "
      << FilesUnder(out_.path()).join(", ").toStdString();
}

TEST_F(RipControllerTest, ReadErrorsAreRetriedThenWrittenAsSilenceAndReported) {
  ASSERT_TRUE(disc_.Insert());
  VirtualDrive& drive = VirtualDriveHost::Instance().Drive(0);
  const int badSector = disc_.TrackStart(0) + 30;
  drive.FailSector(disc_.TrackStart(1) + 5, 2);  // reads on the third try
  drive.FailSector(badSector, -1);               // never reads
  MainController controller(host_);
  host_.Watch(controller);
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
  host_.Watch(controller);
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
  EXPECT_FALSE(controller.AutoRipPending());
}

TEST_F(RipControllerTest, DiscEventsCountOnlyForTheCurrentDrive) {
  ASSERT_TRUE(disc_.Insert());
  MainController controller(host_);
  host_.Watch(controller);
  controller.RefreshTracks();
  // A rip that waits for the disc whose tray it closed.
  VirtualDriveHost::Instance().Drive(0).SetTrayOpen(true);
  EXPECT_EQ(controller.RipCommand().status, RipResult::Status::Pending);
  ASSERT_TRUE(controller.AutoRipPending());
  SettingsStore::Instance().WriteInt(Key::AutoStartRipping, 1);

  controller.OnMediaChanged("vcd7", true);
  EXPECT_EQ(controller.RipsRun(), 0);
  EXPECT_TRUE(controller.AutoRipPending());

  controller.OnMediaChanged(DriveContext::Instance().DeviceName(), false);
  EXPECT_FALSE(controller.AutoRipPending()) << "removal clears a pending rip";
  EXPECT_EQ(controller.RipsRun(), 0);
}

TEST_F(RipControllerTest, RefreshReplacesAFormatTheDiscDoesNotAllow) {
  ASSERT_TRUE(disc_.Insert());
  SettingsStore::Instance().WriteInt(Key::FormatSelected,
                                     ToStored(FormatId::Iso));  // for an audio disc
  MainController controller(host_);
  host_.Watch(controller);
  controller.RefreshTracks();
  EXPECT_EQ(controller.Format(), FormatId::Mp3) << "an audio disc's first format";
  EXPECT_EQ(SettingsStore::Instance().ReadInt(Key::FormatSelected), ToStored(FormatId::Iso))
      << "the file keeps the user's choice";
  EXPECT_EQ(host_.formatChanges, QList<FormatId>{FormatId::Mp3})
      << "the toolbar and the radio mark follow";
  controller.RefreshTracks();
  EXPECT_EQ(host_.formatChanges.size(), 1) << "an allowed format is left alone";
}

// A format the disc does not allow rips nothing (an ISO image of an audio CD would be a file
// of zeros), whether the front end or the user chose it; the controller says which
// formats the disc allows, as the refresh told the front end.
TEST_F(RipControllerTest, AFormatTheDiscDoesNotAllowRipsNothing) {
  using F = FormatId;
  const QList<F> audio = {F::Mp3,  F::Aac,  F::Ogg, F::Wav,   F::Wma,
                          F::Flac, F::Opus, F::M4a, F::CueBin};
  const struct {
    const char* name;
    QList<TrackSpec> tracks;
    F format;
    QList<F> allowed;
  } cases[] = {
      {"ISO of an audio CD", {{"AUDIO", 30}, {"AUDIO", 30}}, F::Iso, audio},
      {"ISO of a mixed mode CD", {{"AUDIO", 30}, {"MODE1/2048", 20}}, F::Iso, audio},
      {"WAV of a data CD", {{"MODE1/2048", 20}}, F::Wav, {F::Iso, F::CueBin}},
      {"ISO of data then audio", {{"MODE1/2048", 20}, {"AUDIO", 30}}, F::Iso, {F::CueBin}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DiscImages disc;
    QString error;
    ASSERT_TRUE(VirtualDriveHost::Instance().Drive(0).LoadCue(disc.Write(c.tracks), &error))
        << error.toStdString();
    MainController controller(host_);
    host_.Watch(controller);
    controller.RefreshTracks();
    controller.SelectAll();
    EXPECT_EQ(host_.allowedFormats, c.allowed);
    RipOverrides overrides;
    overrides.format = c.format;
    const RipResult result = controller.RipCommand(overrides);
    EXPECT_EQ(result.status, RipResult::Status::NotAllowed);
    EXPECT_TRUE(result.outcomes.isEmpty());
    EXPECT_EQ(controller.DiscFormats(), c.allowed);
    EXPECT_EQ(controller.LastRip().status, RipResult::Status::NotAllowed);
    // The user's own choice is refused the same way.
    controller.ChooseFormat(c.format);
    EXPECT_EQ(controller.RipCommand().status, RipResult::Status::NotAllowed);
    EXPECT_TRUE(FilesUnder(out_.path()).isEmpty())
        << FilesUnder(out_.path()).join(", ").toStdString();
    EXPECT_TRUE(host_.runs.isEmpty());
    UseTestRipSettings(out_.path());
  }
  // An allowed image still rips.
  DiscImages data;
  QString error;
  ASSERT_TRUE(
      VirtualDriveHost::Instance().Drive(0).LoadCue(data.Write({{"MODE1/2048", 20}}), &error));
  MainController controller(host_);
  host_.Watch(controller);
  controller.RefreshTracks();
  RipOverrides bin;
  bin.format = F::CueBin;
  EXPECT_EQ(controller.RipCommand(bin).status, RipResult::Status::Done);
  EXPECT_EQ(host_.runs.size(), 1);
}

// WMA, the last format to get an encoder, rips like the others.
TEST_F(RipControllerTest, WmaFormatRipsTheTicked) {
  ASSERT_TRUE(disc_.Insert());
  SettingsStore::Instance().WriteInt(Key::FormatSelected, ToStored(FormatId::Wma));
  MainController controller(host_);
  host_.Watch(controller);
  controller.RefreshTracks();
  controller.SelectAll();
  const RipResult result = controller.RipCommand();
  EXPECT_EQ(result.status, RipResult::Status::Done);
  EXPECT_TRUE(host_.messages.isEmpty()) << host_.messages.join('\n').toStdString();
  ASSERT_FALSE(result.outcomes.isEmpty());
  for (const TrackOutcome& outcome : result.outcomes) {
    EXPECT_FALSE(outcome.failed) << outcome.errorText.toStdString();
    EXPECT_TRUE(QFileInfo(outcome.path).size() > 0) << outcome.path.toStdString();
  }
}

TEST_F(RipControllerTest, UseMultipleDevicesStaysOnTheOneRealDrive) {
  FakeSystemDrive real;
  QString error;
  ASSERT_TRUE(real.drive.LoadCue(disc_.CuePath(), &error)) << error.toStdString();
  VirtualDriveHost& virtualHost = VirtualDriveHost::Instance();
  virtualHost.Drive(0).RemoveDisc();
  virtualHost.SetListed(false);
  qunsetenv("KORVANE_VIRTUAL_DISC");
  ASSERT_TRUE(SetUpVirtualDriveFromEnvironment(&error)) << error.toStdString();
  EXPECT_FALSE(virtualHost.Drive(0).HasDisc()) << "no demo disc beside a real drive";
  EXPECT_EQ(ListDrives(), QStringList{"[sr0] KORVANE VIRTUAL CD"})
      << "an empty virtual drive is no drive";

  SettingsStore::Instance().WriteInt(Key::UseMultipleDevices, 1);
  MainController controller(host_);
  host_.Watch(controller);
  controller.RefreshTracks();
  controller.SelectAll();
  const RipResult result = controller.RipCommand();
  SettingsStore::Instance().WriteInt(Key::UseMultipleDevices, 0);
  EXPECT_EQ(result.status, RipResult::Status::Done);
  EXPECT_EQ(DriveContext::Instance().DeviceName(), "sr0") << "one drive: nothing moves";
  EXPECT_EQ(Audio(TrackFile(2, "Two")), disc_.TrackAudio(1));

  // Asked for, the virtual drive joins the list after the real one.
  ASSERT_TRUE(virtualHost.Drive(0).LoadCue(disc_.CuePath(), &error));
  EXPECT_EQ(ListDrives(), (QStringList{"[sr0] KORVANE VIRTUAL CD", "[vcd0] KORVANE VIRTUAL CD"}));
}

TEST_F(RipControllerTest, ADriveIndexOutsideTheListMeansTheFirstDrive) {
  TestDisc other{{TestTrack(30, "Solo", "Other")}, "Elsewhere", "Other"};
  InsertTwoDiscs(other);
  const QStringList drives = ListDrives();
  SettingsStore& store = SettingsStore::Instance();
  store.WriteInt(Key::UseMultipleDevices, 1);
  for (int stored : {-2, -1, int(drives.size()), 7}) {
    SCOPED_TRACE(stored);
    store.WriteString(Key::Device, "");
    store.WriteInt(Key::CurrentDriveIndex, stored);
    MainController controller(host_);
    host_.Watch(controller);
    controller.RefreshTracks();
    EXPECT_EQ(DriveContext::Instance().DeviceName(), DeviceNameOf(drives.first()));
    // A rip moves on from the drive in use, whatever the stored index says.
    ASSERT_TRUE(controller.ChooseDrive(int(drives.size()) - 2));
    store.WriteInt(Key::CurrentDriveIndex, stored);
    controller.RipCommand();
    EXPECT_EQ(DriveContext::Instance().DeviceName(), "vcd1");
    EXPECT_EQ(store.ReadInt(Key::CurrentDriveIndex), drives.size() - 1);
    EXPECT_EQ(store.ReadText(Key::Device), "[vcd1] KORVANE VIRTUAL CD");
  }
  store.WriteInt(Key::UseMultipleDevices, 0);
}

TEST_F(RipControllerTest, TheDriveSettingsChangeOnlyWithTheUsersChoice) {
  TestDisc other{{TestTrack(30, "Solo", "Other")}, "Elsewhere", "Other"};
  InsertTwoDiscs(other);
  SettingsStore& store = SettingsStore::Instance();
  store.WriteString(Key::Device, "");
  store.WriteInt(Key::CurrentDriveIndex, 0);
  MainController controller(host_);
  host_.Watch(controller);
  controller.SetPreferredDrive("vcd1");  // --drive vcd1: this run only
  controller.RefreshTracks();
  controller.SelectAll();
  EXPECT_EQ(controller.RipCommand().outcomes.size(), 1);
  EXPECT_EQ(DriveContext::Instance().DeviceName(), "vcd1");
  EXPECT_EQ(store.ReadText(Key::Device), "");
  EXPECT_EQ(store.ReadInt(Key::CurrentDriveIndex), 0);

  const QStringList drives = ListDrives();
  ASSERT_TRUE(controller.ChooseDrive(int(drives.size()) - 1));
  EXPECT_EQ(store.ReadText(Key::Device), drives.last());
  EXPECT_EQ(store.ReadInt(Key::CurrentDriveIndex), drives.size() - 1);
  EXPECT_FALSE(controller.ChooseDrive(int(drives.size())));
  EXPECT_FALSE(controller.ChooseDrive(-1));
  EXPECT_EQ(store.ReadText(Key::Device), drives.last());
}

TEST_F(RipControllerTest, AStalePendingRipNeitherBlocksARipNorLeavesTheTrayLocked) {
  ASSERT_TRUE(disc_.Insert());
  MainController controller(host_);
  host_.Watch(controller);
  controller.RefreshTracks();
  controller.SelectAll();
  // A rip left waiting by a tray that was open.
  VirtualDriveHost::Instance().Drive(0).SetTrayOpen(true);
  EXPECT_EQ(controller.RipCommand().status, RipResult::Status::Pending);
  ASSERT_TRUE(controller.AutoRipPending());
  ASSERT_FALSE(VirtualDriveHost::Instance().Drive(0).IsTrayOpen());

  const RipResult result = controller.RipCommand();
  EXPECT_EQ(result.status, RipResult::Status::Done);
  EXPECT_EQ(result.outcomes.size(), 3);
  EXPECT_EQ(Audio(TrackFile(3, "Three")), disc_.TrackAudio(2));
  EXPECT_FALSE(VirtualDriveHost::Instance().Drive(0).IsLocked());
  EXPECT_FALSE(controller.AutoRipPending());
}

TEST_F(RipControllerTest, NothingToRipFromIsNotReportedAsDone) {
  ASSERT_TRUE(disc_.Insert());
  MainController controller(host_);
  host_.Watch(controller);
  controller.RefreshTracks();
  VirtualDriveHost::Instance().Drive(0).RemoveDisc();
  const RipResult result = controller.RipCommand();
  EXPECT_EQ(result.status, RipResult::Status::NoDrive);
  EXPECT_TRUE(result.outcomes.isEmpty());
  EXPECT_FALSE(VirtualDriveHost::Instance().Drive(0).IsLocked());
}

TEST_F(RipControllerTest, ADiscEventDuringARipWaitsUntilItEnds) {
  ASSERT_TRUE(disc_.Insert());
  VirtualDrive& drive = VirtualDriveHost::Instance().Drive(0);
  drive.SetReadThrottleX(2.0);  // the event comes while the first track is read
  MainController controller(host_);
  host_.Watch(controller);
  controller.RefreshTracks();
  controller.SelectAll();
  struct DuringRip {
    bool trayMoved = true;
    QString playerRefusal;
  } seen;
  host_.onRun = [&](const RipRun& run) {
    if (run.ordinal != 1) return;
    QString error;
    // The same disc again: the drive reports a removal and an arrival.
    EXPECT_TRUE(drive.LoadCue(disc_.CuePath(), &error));
    seen.trayMoved = ToggleTray();
    const DriveClaim player(DriveUse::Player);
    seen.playerRefusal = player.Reason();
  };
  const RipResult result = controller.RipCommand();
  EXPECT_EQ(result.status, RipResult::Status::Done);
  ASSERT_EQ(result.outcomes.size(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(result.outcomes[i].failedSectors, 0) << i;
  EXPECT_EQ(Audio(TrackFile(1, "One")), disc_.TrackAudio(0));
  EXPECT_EQ(Audio(TrackFile(2, "Two")), disc_.TrackAudio(1));
  EXPECT_EQ(Audio(TrackFile(3, "Three")), disc_.TrackAudio(2));
  EXPECT_FALSE(seen.trayMoved) << "the tray stays shut while a rip reads";
  EXPECT_FALSE(drive.IsTrayOpen());
  EXPECT_TRUE(seen.playerRefusal.contains("rip")) << seen.playerRefusal.toStdString();
  EXPECT_EQ(host_.checked, (QList<bool>{false, false, false}));

  // Afterwards the held removal and arrival are handled: the disc is read again, twice.
  const int rowSetsAfterRip = host_.rowSets;
  EXPECT_TRUE(ProcessEventsUntil([&] { return host_.rowSets == rowSetsAfterRip + 2; }));
  EXPECT_EQ(host_.TrackRowCount(), 3);
  EXPECT_EQ(controller.RipsRun(), 1);
}

TEST_F(RipControllerTest, TheNextDrivesRipRunsAfterThePreviousReturned) {
  TestDisc other{{TestTrack(30, "Solo", "Other")}, "Elsewhere", "Other"};
  InsertTwoDiscs(other);
  SettingsStore& store = SettingsStore::Instance();
  store.WriteInt(Key::UseMultipleDevices, 1);
  store.WriteInt(Key::AutoStartRipping, 1);
  MainController controller(host_);
  host_.Watch(controller);
  controller.SetPreferredDrive("vcd0");
  controller.RefreshTracks();
  controller.SelectAll();
  bool firstReturned = false;
  QList<bool> returnedAtRun;
  host_.onRun = [&](const RipRun& run) {
    returnedAtRun.append(firstReturned);
    // The chain ends with the second drive.
    if (run.path.contains("Other")) store.WriteInt(Key::UseMultipleDevices, 0);
  };
  const RipResult first = controller.RipCommand();
  firstReturned = true;
  EXPECT_EQ(first.status, RipResult::Status::Done);
  EXPECT_EQ(first.outcomes.size(), 3);
  EXPECT_TRUE(
      ProcessEventsUntil([&] { return controller.RipsRun() == 2 && !controller.RipQueued(); }));
  store.WriteInt(Key::UseMultipleDevices, 0);
  store.WriteInt(Key::AutoStartRipping, 0);
  EXPECT_EQ(returnedAtRun, (QList<bool>{false, false, false, true}))
      << "never inside the first rip";
  ASSERT_EQ(controller.LastRip().outcomes.size(), 1);
  EXPECT_TRUE(controller.LastRip().outcomes[0].path.contains("Solo"));
  EXPECT_EQ(ReadFileBytes(controller.LastRip().outcomes[0].path).mid(WavEncoder::kHeaderBytes),
            other.TrackAudio(0));
}

TEST_F(RipControllerTest, RunsFollowTheDiscAndTheTotalProgressEndsAtItsEnd) {
  ASSERT_TRUE(disc_.Insert());
  MainController controller(host_);
  host_.Watch(controller);
  controller.RefreshTracks();
  controller.SelectAll();
  controller.SetChecked(1, false);
  controller.RipCommand();
  ASSERT_EQ(host_.runDetails.size(), 2);
  const RipRun& one = host_.runDetails[0];
  const RipRun& three = host_.runDetails[1];
  EXPECT_EQ(one.trackNumber, 1);
  EXPECT_EQ(three.trackNumber, 3);
  EXPECT_EQ(one.ordinal, 1);
  EXPECT_EQ(three.ordinal, 2);
  EXPECT_EQ(three.runCount, 2);
  EXPECT_EQ(three.path, TrackFile(3, "Three"));
  ASSERT_FALSE(host_.progressSeen.isEmpty());
  double total = 0;
  for (const RipProgress& progress : host_.progressSeen) {
    EXPECT_GE(progress.totalPercent, total) << "the total never goes back";
    EXPECT_GE(progress.runPercent, 0.0);
    EXPECT_LE(progress.runPercent, 100.0);
    EXPECT_GE(progress.speed, 0.0);
    total = progress.totalPercent;
  }
  EXPECT_DOUBLE_EQ(total, 100.0) << "the last report counts every track written";
}

TEST_F(RipControllerTest, ALookupsResultRenamesTheRowsAndIsCached) {
  ASSERT_TRUE(disc_.Insert());
  MainController controller(host_);
  host_.Watch(controller);
  controller.RefreshTracks();
  controller.SelectAll();
  controller.SetChecked(0, false);
  host_.lookup = [&] {
    DiscInfo& info = controller.Disc();
    info.album = "Found";
    info.trackTitles[1] = "Second";
    return true;
  };
  controller.FreeDbCommand();
  EXPECT_EQ(host_.discInfoChanges, 1);
  EXPECT_EQ(host_.rows_[1].title, "Second");
  EXPECT_EQ(host_.checked, (QList<bool>{false, true, true})) << "the checks stay";
  EXPECT_TRUE(controller.DiscCached());
  DiscInfo stored;
  EXPECT_TRUE(InitForCurrentDisc(stored));
  EXPECT_EQ(stored.album, "Found");
  EXPECT_EQ(stored.GetTrackTitle(1), "Second");

  host_.lookup = [] { return false; };
  controller.FreeDbCommand();
  EXPECT_EQ(host_.discInfoChanges, 1) << "a lookup without a result changes nothing";
}

// The automatic lookup asks the sources in the stored order, the second only when the first
// brought nothing.
TEST_F(RipControllerTest, TheAutomaticLookupFollowsTheSourceOrder) {
  ASSERT_TRUE(disc_.Insert());
  MainController controller(host_);
  controller.RefreshTracks();
  QStringList asked;
  bool musicBrainzKnows = false;
  bool freeDbKnows = false;
  host_.musicBrainzLookup = [&] {
    asked << "MusicBrainz";
    return musicBrainzKnows;
  };
  host_.lookup = [&] {
    asked << "freedb";
    return freeDbKnows;
  };
  const struct {
    LookupOrder order;
    bool musicBrainzKnows, freeDbKnows;
    QStringList asked;
  } cases[] = {
      {LookupOrder::MusicBrainzFirst, true, true, {"MusicBrainz"}},
      {LookupOrder::MusicBrainzFirst, false, true, {"MusicBrainz", "freedb"}},
      {LookupOrder::FreeDbFirst, true, false, {"freedb", "MusicBrainz"}},
      {LookupOrder::FreeDbFirst, true, true, {"freedb"}},
      {LookupOrder::MusicBrainzOnly, false, true, {"MusicBrainz"}},
      {LookupOrder::FreeDbOnly, true, false, {"freedb"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToStored(c.order));
    IniFile(SettingsStore::kFileName).WriteInt(Key::MbLookupOrder, ToStored(c.order));
    asked.clear();
    musicBrainzKnows = c.musicBrainzKnows;
    freeDbKnows = c.freeDbKnows;
    const int changesBefore = host_.discInfoChanges;
    controller.AutomaticLookup();
    EXPECT_EQ(asked, c.asked);
    EXPECT_EQ(host_.discInfoChanges - changesBefore,
              (c.musicBrainzKnows && c.asked.contains("MusicBrainz")) ||
                      (c.freeDbKnows && c.asked.contains("freedb"))
                  ? 1
                  : 0);
  }
  IniFile(SettingsStore::kFileName).WriteInt(Key::MbLookupOrder, 77);
  asked.clear();
  musicBrainzKnows = true;
  controller.AutomaticLookup();
  EXPECT_EQ(asked, QStringList{"MusicBrainz"}) << "an unknown order is MusicBrainz first";
}

}  // namespace
