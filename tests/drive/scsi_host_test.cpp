// The SCSI host every transport uses: system nodes and emulated hosts side by side, each
// handle routed to the host that opened it, system errors returned as -errno.
#include <gtest/gtest.h>
#include <linux/cdrom.h>

#include <cerrno>

#include "platform/scsi_host.h"
#include "platform/sg_io.h"

namespace {

// An emulated host with one node, counting what reaches it.
class CountingHost : public ScsiHost {
 public:
  int Open(const QString& path, bool) override { return path == "fake0" ? 40 + opens++ : -ENOENT; }
  void Close(int) override { ++closes; }
  int SendCommand(int handle, ScsiCommand&) override {
    ++commands;
    lastHandle = handle;
    return 0;
  }
  int DriveStatus(int) override { return kDriveTrayOpen; }
  QList<ScsiNode> BlockDevices() override { return {Node()}; }
  QList<ScsiNode> GenericDevices() override { return {Node()}; }
  static ScsiNode Node() {
    ScsiNode node;
    node.path = "fake0";
    node.name = "fk0";
    return node;
  }
  int opens = 0, closes = 0, commands = 0, lastHandle = -1;
};

TEST(ScsiHost, EmulatedNodesFollowTheSystemsAndGetTheirOwnCommands) {
  CountingHost fake;
  AddEmulatedHost(&fake);
  ScsiHost& host = CurrentScsiHost();
  ASSERT_FALSE(host.BlockDevices().isEmpty());
  EXPECT_EQ(host.BlockDevices().last().name, "fk0");
  EXPECT_EQ(host.GenericDevices().last().path, "fake0");

  const int first = host.Open("fake0", true);
  const int second = host.Open("fake0", false);
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  EXPECT_NE(first, second);
  ScsiCommand command;
  EXPECT_EQ(host.SendCommand(second, command), 0);
  EXPECT_EQ(fake.lastHandle, 41);
  EXPECT_EQ(host.DriveStatus(first), kDriveTrayOpen);
  host.Close(first);
  EXPECT_EQ(fake.closes, 1);
  host.Close(first);  // a handle closes once
  EXPECT_EQ(fake.closes, 1);
  EXPECT_EQ(host.SendCommand(first, command), -EBADF);

  // A removed host takes its nodes and open handles with it.
  RemoveEmulatedHost(&fake);
  EXPECT_EQ(host.SendCommand(second, command), -EBADF);
  for (const ScsiNode& node : host.BlockDevices()) EXPECT_NE(node.name, "fk0");
  EXPECT_EQ(fake.commands, 1);
}

TEST(ScsiHost, SystemNodesReportTheSystemsErrors) {
  ScsiHost& host = CurrentScsiHost();
  EXPECT_EQ(host.Open("/dev/no-such-drive", false), -ENOENT);
  EXPECT_EQ(host.Open("not-listed-anywhere", false), -ENOENT);
  // A node that is not a SCSI device: it opens, and the system refuses both questions.
  const int handle = host.Open("/dev/null", false);
  ASSERT_GE(handle, 0);
  ScsiCommand command;
  EXPECT_LT(host.SendCommand(handle, command), 0);
  EXPECT_LT(host.DriveStatus(handle), 0);
  host.Close(handle);
  EXPECT_EQ(host.DriveStatus(handle), -EBADF);
}

TEST(ScsiHost, AnInstalledHostReplacesTheDefaultUntilRemoved) {
  CountingHost only;
  ScsiHost& standard = CurrentScsiHost();
  InstallScsiHost(&only);
  EXPECT_EQ(&CurrentScsiHost(), &only);
  InstallScsiHost(nullptr);
  EXPECT_EQ(&CurrentScsiHost(), &standard);
}

// The system host's translation: every field of the request reaches SG_IO, and the kernel's
// answer comes back; only a failure of the adapter or the driver (not the "sense" flag that
// comes with CHECK CONDITION) is a transport failure.
TEST(ScsiHost, CommandsBecomeLinuxRequestsAndTheirRepliesComeBack) {
  const uint8_t cdb[12] = {0xBE};
  uint8_t data[2352];
  uint8_t sense[19];
  ScsiCommand command;
  command.cdb = cdb;
  command.cdbLength = 12;
  command.data = data;
  command.dataLength = sizeof data;
  command.sense = sense;
  command.senseCapacity = sizeof sense;
  command.timeoutMs = 8000;
  const struct {
    ScsiCommand::Direction direction;
    int expected;
  } directions[] = {{ScsiCommand::Direction::None, SG_DXFER_NONE},
                    {ScsiCommand::Direction::FromDevice, SG_DXFER_FROM_DEV},
                    {ScsiCommand::Direction::ToDevice, SG_DXFER_TO_DEV}};
  for (const auto& d : directions) {
    command.direction = d.direction;
    const sg_io_hdr_t header = SgIoHeader(command);
    EXPECT_EQ(header.interface_id, 'S');
    EXPECT_EQ(header.dxfer_direction, d.expected);
    EXPECT_EQ(header.cmdp, cdb);
    EXPECT_EQ(header.cmd_len, 12);
    EXPECT_EQ(header.dxferp, data);
    EXPECT_EQ(header.dxfer_len, sizeof data);
    EXPECT_EQ(header.sbp, sense);
    EXPECT_EQ(header.mx_sb_len, sizeof sense);
    EXPECT_EQ(header.timeout, 8000u);
  }

  const struct {
    const char* name;
    unsigned char status;
    unsigned short hostStatus, driverStatus;
    bool transportFailed;
  } replies[] = {{"good", 0, 0, 0, false},
                 {"check condition with sense", 2, 0, 0x08, false},
                 {"adapter error", 0, 3, 0, true},
                 {"driver time-out", 0, 0, 6, true}};
  for (const auto& r : replies) {
    SCOPED_TRACE(r.name);
    sg_io_hdr_t header{};
    header.status = r.status;
    header.host_status = r.hostStatus;
    header.driver_status = r.driverStatus;
    header.sb_len_wr = 18;
    header.resid = 100;
    TakeSgIoReply(header, command);
    EXPECT_EQ(command.status, r.status);
    EXPECT_EQ(command.transportFailed, r.transportFailed);
    EXPECT_EQ(command.senseWritten, 18);
    EXPECT_EQ(command.residue, 100);
  }

  EXPECT_EQ(DriveStateOfCdromStatus(CDS_TRAY_OPEN), kDriveTrayOpen);
  EXPECT_EQ(DriveStateOfCdromStatus(CDS_DISC_OK), kDriveDiscPresent);
  EXPECT_EQ(DriveStateOfCdromStatus(CDS_NO_DISC), kDriveNoDisc);
  EXPECT_EQ(DriveStateOfCdromStatus(CDS_DRIVE_NOT_READY), kDriveNotReady);
  EXPECT_EQ(DriveStateOfCdromStatus(CDS_NO_INFO), kDriveStateUnknown);
}

}  // namespace
