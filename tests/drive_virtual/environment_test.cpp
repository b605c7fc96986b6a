#include <gtest/gtest.h>
#include <linux/cdrom.h>

#include "drive_virtual/drive_test_support.h"
#include "platform/scsi_host.h"

namespace {

void SetEnvironment(const QList<std::pair<const char*, QByteArray>>& variables) {
  for (const char* name :
       {"KORVANE_VIRTUAL_DISC", "KORVANE_VIRTUAL_FAULTS", "KORVANE_VIRTUAL_SPEED"})
    qunsetenv(name);
  for (const auto& [name, value] : variables) qputenv(name, value);
}

VirtualDrive& Vcd0() { return VirtualDriveHost::Instance().Drive(0); }

TEST(VirtualDriveEnvironment, LoadsTheImageWithFaultsAndThrottle) {
  ImageFolder folder;
  folder.Write("a.bin", PatternSectors(1, 100));
  const QString cue =
      folder.Write("a.cue", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
  SetEnvironment({{"KORVANE_VIRTUAL_DISC", cue.toUtf8()},
                  {"KORVANE_VIRTUAL_FAULTS", " 10, 20:2 "},
                  {"KORVANE_VIRTUAL_SPEED", "2.5"}});
  QString error;
  ASSERT_TRUE(SetUpVirtualDriveFromEnvironment(&error)) << error.toStdString();
  EXPECT_EQ(Vcd0().ReadThrottleX(), 2.5);
  Vcd0().SetReadThrottleX(0);
  ScsiClient client;
  const ScsiAnswer capacity = client.Send(Cdb(10, {{0, 0x25}}), 8);
  EXPECT_EQ(capacity.data.left(4), QByteArray::fromHex("00000063"));  // last sector 99
  auto fails = [&](int lba) { return client.Send(ReadCdCdb(lba, 1), 2352).SenseKey() == 3; };
  EXPECT_EQ((QList<bool>{fails(10), fails(10), fails(10)}), (QList<bool>{true, true, true}));
  EXPECT_EQ((QList<bool>{fails(20), fails(20), fails(20)}), (QList<bool>{true, true, false}));
  EXPECT_FALSE(fails(11));
}

TEST(VirtualDriveEnvironment, DemoOnRequest) {
  SetEnvironment({{"KORVANE_VIRTUAL_DISC", "demo"}});
  QString error;
  ASSERT_TRUE(SetUpVirtualDriveFromEnvironment(&error)) << error.toStdString();
  EXPECT_EQ(Vcd0().DriveStatus(), CDS_DISC_OK);
  ScsiClient client;
  EXPECT_EQ(client.Send(ReadTocCdb(0), 804).data[3], 4);
}

TEST(VirtualDriveEnvironment, MalformedVariablesAreRefused) {
  const QList<std::tuple<const char*, QByteArray, const char*>> cases = {
      {"KORVANE_VIRTUAL_FAULTS", "abc", "KORVANE_VIRTUAL_FAULTS"},
      {"KORVANE_VIRTUAL_FAULTS", "5:0", "KORVANE_VIRTUAL_FAULTS"},
      {"KORVANE_VIRTUAL_FAULTS", "5:2:3", "KORVANE_VIRTUAL_FAULTS"},
      {"KORVANE_VIRTUAL_FAULTS", "-1", "KORVANE_VIRTUAL_FAULTS"},
      {"KORVANE_VIRTUAL_FAULTS", "7:x", "KORVANE_VIRTUAL_FAULTS"},
      {"KORVANE_VIRTUAL_SPEED", "fast", "KORVANE_VIRTUAL_SPEED"},
      {"KORVANE_VIRTUAL_SPEED", "-2", "KORVANE_VIRTUAL_SPEED"},
      {"KORVANE_VIRTUAL_DISC", "/nonexistent/disc.cue", "disc.cue"},
  };
  for (const auto& [name, value, mention] : cases) {
    SetEnvironment({{name, value}});
    QString error;
    EXPECT_FALSE(SetUpVirtualDriveFromEnvironment(&error)) << name << "=" << value.toStdString();
    EXPECT_TRUE(error.contains(mention)) << error.toStdString();
  }
}

TEST(VirtualDriveEnvironment, AnEmptyVirtualDriveIsListedOnlyOnceAskedFor) {
  VirtualDriveHost& host = VirtualDriveHost::Instance();
  Vcd0().RemoveDisc();
  host.SetListed(false);
  Vcd0().SetTrayOpen(true);
  Vcd0().SetTrayOpen(false);
  EXPECT_TRUE(host.BlockDevices().isEmpty());
  EXPECT_TRUE(host.GenericDevices().isEmpty());
  Vcd0().LoadDemo();
  EXPECT_EQ(host.BlockDevices().size(), host.DriveCount());
  Vcd0().RemoveDisc();
  EXPECT_EQ(host.BlockDevices().size(), host.DriveCount())
      << "an asked-for drive stays, empty or not";
}

bool SystemHasRealDrive() {
  const QList<ScsiNode> nodes = CurrentScsiHost().BlockDevices();
  return std::any_of(nodes.begin(), nodes.end(),
                     [](const ScsiNode& node) { return !node.name.startsWith("vcd"); });
}

// Without KORVANE_VIRTUAL_DISC an empty vcd0 gets the demo disc on a machine without drives,
// and a disc already in it stays.
TEST(VirtualDriveEnvironment, DemoWhenTheSystemHasNoDrive) {
  if (SystemHasRealDrive()) GTEST_SKIP() << "this machine has an optical drive";
  SetEnvironment({});
  QString error;
  ASSERT_TRUE(SetUpVirtualDriveFromEnvironment(&error)) << error.toStdString();
  EXPECT_TRUE(Vcd0().HasDisc());

  ImageFolder folder;
  folder.Write("a.bin", PatternSectors(1, 100));
  ASSERT_TRUE(Vcd0().LoadCue(
      folder.Write("a.cue", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"), &error));
  ASSERT_TRUE(SetUpVirtualDriveFromEnvironment(&error)) << error.toStdString();
  ScsiClient client;
  EXPECT_EQ(client.Send(ReadTocCdb(0), 804).data[3], 1);
}

}  // namespace
