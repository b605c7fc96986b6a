// The drive layer against the virtual drive, through both transports: tables of contents and
// disc types of real images, sector reads and their bounds, speeds, the tray, CD-TEXT, the
// volume label, sense data, and choosing between identical drives.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <vector>

#include "drive/cd_device.h"
#include "drive/cd_text.h"
#include "drive/disc_type.h"
#include "drive/drive_actions.h"
#include "drive/drive_claim.h"
#include "drive/drive_context.h"
#include "drive/virtual/virtual_drive.h"
#include "settings/settings_store.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

constexpr const char* kVirtualName = "[vcd0] KORVANE VIRTUAL CD";
constexpr int kBufferBytes = 27 * 2352;

class VirtualDiscTest : public ::testing::TestWithParam<DriveAccess> {
 protected:
  void SetUp() override {
    // The virtual drives are asked for before the transport looks.
    VirtualDriveHost::Instance().SetListed(true);
    SettingsStore::Instance().WriteInt(Key::AccessMethod, ToStored(GetParam()));
    ASSERT_TRUE(UseConfiguredDevice());
  }

  VirtualDrive& Drive(int index = 0) { return VirtualDriveHost::Instance().Drive(index); }
  CdDevice& Device() { return *DriveContext::Instance().device.load(); }
  DriveContext& Context() { return DriveContext::Instance(); }

  void Insert(const QList<TrackSpec>& tracks, const QString& title = {},
              const QString& performer = {}, int drive = 0) {
    QString error;
    ASSERT_TRUE(Drive(drive).LoadCue(images.Write(tracks, title, performer), &error))
        << error.toStdString();
    ASSERT_TRUE(Context().SelectDriveByDisplayName(kVirtualName));
    // As every caller does before reading sectors: the lead-out bound needs the TOC.
    int count = 0;
    ASSERT_TRUE(Device().GetTrackCount(count));
  }

  // The command blocks vcd0 received since the log was last cleared.
  QList<QByteArray> Log() { return Drive().CommandLog(); }

  std::vector<uint8_t> ReadAllAudio(int first, int end) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> buffer(kBufferBytes);
    EXPECT_TRUE(Device().Open());
    for (int lba = first; lba <= end; lba += 27) {
      const int count = std::min(27, end - lba + 1);
      int length = kBufferBytes;
      EXPECT_TRUE(Device().ReadAudio(lba, count, buffer.data(), length)) << lba;
      out.insert(out.end(), buffer.begin(), buffer.begin() + length);
    }
    Device().Close();
    return out;
  }

  TempConfig config;
  DiscImages images;
};

INSTANTIATE_TEST_SUITE_P(Transports, VirtualDiscTest,
                         ::testing::Values(DriveAccess::PassThrough, DriveAccess::Generic),
                         [](const auto& info) {
                           return info.param == DriveAccess::Generic ? "Generic" : "PassThrough";
                         });

struct DiscCase {
  const char* name;
  QList<TrackSpec> tracks;
  bool dvd;
  const char* type;
  DiscKind kind;
};

