// The two transports as the system sees them: every command field Korvane fills, how the
// drive's answer becomes a result and a sense summary, and when the drive is opened and closed.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "drive/aspi_device.h"
#include "drive/drive_context.h"
#include "drive/spti_device.h"
#include "recording_host.h"
#include "support/test_support.h"

namespace {

constexpr const char* kDisplayName = "[sr0] HL-DT-STDVDRAM GH24NSD1";

class SptiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DriveContext::Instance().device = &device;
    ASSERT_TRUE(DriveContext::Instance().SelectDriveByDisplayName(kDisplayName));
    host.sent.clear();
  }
  const RecordingHost::Sent& Last() const { return host.sent.back(); }

  TempConfig config;
  RecordingHost host;
  SptiDevice& device = SptiDevice::Instance();
};

constexpr ScsiCommand::Direction kFromDevice = ScsiCommand::Direction::FromDevice;
constexpr ScsiCommand::Direction kNoData = ScsiCommand::Direction::None;

struct HeaderCase {
  const char* name;
  std::function<bool(CdDevice&, std::vector<uint8_t>&)> run;
  std::vector<uint8_t> cdb;  // the whole command block, cdbLength bytes
  ScsiCommand::Direction direction;
  unsigned length;
};

std::vector<uint8_t> Cdb(std::initializer_list<uint8_t> bytes, size_t length) {
  std::vector<uint8_t> cdb(bytes);
  cdb.resize(length, 0);
  return cdb;
}

TEST_F(SptiTest, EveryCommandFillsTheHeaderAsItsGroupAndDirectionRequire) {
  const std::vector<HeaderCase> cases = {
      {"TestUnitReady", [](CdDevice& d, auto&) { return d.TestUnitReady(); }, Cdb({0x00}, 6),
       kFromDevice, 255},
      {"Inquiry",
       [](CdDevice& d, auto& buf) {
         buf.resize(255);
         return d.Open() && d.Inquiry(buf.data());
       },
       Cdb({0x12, 0, 0, 0, 0xFF}, 6), kFromDevice, 255},
      {"EjectTray", [](CdDevice& d, auto&) { return d.EjectTray(); }, Cdb({0x1B, 1, 0, 0, 2}, 6),
       kNoData, 0},
      {"LoadTray", [](CdDevice& d, auto&) { return d.LoadTray(); }, Cdb({0x1B, 1, 0, 0, 3}, 6),
       kFromDevice, 255},
      {"StartUnit", [](CdDevice& d, auto&) { return d.StartUnit(); }, Cdb({0x1B, 0, 0, 0, 1}, 6),
       kNoData, 0},
      {"StopUnit", [](CdDevice& d, auto&) { return d.StopUnit(); }, Cdb({0x1B}, 6), kNoData, 0},
      {"LockTray", [](CdDevice& d, auto&) { return d.LockTray(); }, Cdb({0x1E, 0, 0, 0, 1}, 6),
       kFromDevice, 255},
      {"UnlockTray", [](CdDevice& d, auto&) { return d.UnlockTray(); }, Cdb({0x1E}, 6), kFromDevice,
       255},
      {"ReadCapacity",
       [](CdDevice& d, auto&) {
         d.ReadCapacity();
         return true;
       },
       Cdb({0x25}, 10), kFromDevice, 8},
      {"ReadToc", [](CdDevice& d, auto&) { return d.ReadToc(); },
       Cdb({0x43, 2, 0, 0, 0, 0, 0, 0x03, 0x24}, 10), kFromDevice, 804},
      {"ReadCdText",
       [](CdDevice& d, auto& buf) {
         buf.resize(CdDevice::kCdTextBufferSize);
         int length = 0;
         d.ReadCdText(buf.data(), length);
         return true;
       },
       Cdb({0x43, 0, 5, 0, 0, 0, 0, 0xFF, 0x00}, 10), kFromDevice, 65280},
      {"GetMaxReadSpeed", [](CdDevice& d, auto&) { return d.GetMaxReadSpeed() == 40; },
       Cdb({0x5A, 0, 0x2A, 0, 0, 0, 0, 0x01, 0x00}, 10), kFromDevice, 256},
      {"ReadData",
       [](CdDevice& d, auto& buf) {
         buf.resize(3 * 2048);
         return d.ReadData(0x12345, 3, 2048, buf.data(), nullptr);
       },
       Cdb({0x28, 0, 0, 0x01, 0x23, 0x45, 0, 0, 3}, 10), kFromDevice, 3 * 2048},
      {"IsDvd", [](CdDevice& d, auto&) { return !d.IsDvd(); },
       Cdb({0xAD, 0, 0, 0, 0, 0, 0, 0, 0x08, 0x00}, 12), kFromDevice, 2048},
      {"SetMaxSpeed", [](CdDevice& d, auto&) { return d.SetMaxSpeed(); },
       Cdb({0xBB, 0, 0xFF, 0xFF}, 12), kFromDevice, 12},
      {"SetSpeed48", [](CdDevice& d, auto&) { return d.SetSpeed(48); },
       Cdb({0xBB, 0, 0x21, 0x30}, 12), kFromDevice, 12},
      {"IsTrayClosed",
       [](CdDevice& d, auto&) {
         bool closed = false;
         return d.IsTrayClosed(closed) && closed;
       },
       Cdb({0xBD, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF}, 12), kFromDevice, 12},
      {"ReadRaw",
       [](CdDevice& d, auto& buf) {
         buf.resize(2 * 2352);
         return d.ReadRaw(0x10203, 2, 2352, buf.data(), nullptr);
       },
       Cdb({0xBE, 0, 0, 0x01, 0x02, 0x03, 0, 0, 2, 0xF8}, 12), kFromDevice, 2 * 2352},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.name);
    host.sent.clear();
    std::vector<uint8_t> buffer;
    device.Open();
    EXPECT_TRUE(c.run(device, buffer));
    ASSERT_FALSE(host.sent.empty());
    const RecordingHost::Sent& s = Last();
    EXPECT_EQ(s.cdb, c.cdb);
    EXPECT_EQ(s.direction, c.direction);
    EXPECT_EQ(s.length, c.length);
    EXPECT_EQ(s.hasBuffer, c.length > 0);
    EXPECT_EQ(s.senseLength, CdDevice::kSenseBytes);
    EXPECT_EQ(s.timeout, 8000u);
    device.Close();
  }
}

