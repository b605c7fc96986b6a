#include <gtest/gtest.h>

#include "drive_virtual/drive_test_support.h"
#include "platform/scsi_host.h"

namespace {

void SetEnvironment(const QList<std::pair<const char*, QByteArray>>& variables) {
  for (const char* name : {"KORVANE_VIRTUAL_DISC", "KORVANE_VIRTUAL_FAULTS",
                           "KORVANE_VIRTUAL_SPEED", "KORVANE_VIRTUAL_OFFSET", "KORVANE_VIRTUAL_C2"})
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

// Wrong audio without an error, different on each faulty read; and a read offset that shifts
// audio but leaves the lead-in and lead-out unreadable.
TEST(VirtualDriveEnvironment, WrongAudioAndReadOffset) {
  ImageFolder folder;
  const QByteArray image = PatternSectors(2, 20);
  folder.Write("a.bin", image);
  const QString cue =
      folder.Write("a.cue", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
  SetEnvironment({{"KORVANE_VIRTUAL_DISC", cue.toUtf8()}, {"KORVANE_VIRTUAL_FAULTS", "5~2"}});
  QString error;
  ASSERT_TRUE(SetUpVirtualDriveFromEnvironment(&error)) << error.toStdString();
  ScsiClient client;
  const QByteArray sector5 = image.mid(5 * 2352, 2352);
  const QByteArray first = client.Send(ReadCdCdb(5, 1), 2352).data;
  const QByteArray second = client.Send(ReadCdCdb(5, 1), 2352).data;
  EXPECT_NE(first, sector5);
  EXPECT_NE(second, sector5);
  EXPECT_NE(first, second);
  EXPECT_EQ(client.Send(ReadCdCdb(5, 1), 2352).data, sector5);

  SetEnvironment({{"KORVANE_VIRTUAL_DISC", cue.toUtf8()}, {"KORVANE_VIRTUAL_OFFSET", "+667"}});
  ASSERT_TRUE(SetUpVirtualDriveFromEnvironment(&error)) << error.toStdString();
  // Sector 2 as such a drive gives it: 667 frames (2668 bytes) before its true start.
  EXPECT_EQ(client.Send(ReadCdCdb(2, 1), 2352).data, image.mid(2 * 2352 - 2668, 2352));
  // Sector 1 starts 79 frames into the lead-in, which reads as silence.
  EXPECT_EQ(client.Send(ReadCdCdb(1, 1), 2352).data, QByteArray(316, 0) + image.left(2352 - 316));
  EXPECT_EQ(client.Send(ReadCdCdb(20, 1), 2352).SenseKey(), 5);  // no lead-out reads
  Vcd0().SetReadOffset(0);
}

// The same wrong audio on the first two reads: only a drive's C2 error pointers tell it from
// the true audio. Without them, READ CD refuses the error field.
TEST(VirtualDriveEnvironment, SameWrongAudioAndC2ErrorPointers) {
  ImageFolder folder;
  const QByteArray image = PatternSectors(3, 20);
  folder.Write("a.bin", image);
  const QString cue =
      folder.Write("a.cue", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
  SetEnvironment({{"KORVANE_VIRTUAL_DISC", cue.toUtf8()},
                  {"KORVANE_VIRTUAL_FAULTS", "5^2"},
                  {"KORVANE_VIRTUAL_C2", "1"}});
  QString error;
  ASSERT_TRUE(SetUpVirtualDriveFromEnvironment(&error)) << error.toStdString();
  ScsiClient client;
  const QByteArray page = client.Send(Cdb(10, {{0, 0x5A}, {2, 0x2A}, {8, 32}}), 32).data;
  ASSERT_GE(page.size(), 14);
  EXPECT_TRUE(page[13] & 0x10) << "C2 pointers supported";
  constexpr int kStride = 2352 + 294;
  const QByteArray sector5 = image.mid(5 * 2352, 2352);
  const QByteArray first = client.Send(ReadCdCdb(4, 2, 0xF2), 2 * kStride).data;
  const QByteArray second = client.Send(ReadCdCdb(5, 1, 0xF2), kStride).data;
  const QByteArray third = client.Send(ReadCdCdb(5, 1, 0xF2), kStride).data;
  ASSERT_EQ(first.size(), 2 * kStride);
  EXPECT_EQ(first.left(2352), image.mid(4 * 2352, 2352));
  EXPECT_EQ(first.mid(2352, 294), QByteArray(294, 0)) << "sector 4 reads clean";
  EXPECT_NE(first.mid(kStride, 2352), sector5);
  EXPECT_EQ(first.mid(kStride, 2352), second.left(2352)) << "the same wrong audio";
  EXPECT_EQ(second.mid(2352), QByteArray(294, char(0xFF)));
  EXPECT_EQ(third, sector5 + QByteArray(294, 0));

  SetEnvironment({{"KORVANE_VIRTUAL_DISC", cue.toUtf8()}, {"KORVANE_VIRTUAL_C2", "0"}});
  ASSERT_TRUE(SetUpVirtualDriveFromEnvironment(&error)) << error.toStdString();
  EXPECT_EQ(client.Send(ReadCdCdb(5, 1, 0xF2), kStride).SenseKey(), 5);
  EXPECT_FALSE(client.Send(Cdb(10, {{0, 0x5A}, {2, 0x2A}, {8, 32}}), 32).data[13] & 0x10);
}

TEST(VirtualDriveEnvironment, DemoOnRequest) {
  SetEnvironment({{"KORVANE_VIRTUAL_DISC", "demo"}});
  QString error;
  ASSERT_TRUE(SetUpVirtualDriveFromEnvironment(&error)) << error.toStdString();
  EXPECT_EQ(Vcd0().DriveStatus(), kDriveDiscPresent);
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
      {"KORVANE_VIRTUAL_FAULTS", "7~", "KORVANE_VIRTUAL_FAULTS"},
      {"KORVANE_VIRTUAL_FAULTS", "7~0", "KORVANE_VIRTUAL_FAULTS"},
      {"KORVANE_VIRTUAL_FAULTS", "7~2:1", "KORVANE_VIRTUAL_FAULTS"},
      {"KORVANE_VIRTUAL_FAULTS", "7^0", "KORVANE_VIRTUAL_FAULTS"},
      {"KORVANE_VIRTUAL_FAULTS", "7^2~1", "KORVANE_VIRTUAL_FAULTS"},
      {"KORVANE_VIRTUAL_OFFSET", "+6x7", "KORVANE_VIRTUAL_OFFSET"},
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