TEST_P(VirtualDiscTest, TrackBoundsAndDiscTypesMatchTheImage) {
  using K = DiscKind;
  const std::vector<DiscCase> cases = {
      {"audio", {{"AUDIO", 1000}, {"AUDIO", 613}}, false, "CDiscTypeAudioCD", K::AudioCd},
      {"mixed mode",
       {{"AUDIO", 800}, {"AUDIO", 75}, {"MODE1/2048", 400}},
       false,
       "CDiscTypeMixedModeCD",
       K::MixedModeCd},
      {"data", {{"MODE1/2048", 500}}, false, "CDiscTypeDataCD", K::DataCd},
      {"raw mode 2 data", {{"MODE2/2352", 300}}, false, "CDiscTypeDataCD", K::DataCd},
      {"data then audio",
       {{"MODE1/2352", 300}, {"AUDIO", 400}},
       false,
       "CDiscTypeDataCDMultisession",
       K::DataCdMultisession},
      {"dvd", {{"MODE1/2048", 500}}, true, "CDiscTypeDVD", K::Dvd},
      {"dvd with sessions",
       {{"MODE1/2048", 500}, {"MODE1/2048", 200}},
       true,
       "CDiscTypeDVDMultisession",
       K::DvdMultisession},
  };
  for (const DiscCase& c : cases) {
    SCOPED_TRACE(c.name);
    Drive().SetDvd(c.dvd);
    Insert(c.tracks);
    int count = 0;
    ASSERT_TRUE(Device().GetTrackCount(count));
    ASSERT_EQ(count, c.tracks.size());
    int lba = 0;
    for (int i = 0; i < count; ++i) {
      SCOPED_TRACE(i);
      const int end = lba + c.tracks[i].sectors - 1;
      int start = -1, last = -1, seconds = -1;
      int64_t bytes = -1;
      bool data = false;
      ASSERT_TRUE(Device().GetTrackStart(i, start) && Device().GetTrackEnd(i, last) &&
                  Device().GetTrackSize(i, bytes) && Device().GetTrackSeconds(i, seconds) &&
                  Device().IsDataTrack(i, data));
      EXPECT_EQ(start, lba);
      EXPECT_EQ(last, end);
      // Size and time are those of the sectors a rip reads, start to end inclusive.
      EXPECT_EQ(bytes, int64_t(end - lba + 1) * 2352);
      EXPECT_EQ(seconds, (end - lba + 1) / 75);
      EXPECT_EQ(data, c.tracks[i].mode != "AUDIO");
      lba = end + 1;
    }
    EXPECT_FALSE(Device().GetTrackStart(count, lba));
    const std::optional<DiscType> type = DetectDiscType();
    ASSERT_TRUE(type);
    EXPECT_EQ(type->name, c.type);
    EXPECT_EQ(type->kind, c.kind);
    EXPECT_EQ(Context().isDvd.load(), c.dvd ? 1 : 0);
    int64_t discSize = 0;
    ASSERT_TRUE(Device().GetDiscSize(0, discSize));
    // A DVD's size is its capacity (last block x 2048), whichever track is asked about.
    if (c.dvd) {
      EXPECT_EQ(discSize, int64_t(lba - 1) * 2048);
    }
  }
}

TEST_P(VirtualDiscTest, DvdSizeIsTheCapacityAndFailsWhenItCannotBeRead) {
  Drive().SetDvd(true);
  Insert({{"MODE1/2048", 4000}});
  int64_t bytes = 0;
  ASSERT_TRUE(Device().GetDiscSize(0, bytes));
  EXPECT_EQ(bytes, 3999 * 2048);
  Drive().SetTrayOpen(true);
  EXPECT_FALSE(Device().GetDiscSize(0, bytes));
}

TEST_P(VirtualDiscTest, AudioReadsStopAtTheLeadOutAndAtTheBufferSize) {
  Insert({{"AUDIO", 500}});
  std::vector<uint8_t> buffer(kBufferBytes + 2352);
  ASSERT_TRUE(Device().Open());
  Drive().ClearCommandLog();
  int length = kBufferBytes;
  EXPECT_TRUE(Device().ReadAudio(490, 10, buffer.data(), length));
  EXPECT_EQ(length, 10 * 2352);
  ASSERT_EQ(Log().size(), 1);
  EXPECT_EQ(Log()[0].left(10), QByteArray::fromHex("BE00000001EA00000AF0"));
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(buffer.data()), length),
            images.TrackBytes(0).mid(490 * 2352, length));

  length = kBufferBytes;
  EXPECT_FALSE(Device().ReadAudio(491, 10, buffer.data(), length));  // would reach the lead-out
  length = kBufferBytes;
  EXPECT_FALSE(
      Device().ReadAudio(0, 28, buffer.data(), length));  // 28 sectors do not fit 63504 bytes
  EXPECT_EQ(length, kBufferBytes);
  EXPECT_EQ(Log().size(), 1) << "refused requests send nothing";
  EXPECT_TRUE(Device().ReadAudio(0, 27, buffer.data(), length));
  Device().Close();
}