TEST_F(SptiTest, GuardedCommandsAskTestUnitReadyFirstAndGiveUpWhenNotReady) {
  EXPECT_TRUE(device.SetSpeed(4));
  ASSERT_EQ(host.sent.size(), 2u);
  EXPECT_EQ(host.sent[0].cdb[0], 0x00);
  EXPECT_EQ(host.sent[1].cdb[0], 0xBB);

  host.sent.clear();
  host.answer = [](const uint8_t* cdb, ScsiCommand& command) {
    if (cdb[0] == 0x00) RecordingHost::CheckCondition(command, 2, 0x3A, 0);
    return 0;
  };
  EXPECT_FALSE(device.SetSpeed(4));
  EXPECT_EQ(device.ReadCapacity(), 0u);
  EXPECT_EQ(device.GetMaxReadSpeed(), 0);
  for (const auto& s : host.sent) EXPECT_EQ(s.cdb[0], 0x00) << "only TEST UNIT READY goes out";
}

struct OutcomeCase {
  const char* name;
  RecordingHost::Answer answer;
  bool result;
  SenseSummary sense;
};

TEST_F(SptiTest, ExecuteSucceedsOnlyForGoodStatusAndAlwaysFillsTheSense) {
  const std::vector<OutcomeCase> cases = {
      {"good", [](const uint8_t*, ScsiCommand&) { return 0; }, true, {}},
      {"check condition",
       [](const uint8_t*, ScsiCommand& command) {
         RecordingHost::CheckCondition(command, 3, 0x11, 0);
         return 0;
       },
       false,
       {3, 0x11, 0, 0}},
      {"illegal request with information",
       [](const uint8_t*, ScsiCommand& command) {
         const uint8_t sense[] = {0x70, 0, 0x25, 0x00, 0x01, 0x02, 0x03,
                                  0x0A, 0, 0,    0,    0,    0x24, 0x01};
         std::memcpy(command.sense, sense, sizeof sense);
         command.status = kScsiCheckCondition;
         return 0;
       },
       false,
       {0x25, 0x24, 0x01, 0x00010203}},
      {"refused by the system", [](const uint8_t*, ScsiCommand&) { return -EPERM; }, false, {}},
      {"adapter or driver failed (a time-out)",
       [](const uint8_t*, ScsiCommand& command) {
         command.transportFailed = true;
         return 0;
       },
       false,
       {}},
  };
  for (const OutcomeCase& c : cases) {
    SCOPED_TRACE(c.name);
    host.answer = c.answer;
    uint8_t buffer[2048];
    SenseSummary sense{0xEE, 0xEE, 0xEE, 0xEEEEEEEE};
    ASSERT_TRUE(device.Open());
    EXPECT_EQ(device.ReadData(100, 1, 2048, buffer, &sense), c.result);
    device.Close();
    EXPECT_EQ(sense.senseKey, c.sense.senseKey);
    EXPECT_EQ(sense.asc, c.sense.asc);
    EXPECT_EQ(sense.ascq, c.sense.ascq);
    EXPECT_EQ(sense.information, c.sense.information);
  }
}

