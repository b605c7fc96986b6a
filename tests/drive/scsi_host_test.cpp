// The SCSI host every transport uses: system nodes and emulated hosts side by side, each
// handle routed to the host that opened it, system errors returned as -errno.
#include <gtest/gtest.h>

#include <linux/cdrom.h>

#include <cerrno>

#include "platform/scsi_host.h"

namespace {

// An emulated host with one node, counting what reaches it.
class CountingHost : public ScsiHost {
 public:
  int Open(const QString& path, bool) override { return path == "fake0" ? 40 + opens++ : -ENOENT; }
  void Close(int) override { ++closes; }
  int SendCommand(int handle, sg_io_hdr_t&) override {
    ++commands;
    lastHandle = handle;
    return 0;
  }
  int DriveStatus(int) override { return CDS_TRAY_OPEN; }
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
  sg_io_hdr_t hdr{};
  EXPECT_EQ(host.SendCommand(second, hdr), 0);
  EXPECT_EQ(fake.lastHandle, 41);
  EXPECT_EQ(host.DriveStatus(first), CDS_TRAY_OPEN);
  host.Close(first);
  EXPECT_EQ(fake.closes, 1);
  host.Close(first);  // a handle closes once
  EXPECT_EQ(fake.closes, 1);
  EXPECT_EQ(host.SendCommand(first, hdr), -EBADF);

  // A removed host takes its nodes and open handles with it.
  RemoveEmulatedHost(&fake);
  EXPECT_EQ(host.SendCommand(second, hdr), -EBADF);
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
  sg_io_hdr_t hdr{};
  hdr.interface_id = 'S';
  EXPECT_LT(host.SendCommand(handle, hdr), 0);
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

}  // namespace