TEST_P(VirtualDiscTest, ImageReadsBackBitExact) {
  Insert({{"AUDIO", 700}, {"AUDIO", 333}, {"MODE1/2048", 60}, {"MODE1/2352", 40}});
  const std::vector<uint8_t> audio = ReadAllAudio(0, 1032);
  const QByteArray expected = images.TrackBytes(0) + images.TrackBytes(1);
  ASSERT_EQ(audio.size(), size_t(expected.size()));
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(audio.data()), audio.size()), expected);

  ASSERT_TRUE(Device().Open());
  // Raw data sectors carry the 2048 user bytes after the 16-byte sync and header.
  std::vector<uint8_t> raw(20 * 2352);
  ASSERT_TRUE(Device().ReadRaw(1033, 20, 2352, raw.data(), nullptr));
  for (int s = 0; s < 20; ++s) {
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(raw.data()) + s * 2352 + 16, 2048),
              images.TrackBytes(2).mid(s * 2048, 2048))
        << s;
  }
  std::vector<uint8_t> user(31 * 2048);
  ASSERT_TRUE(Device().ReadData(1033, 31, 2048, user.data(), nullptr));
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(user.data()), user.size()),
            images.TrackBytes(2).left(31 * 2048));
  // A MODE1/2352 image is returned as stored.
  ASSERT_TRUE(Device().ReadRaw(1093, 20, 2352, raw.data(), nullptr));
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(raw.data()), raw.size()),
            images.TrackBytes(3).left(20 * 2352));
  Device().Close();
}

TEST_P(VirtualDiscTest, FailingSectorsAndAbsentDiscsReportTheirSense) {
  Insert({{"AUDIO", 300}, {"MODE1/2048", 100}});
  Drive().FailSector(120, 1);
  std::vector<uint8_t> buffer(kBufferBytes);
  SenseSummary sense;
  ASSERT_TRUE(Device().Open());
  EXPECT_FALSE(Device().ReadRaw(110, 20, 2352, buffer.data(), &sense));
  EXPECT_EQ(sense.senseKey, 3);
  EXPECT_EQ(sense.asc, 0x11);
  sense = {};
  EXPECT_TRUE(Device().ReadRaw(110, 20, 2352, buffer.data(), &sense));
  EXPECT_EQ(sense.senseKey, 0);
  EXPECT_FALSE(Device().ReadData(395, 10, 2048, buffer.data(), &sense));  // past the lead-out
  EXPECT_EQ(sense.senseKey, 5);
  EXPECT_EQ(sense.asc, 0x21);
  Drive().FailSector(50, -1);
  int length = kBufferBytes;
  EXPECT_FALSE(Device().ReadAudio(40, 20, buffer.data(), length));
  EXPECT_FALSE(Device().ReadAudio(40, 20, buffer.data(), length));
  Device().Close();

  EXPECT_EQ(CurrentDiscState(), DiscState::Ready);
  Drive().SetTrayOpen(true);
  EXPECT_FALSE(Device().TestUnitReady());
  EXPECT_EQ(CurrentDiscState(), DiscState::TrayOpen);
  EXPECT_FALSE(DetectDiscType());
  Drive().RemoveDisc();
  Drive().SetTrayOpen(false);
  EXPECT_EQ(CurrentDiscState(), DiscState::NoDisc);
  Device().ClearToc();
  int count = 0;
  EXPECT_FALSE(Device().GetTrackCount(count));
}

TEST_P(VirtualDiscTest, SpeedsInCdAndDvdUnits) {
  Drive().SetMaxSpeedKBps(7056);
  Insert({{"AUDIO", 300}});
  EXPECT_EQ(Device().GetMaxReadSpeed(), 40);
  Drive().ClearCommandLog();
  EXPECT_TRUE(Device().ApplyReadSpeed("16"));
  EXPECT_EQ(Log().last().left(4), QByteArray::fromHex("BB000B10"));
  EXPECT_EQ(Drive().CurrentSpeedKBps(), 2832);
  EXPECT_TRUE(Device().ApplyReadSpeed("MAX"));
  EXPECT_EQ(Log().last().left(4), QByteArray::fromHex("BB00FFFF"));
  EXPECT_EQ(Drive().CurrentSpeedKBps(), 7056);
  Drive().ClearCommandLog();
  EXPECT_TRUE(Device().ApplyReadSpeed("DEFAULT"));
  EXPECT_TRUE(Log().isEmpty());

  Drive().SetDvd(true);
  ASSERT_TRUE(Context().SelectDriveByDisplayName(kVirtualName));
  EXPECT_EQ(Device().speedUnitSet.load(), 1385u);
  EXPECT_EQ(Device().GetMaxReadSpeed(), 5);
  EXPECT_TRUE(Device().SetSpeed(4));
  EXPECT_EQ(Log().last().left(4), QByteArray::fromHex("BB0015A4"));
}