TEST_F(SptiTest, DataTowardsTheDriveIsSentAsSuch) {
  const uint8_t cdb[CdDevice::kCdbSize] = {0x55, 0x10, 0, 0, 0, 0, 0, 0, 8};  // MODE SELECT (10)
  uint8_t page[8] = {};
  ASSERT_TRUE(device.Open());
  EXPECT_TRUE(device.Execute(cdb, page, true, sizeof page, true, nullptr));
  EXPECT_EQ(Last().direction, ScsiCommand::Direction::ToDevice);
  EXPECT_EQ(Last().cdb.size(), 10u);
  EXPECT_FALSE(device.IsOpen());
}

// A READ TOC that fails after the drive wrote part of an answer leaves no TOC behind.
TEST_F(SptiTest, AFailedTocReadIsNotTakenForATableOfContents) {
  host.answer = [](const uint8_t* cdb, ScsiCommand& command) {
    if (cdb[0] != 0x43) return 0;
    auto* data = static_cast<uint8_t*>(command.data);
    data[1] = 0x12;
    data[2] = 1;
    data[3] = 2;
    RecordingHost::CheckCondition(command, 3, 0x02, 0);
    return 0;
  };
  int count = 0;
  EXPECT_FALSE(device.GetTrackCount(count));
  EXPECT_TRUE(device.TocView().IsAbsent());
  EXPECT_FALSE(device.GetTrackCount(count));
}

TEST_F(SptiTest, ExecuteOnAClosedDriveSendsNothingAndLeavesTheSenseAlone) {
  device.Close();
  uint8_t buffer[2352];
  SenseSummary sense{0xEE, 0xEE, 0xEE, 1};
  EXPECT_FALSE(device.ReadRaw(0, 1, 2352, buffer, &sense));
  EXPECT_TRUE(host.sent.empty());
  EXPECT_EQ(sense.senseKey, 0xEE);
  EXPECT_EQ(sense.information, 1u);
}

TEST_F(SptiTest, CommandsCloseTheDriveButSectorReadsLeaveItOpen) {
  EXPECT_TRUE(device.LockTray());
  EXPECT_TRUE(host.openHandles.empty());
  EXPECT_EQ(host.lastOpenReadWrite, 1);
  ASSERT_TRUE(device.OpenReadOnly());
  EXPECT_EQ(host.lastOpenReadWrite, 0);
  uint8_t buffer[2 * 2048];
  EXPECT_TRUE(device.ReadData(16, 2, 2048, buffer, nullptr));
  EXPECT_TRUE(device.ReadData(18, 2, 2048, buffer, nullptr));
  EXPECT_EQ(host.openHandles.size(), 1u);
  device.Close();
  EXPECT_TRUE(host.openHandles.empty());
}

TEST_F(SptiTest, SectorReadsRefuseCountsTheirCommandBlockCannotCarry) {
  std::vector<uint8_t> buffer(256 * 2352);
  ASSERT_TRUE(device.Open());
  for (int count : {0, -1, 256}) {
    EXPECT_FALSE(device.ReadData(0, count, 2352, buffer.data(), nullptr)) << count;
    EXPECT_FALSE(device.ReadRaw(0, count, 2352, buffer.data(), nullptr)) << count;
  }
  EXPECT_FALSE(device.ReadData(-1, 1, 2048, buffer.data(), nullptr));
  EXPECT_FALSE(device.ReadData(0, 1, 2048, nullptr, nullptr));
  EXPECT_TRUE(host.sent.empty());
  EXPECT_TRUE(device.ReadRaw(0, 255, 2352, buffer.data(), nullptr));
}

// A user who is not root may not send MECHANISM STATUS through a block device; the tray
// state then comes from the CD-ROM driver's own question.
TEST_F(SptiTest, TrayStateFallsBackToTheDriverWhenTheSystemRefusesTheCommand) {
  host.answer = [](const uint8_t* cdb, ScsiCommand&) { return cdb[0] == 0xBD ? -EPERM : 0; };
  struct Case {
    int status;
    bool known;
    bool closed;
  };
  for (const Case& c : {Case{kDriveTrayOpen, true, false}, Case{kDriveDiscPresent, true, true},
                        Case{kDriveNoDisc, true, true}, Case{-ENOSYS, false, false}}) {
    SCOPED_TRACE(c.status);
    host.driveStatus = c.status;
    bool closed = !c.closed;
    EXPECT_EQ(device.IsTrayClosed(closed), c.known);
    if (c.known) {
      EXPECT_EQ(closed, c.closed);
    }
    EXPECT_TRUE(host.openHandles.empty());
  }
  // A drive that answers the command with an error is not second-guessed.
  host.answer = [](const uint8_t* cdb, ScsiCommand& command) {
    if (cdb[0] == 0xBD) RecordingHost::CheckCondition(command, 5, 0x20, 0);
    return 0;
  };
  host.driveStatus = kDriveDiscPresent;
  bool closed = false;
  EXPECT_FALSE(device.IsTrayClosed(closed));
}

TEST_F(SptiTest, ReadSpeedSettingTable) {
  struct Case {
    const char* setting;
    std::vector<uint8_t> speedBytes;  // bytes 2..3 of SET CD SPEED, empty = nothing sent
  };
  const std::vector<Case> cases = {
      {"DEFAULT", {}},       {"MAX", {0xFF, 0xFF}},
      {"16", {0x0B, 0x10}},  {"48", {0x21, 0x30}},
      {"255", {0xFF, 0xFF}}, {"0", {}},
      {"fast", {}},          {"-3", {}},
      {"400", {0xFF, 0xFF}},  // 400 x 177 does not fit the field: the highest speed instead
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting);
    host.sent.clear();
    EXPECT_TRUE(device.ApplyReadSpeed(c.setting));
    std::vector<uint8_t> speed;
    for (const auto& s : host.sent) {
      if (s.cdb[0] == 0xBB) speed = {s.cdb[2], s.cdb[3]};
    }
    EXPECT_EQ(speed, c.speedBytes);
  }
}

TEST_F(SptiTest, SelectionFindsTheDriveByItsDeviceNameFirst) {
  ScsiNode second = host.blockDevices.first();
  second.path = "rec-sr1";
  second.name = "sr1";
  host.blockDevices.append(second);
  DriveContext& context = DriveContext::Instance();
  QStringList names;
  ASSERT_TRUE(device.EnumerateDrives(names));
  EXPECT_EQ(names, QStringList({kDisplayName, "[sr1] HL-DT-STDVDRAM GH24NSD1"}));

  ASSERT_TRUE(context.SelectDriveByDisplayName("[sr1] HL-DT-STDVDRAM GH24NSD1"));
  EXPECT_EQ(device.DevicePath(), "rec-sr1");
  EXPECT_EQ(context.DeviceName(), "sr1");
  // A device name that no longer exists falls back to the first drive of that name.
  ASSERT_TRUE(context.SelectDriveByDisplayName("[sr7] HL-DT-STDVDRAM GH24NSD1"));
  EXPECT_EQ(context.DeviceName(), "sr0");
  EXPECT_EQ(context.present.load(), 1);
  EXPECT_FALSE(context.SelectDriveByDisplayName("[sr1] OTHER DRIVE"));
  EXPECT_EQ(context.present.load(), 0);
}

class AspiTest : public ::testing::Test {
 protected:
  TempConfig config;
  RecordingHost host;
  AspiDevice& device = AspiDevice::Instance();
};

TEST_F(AspiTest, InitializesOnceAndNamesDrivesByTheirBlockDevice) {
  ASSERT_TRUE(device.Initialize());
  ASSERT_TRUE(device.Initialize());
  EXPECT_EQ(device.DriverProbes(), 1);

  ScsiNode disk = host.genericDevices.first();
  disk.path = "rec-sg1";
  disk.name = "sg1";
  disk.target = 1;
  disk.peripheralType = 0;  // a hard disk: not listed
  host.genericDevices.append(disk);
  QStringList names;
  ASSERT_TRUE(device.EnumerateDrives(names));
  EXPECT_EQ(names, QStringList{kDisplayName});
}

TEST_F(AspiTest, SendsBlocksOfTheirGroupLengthWithSixteenSenseBytesAndNoBufferWhenNoData) {
  ASSERT_TRUE(device.Initialize());
  DriveContext::Instance().device = &device;
  ASSERT_TRUE(DriveContext::Instance().SelectDriveByDisplayName(kDisplayName));
  host.sent.clear();
  EXPECT_TRUE(device.EjectTray());
  EXPECT_TRUE(device.SetSpeed(48));
  ASSERT_EQ(host.sent.size(), 3u);  // eject, TEST UNIT READY, SET CD SPEED
  EXPECT_EQ(host.sent[0].cdb, Cdb({0x1B, 1, 0, 0, 2}, 6));
  EXPECT_EQ(host.sent[0].direction, kNoData);
  EXPECT_EQ(host.sent[2].cdb, Cdb({0xBB, 0, 0x21, 0x30}, 12));
  for (const auto& s : host.sent) EXPECT_EQ(s.senseLength, 16);
}

TEST(AspiWithoutDriver, StaysNotReadyAndListsNothing) {
  TempConfig config;
  RecordingHost host;
  host.genericDevices.clear();
  AspiDevice& device = AspiDevice::Instance();
  EXPECT_FALSE(device.Initialize());
  QStringList names;
  EXPECT_FALSE(device.EnumerateDrives(names));
  EXPECT_TRUE(names.isEmpty());
  uint8_t buffer[255];
  EXPECT_FALSE(device.Inquiry(buffer));
  EXPECT_TRUE(host.sent.empty());
}

}  // namespace