TEST_P(VirtualDiscTest, SpeedDetectionKeepsTheFactorsTheDriveReportsBackAndRestoresTheSpeed) {
  Drive().SetMaxSpeedKBps(4234);
  Drive().SetAcceptedSpeedsKBps({706, 1411, 2822, 4234});  // 4x, 8x, 16x, 24x
  Insert({{"AUDIO", 300}});
  ASSERT_TRUE(Device().SetSpeedKBps(1411));
  QList<int> factors = {99};
  ASSERT_TRUE(DetectSpeeds(factors));
  EXPECT_EQ(factors, QList<int>({4, 8, 16, 24}));
  EXPECT_EQ(Drive().CurrentSpeedKBps(), 1411);

  Drive().SetTrayOpen(true);
  Drive().ClearCommandLog();
  EXPECT_TRUE(DetectSpeeds(factors));
  EXPECT_TRUE(factors.isEmpty());
  for (const QByteArray& cdb : Log()) EXPECT_NE(uint8_t(cdb[0]), 0xBB);

  Context().present = 0;
  EXPECT_FALSE(DetectSpeeds(factors));
}

TEST_P(VirtualDiscTest, ToggleTrayStopsPlaybackThenMovesTheTrayUnlessLocked) {
  Insert({{"AUDIO", 300}});
  int stops = 0;
  Context().SetStopPlaybackHook([&stops] { ++stops; });
  ToggleTray();
  EXPECT_TRUE(Drive().IsTrayOpen());
  bool closed = true;
  ASSERT_TRUE(Device().IsTrayClosed(closed));
  EXPECT_FALSE(closed);
  ToggleTray();
  EXPECT_FALSE(Drive().IsTrayOpen());
  EXPECT_EQ(stops, 2);

  ASSERT_TRUE(Device().LockTray());
  EXPECT_FALSE(Device().EjectTray());
  ToggleTray();
  EXPECT_FALSE(Drive().IsTrayOpen());
  Device().UnlockTray();
  EXPECT_TRUE(Device().EjectTray());
  EXPECT_TRUE(Drive().IsTrayOpen());
  Context().SetStopPlaybackHook({});
}

TEST_P(VirtualDiscTest, TheDriveHasOneUserAtATime) {
  Insert({{"AUDIO", 300}, {"AUDIO", 200}});
  const Toc::Buffer toc = Device().tocBuffer;
  {
    const DriveClaim rip(DriveUse::Rip);
    ASSERT_TRUE(rip.Held());
    EXPECT_TRUE(rip.Reason().isEmpty());
    const DriveClaim player(DriveUse::Player);
    EXPECT_FALSE(player.Held());
    EXPECT_EQ(player.Reason(), "the drive is busy: a rip is reading it");
    EXPECT_FALSE(ToggleTray());
    EXPECT_FALSE(Drive().IsTrayOpen());
    // Reselecting would clear the table of contents and reopen the device under the reader.
    EXPECT_FALSE(Context().SelectDriveByDisplayName(kVirtualName));
    EXPECT_EQ(Device().tocBuffer, toc);
    EXPECT_EQ(Context().present, 1);
  }
  EXPECT_EQ(DriveClaim::CurrentUse(), DriveUse::None) << "a claim ends with its scope";
  EXPECT_TRUE(ToggleTray());
  EXPECT_TRUE(Drive().IsTrayOpen());
  EXPECT_TRUE(ToggleTray());
}

TEST_P(VirtualDiscTest, CdTextRecordsFromTheImage) {
  Insert({{"AUDIO", 300, "A Title Longer Than Twelve Bytes", "First Performer"},
          {"AUDIO", 300, "Two", "Zoë Ångström"},
          {"AUDIO", 300, "", ""}},
         "The Album", "The Band");
  CdText text;
  ASSERT_TRUE(LoadCdText(text));
  ASSERT_EQ(text.records.size(), 4);
  EXPECT_EQ(text.records[0].title, "The Album");
  EXPECT_EQ(text.records[0].performer, "The Band");
  EXPECT_EQ(text.records[1].title, "A Title Longer Than Twelve Bytes");
  EXPECT_EQ(text.records[1].performer, "First Performer");
  EXPECT_EQ(text.records[2].title, "Two");
  EXPECT_EQ(text.records[2].performer, QString::fromUtf8("Zoë Ångström"));
  EXPECT_EQ(text.records[3].title, "");

  Insert({{"AUDIO", 300}});
  EXPECT_FALSE(LoadCdText(text));
}

TEST_P(VirtualDiscTest, VolumeLabelComesFromTheFirstDataTrack) {
  Insert({{"AUDIO", 300}, {"MODE1/2048", 100, {}, {}, "KORVANE_TEST"}});
  QString label;
  ASSERT_TRUE(GetVolumeLabel(label));
  EXPECT_EQ(label, "KORVANE_TEST");
  Insert({{"MODE1/2352", 100, {}, {}, "RAW_DISC"}});
  ASSERT_TRUE(GetVolumeLabel(label));
  EXPECT_EQ(label, "RAW_DISC");
  Insert({{"MODE1/2048", 100}});  // no descriptor
  EXPECT_FALSE(GetVolumeLabel(label));
  Insert({{"AUDIO", 300}});
  EXPECT_FALSE(GetVolumeLabel(label));
}

TEST_P(VirtualDiscTest, IdenticalDrivesAreChosenByTheirDeviceName) {
  VirtualDrive& second = VirtualDriveHost::Instance().AddDrive();
  QString error;
  ASSERT_TRUE(second.LoadCue(images.Write({{"AUDIO", 300}, {"AUDIO", 300}}), &error));
  DiscImages otherImages;
  ASSERT_TRUE(Drive().LoadCue(otherImages.Write({{"AUDIO", 300}}), &error));

  QStringList drives;
  ASSERT_TRUE(Device().EnumerateDrives(drives));
  ASSERT_GE(drives.size(), 2);
  EXPECT_EQ(drives.mid(drives.size() - 2),
            QStringList({kVirtualName, "[vcd1] KORVANE VIRTUAL CD"}));

  int count = 0;
  ASSERT_TRUE(Context().SelectDriveByDisplayName("[vcd1] KORVANE VIRTUAL CD"));
  EXPECT_EQ(Context().DeviceName(), "vcd1");
  ASSERT_TRUE(Device().GetTrackCount(count));
  EXPECT_EQ(count, 2);
  ASSERT_TRUE(Context().SelectDriveByDisplayName(kVirtualName));
  ASSERT_TRUE(Device().GetTrackCount(count));
  EXPECT_EQ(count, 1);
}

TEST_P(VirtualDiscTest, PreferredDriveIsTheOneAskedForThenTheSettingThenTheFirst) {
  VirtualDriveHost::Instance().AddDrive();
  QString chosen;
  EXPECT_EQ(SelectPreferredDrive("vcd1", chosen), DriveChoice::Selected);
  EXPECT_EQ(chosen, "[vcd1] KORVANE VIRTUAL CD");
  EXPECT_EQ(SelectPreferredDrive("sr9", chosen), DriveChoice::UnknownDrive);
  SettingsStore::Instance().WriteString(Key::Device, "[vcd1] KORVANE VIRTUAL CD");
  EXPECT_EQ(SelectPreferredDrive("", chosen), DriveChoice::Selected);
  EXPECT_EQ(Context().DeviceName(), "vcd1");
  SettingsStore::Instance().WriteString(Key::Device, "[sr3] GONE DRIVE");
  EXPECT_EQ(SelectPreferredDrive("", chosen), DriveChoice::Selected);
  EXPECT_EQ(chosen, ListDrives().first());
}

}  // namespace
