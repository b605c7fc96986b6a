#include <gtest/gtest.h>

#include <QtEndian>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "drive_virtual/drive_test_support.h"
#include "platform/scsi_host.h"

namespace {

constexpr int kSector = 2352;

// vcd0 with three tracks: audio 0..299, audio 300..499, Mode 1 data (2048-byte file) 500..599.
class VirtualDriveCommands : public testing::Test {
 protected:
  void SetUp() override {
    audio_ = PatternSectors(7, 500);
    data_ = PatternSectors(8, 100, 2048);
    folder_.Write("audio.bin", audio_);
    folder_.Write("data.iso", data_);
    const QString cue = folder_.Write(
        "mixed.cue",
        "TITLE \"Mixed\"\nFILE audio.bin BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
        " TRACK 02 AUDIO\n  INDEX 01 00:04:00\nFILE data.iso BINARY\n TRACK 03 MODE1/2048\n  INDEX "
        "01 00:00:00\n");
    QString error;
    ASSERT_TRUE(drive().LoadCue(cue, &error)) << error.toStdString();
    Reset();
  }
  // Later tests in the same process find the drive as it comes.
  void TearDown() override { Reset(); }

  void Reset() {
    drive().SetTrayOpen(false);
    drive().SetDvd(false);
    drive().ClearFaults();
    drive().SetReadThrottleX(0);
    drive().SetAcceptedSpeedsKBps({});
    drive().SetMaxSpeedKBps(7056);
    client_.Send(Cdb(6, {{0, 0x1E}}));
    drive().ClearCommandLog();
  }

  static VirtualDrive& drive() { return VirtualDriveHost::Instance().Drive(0); }

  ImageFolder folder_;
  QByteArray audio_;
  QByteArray data_;
  ScsiClient client_;
};

TEST_F(VirtualDriveCommands, ListsItselfAndRoutesHandles) {
  VirtualDriveHost& host = VirtualDriveHost::Instance();
  host.AddDrive();
  for (const QList<ScsiNode>& nodes : {host.BlockDevices(), host.GenericDevices()}) {
    ASSERT_EQ(nodes.size(), 2);
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(nodes[i].path, QStringLiteral("vcd%1").arg(i));
      EXPECT_EQ(nodes[i].name, nodes[i].path);
      EXPECT_EQ(nodes[i].peripheralType, 5);
      EXPECT_EQ(nodes[i].target, i);
    }
  }
  // The first use registered the host with the platform's list of nodes.
  QStringList systemNames;
  for (const ScsiNode& node : CurrentScsiHost().BlockDevices()) systemNames.append(node.name);
  EXPECT_TRUE(systemNames.contains("vcd0"));
  EXPECT_TRUE(systemNames.contains("vcd1"));

  EXPECT_EQ(host.Open("vcd7", false), -ENOENT);
  EXPECT_EQ(host.Open("/dev/sr0", false), -ENOENT);
  ScsiCommand command;
  EXPECT_EQ(host.SendCommand(12345, command), -EBADF);
  EXPECT_EQ(host.DriveStatus(12345), -EBADF);

  // The second drive is empty and answers on its own handle.
  ScsiClient second("vcd1");
  EXPECT_EQ(host.DriveStatus(second.handle()), kDriveNoDisc);
  EXPECT_EQ(host.DriveStatus(client_.handle()), kDriveDiscPresent);
  EXPECT_EQ(second.Send(Cdb(6, {})).SenseKey(), 2);
  EXPECT_TRUE(host.Drive(1).CommandLog().size() == 1 && drive().CommandLog().isEmpty());
  host.Close(second.handle());
  EXPECT_EQ(host.DriveStatus(second.handle()), -EBADF);
}

TEST_F(VirtualDriveCommands, InquiryNamesTheDrive) {
  const ScsiAnswer answer = client_.Send(Cdb(6, {{0, 0x12}, {4, 0xFF}}), 255);
  ASSERT_TRUE(answer.Good());
  EXPECT_EQ(answer.data[0], 0x05);
  EXPECT_EQ(answer.Transferred(), 36);
  EXPECT_EQ(answer.command.residue, 255 - 36);
  EXPECT_EQ((answer.data.mid(8, 8) + answer.data.mid(16, 16)).trimmed(), "KORVANE VIRTUAL CD");
  // The allocation length bounds the transfer.
  const ScsiAnswer shortAnswer = client_.Send(Cdb(6, {{0, 0x12}, {4, 8}}), 255);
  EXPECT_EQ(shortAnswer.Transferred(), 8);
  EXPECT_EQ(shortAnswer.data.mid(8, 1), QByteArray(1, char(0xEE)));
}

struct SenseCase {
  const char* name;
  std::function<void(VirtualDrive&)> prepare;
  QByteArray cdb;
  int dataLength;
  int key, asc, ascq;
};

void PrintTo(const SenseCase& c, std::ostream* out) { *out << c.name; }

class VirtualDriveSense : public VirtualDriveCommands,
                          public testing::WithParamInterface<SenseCase> {};

TEST_P(VirtualDriveSense, AnswersWithFixedFormatSense) {
  const SenseCase& c = GetParam();
  if (c.prepare) c.prepare(drive());
  const ScsiAnswer answer = client_.Send(c.cdb, c.dataLength);
  ASSERT_EQ(answer.result, 0);
  const ScsiCommand& command = answer.command;
  EXPECT_FALSE(command.transportFailed);
  if (c.key == 0) {
    EXPECT_EQ(command.status, kScsiGood);
    EXPECT_EQ(command.senseWritten, 0);
    return;
  }
  EXPECT_EQ(command.status, kScsiCheckCondition);
  ASSERT_EQ(command.senseWritten, 18);
  EXPECT_EQ(uint8_t(answer.sense[0]) & 0x7F, 0x70);
  EXPECT_EQ(answer.sense[7], 10);
  EXPECT_EQ(answer.SenseKey(), c.key);
  EXPECT_EQ(answer.Asc(), c.asc);
  EXPECT_EQ(answer.Ascq(), c.ascq);
  EXPECT_EQ(answer.command.residue, c.dataLength);  // nothing transferred
}

INSTANTIATE_TEST_SUITE_P(
    Commands, VirtualDriveSense,
    testing::Values(
        SenseCase{"ReadyWithDisc", nullptr, Cdb(6, {}), 0, 0, 0, 0},
        SenseCase{"NoDisc", [](VirtualDrive& d) { d.RemoveDisc(); }, Cdb(6, {}), 0, 0x02, 0x3A,
                  0x00},
        SenseCase{"TrayOpen", [](VirtualDrive& d) { d.SetTrayOpen(true); }, Cdb(6, {}), 0, 0x02,
                  0x3A, 0x00},
        SenseCase{"TocWithTrayOpen", [](VirtualDrive& d) { d.SetTrayOpen(true); }, ReadTocCdb(0),
                  804, 0x02, 0x3A, 0},
        SenseCase{"ReadWithoutDisc", [](VirtualDrive& d) { d.RemoveDisc(); }, ReadCdCdb(0, 1),
                  kSector, 0x02, 0x3A, 0},
        SenseCase{"UnknownOpcode", nullptr, Cdb(12, {{0, 0xA8}}), 0, 0x05, 0x20, 0x00},
        SenseCase{"UnknownTocFormat", nullptr, ReadTocCdb(3), 804, 0x05, 0x24, 0x00},
        SenseCase{"TocFromMissingTrack", nullptr, ReadTocCdb(0, true, 4), 804, 0x05, 0x24, 0x00},
        SenseCase{"ModeSenseOtherPage", nullptr, Cdb(10, {{0, 0x5A}, {2, 0x0E}, {8, 0xFF}}), 255,
                  0x05, 0x24, 0},
        SenseCase{"ReadCdWithC2Errors", nullptr, ReadCdCdb(0, 1, 0xFA), kSector, 0x05, 0x24, 0x00},
        SenseCase{"ReadCdWithSubchannel", nullptr, ReadCdCdb(0, 1).replace(10, 1, "\x01"), kSector,
                  0x05, 0x24, 0},
        SenseCase{"CommandBlockTooShort", nullptr, ReadTocCdb(0).left(6), 804, 0x05, 0x24, 0x00},
        SenseCase{"ReadPastLeadOut", nullptr, ReadCdCdb(590, 11), 11 * kSector, 0x05, 0x21, 0x00},
        SenseCase{"ReadStartingAtLeadOut", nullptr, Read10Cdb(600, 1), 2048, 0x05, 0x21, 0x00},
        SenseCase{"Read10OnAudio", nullptr, Read10Cdb(499, 2), 4096, 0x05, 0x64, 0x00},
        SenseCase{"ReadCdAudioTypeOnData", nullptr, ReadCdCdb(500, 1, 0xF8, 1), kSector, 0x05, 0x64,
                  0x00},
        SenseCase{"ReadCdMode1TypeOnAudio", nullptr, ReadCdCdb(0, 1, 0xF8, 2), kSector, 0x05, 0x64,
                  0x00},
        SenseCase{"DiscStructureOfCd", nullptr, Cdb(12, {{0, 0xAD}, {8, 0x08}}), 2048, 0x05, 0x30,
                  0x02},
        SenseCase{"CapacityWithoutDisc", [](VirtualDrive& d) { d.RemoveDisc(); },
                  Cdb(10, {{0, 0x25}}), 8, 0x02, 0x3A, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(VirtualDriveCommands, SenseBufferAndHeaderChecks) {
  // A short sense buffer gets what fits.
  drive().RemoveDisc();
  ScsiAnswer answer = client_.Send(Cdb(6, {}), 0, 8);
  EXPECT_EQ(answer.command.senseWritten, 8);
  EXPECT_EQ(answer.SenseKey(), 2);

  // Malformed commands are refused as the system refuses them, and not logged as commands.
  ScsiCommand command;
  const uint8_t cdb[6] = {};
  EXPECT_EQ(VirtualDriveHost::Instance().SendCommand(client_.handle(), command), -EINVAL);
  command.cdb = cdb;
  command.cdbLength = 5;
  EXPECT_EQ(VirtualDriveHost::Instance().SendCommand(client_.handle(), command), -EINVAL);
  command.cdbLength = 6;
  command.direction = ScsiCommand::Direction::FromDevice;
  command.dataLength = 10;
  EXPECT_EQ(VirtualDriveHost::Instance().SendCommand(client_.handle(), command), -EFAULT);
  EXPECT_EQ(drive().CommandLog().size(), 1);
}

TEST_F(VirtualDriveCommands, TrayLockAndMediaEvents) {
  QList<std::pair<QString, bool>> events;
  const int listener =
      VirtualDriveHost::Instance().AddMediaListener([&](const QString& device, bool arrived) {
        events.append({device, arrived});
      });
  const QByteArray mechanism = Cdb(12, {{0, 0xBD}, {9, 12}});
  const QByteArray eject = Cdb(6, {{0, 0x1B}, {1, 0x01}, {4, 0x02}});
  const QByteArray load = Cdb(6, {{0, 0x1B}, {1, 0x01}, {4, 0x03}});
  auto doorOpen = [&] { return (client_.Send(mechanism, 12).data[1] & 0x10) != 0; };

  EXPECT_FALSE(doorOpen());
  ASSERT_TRUE(client_.Send(Cdb(6, {{0, 0x1E}, {4, 0x01}})).Good());  // prevent removal
  EXPECT_TRUE(drive().IsLocked());
  const ScsiAnswer refused = client_.Send(eject);
  EXPECT_EQ(std::make_tuple(refused.SenseKey(), refused.Asc(), refused.Ascq()),
            std::make_tuple(5, 0x53, 2));
  EXPECT_FALSE(doorOpen());
  ASSERT_TRUE(client_.Send(Cdb(6, {{0, 0x1E}})).Good());  // allow
  ASSERT_TRUE(client_.Send(eject).Good());
  EXPECT_TRUE(doorOpen());
  EXPECT_TRUE(drive().IsTrayOpen());
  EXPECT_EQ(drive().DriveStatus(), kDriveTrayOpen);
  EXPECT_EQ(client_.Send(Cdb(6, {})).SenseKey(), 2);
  ASSERT_TRUE(client_.Send(load).Good());
  EXPECT_FALSE(doorOpen());
  EXPECT_TRUE(client_.Send(Cdb(6, {})).Good());
  // Start and stop leave the tray alone; start needs a medium.
  EXPECT_TRUE(client_.Send(Cdb(6, {{0, 0x1B}, {4, 0x00}})).Good());
  EXPECT_TRUE(client_.Send(Cdb(6, {{0, 0x1B}, {4, 0x01}})).Good());
  EXPECT_FALSE(drive().IsTrayOpen());

  drive().SetTrayOpen(true);
  drive().SetTrayOpen(false);
  drive().RemoveDisc();
  EXPECT_EQ(drive().DriveStatus(), kDriveNoDisc);
  EXPECT_EQ(client_.Send(Cdb(6, {{0, 0x1B}, {4, 0x01}})).SenseKey(), 2);
  drive().SetTrayOpen(true);  // an empty tray: no event
  drive().LoadDemo();         // closes the tray
  EXPECT_FALSE(drive().IsTrayOpen());
  VirtualDriveHost::Instance().RemoveMediaListener(listener);
  drive().RemoveDisc();

  const QList<std::pair<QString, bool>> expected = {{"vcd0", false}, {"vcd0", true},
                                                    {"vcd0", false}, {"vcd0", true},
                                                    {"vcd0", false}, {"vcd0", true}};
  EXPECT_EQ(events, expected);
}

// The speeds MODE SENSE page 2Ah reports (bytes 8..9 maximum, 14..15 current, after the 8-byte
// header).
std::pair<int, int> ReportedSpeeds(ScsiClient& client) {
  const ScsiAnswer answer = client.Send(Cdb(10, {{0, 0x5A}, {2, 0x2A}, {7, 0x01}, {8, 0x00}}), 256);
  EXPECT_TRUE(answer.Good());
  EXPECT_EQ(answer.data[8] & 0x3F, 0x2A);
  const auto* bytes = reinterpret_cast<const uchar*>(answer.data.constData());
  return {qFromBigEndian<quint16>(bytes + 16), qFromBigEndian<quint16>(bytes + 22)};
}

QByteArray SetSpeedCdb(int kbps) {
  return Cdb(12, {{0, 0xBB}, {2, kbps >> 8}, {3, kbps}, {4, 0xFF}, {5, 0xFF}});
}

struct SpeedCase {
  int max;
  QList<int> accepted;
  int requested;
  int current;
};

TEST_F(VirtualDriveCommands, SetCdSpeedRoundsDownToAcceptedSpeeds) {
  const QList<SpeedCase> cases = {
      {7056, {}, 2832, 2832},                  // any speed up to the maximum
      {7056, {}, 9000, 7056},                  // above the maximum: the maximum
      {7056, {}, 0xFFFF, 7056},                // FFFFh: the fastest
      {7056, {1764, 4234, 7056}, 5000, 4234},  // rounds down
      {7056, {1764, 4234, 7056}, 4234, 4234},  // exact
      {7056, {1764, 4234, 7056}, 1000, 1764},  // below all: the slowest
      {4234, {1764, 4234, 7056}, 0xFFFF, 4234},
      {4234, {1764, 4234, 7056}, 7056, 4234},  // accepted but above the maximum
  };
  for (const SpeedCase& c : cases) {
    drive().SetMaxSpeedKBps(c.max);
    drive().SetAcceptedSpeedsKBps(c.accepted);
    ASSERT_TRUE(client_.Send(SetSpeedCdb(c.requested), 0).Good());
    EXPECT_EQ(drive().CurrentSpeedKBps(), c.current) << c.max << " " << c.requested;
    EXPECT_EQ(ReportedSpeeds(client_), std::make_pair(c.max, c.current)) << c.requested;
  }
}

// A drive that caps at 24x reports back exactly the even factors up to 24 when each is set in
// units of 177 kB/s and read back in units of 176 kB/s.
TEST_F(VirtualDriveCommands, SpeedReadBackOfADriveCappedAt24x) {
  drive().SetMaxSpeedKBps(24 * 176 + 10);
  QList<int> reportedBack;
  for (int factor = 2; factor <= 64; factor += 2) {
    client_.Send(SetSpeedCdb(factor * 177));
    if (ReportedSpeeds(client_).second / 176 == factor) reportedBack.append(factor);
  }
  EXPECT_EQ(reportedBack, (QList<int>{2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24}));
  // The speed commands work with the tray open too.
  drive().SetTrayOpen(true);
  EXPECT_TRUE(client_.Send(SetSpeedCdb(0xFFFF)).Good());
  EXPECT_EQ(ReportedSpeeds(client_).second, 24 * 176 + 10);
}

// Reads under a throttle take at least count / (75 x) seconds (a lower bound only).
TEST_F(VirtualDriveCommands, ThrottleSlowsReadsToTheXSpeed) {
  drive().SetReadThrottleX(4);
  EXPECT_EQ(drive().ReadThrottleX(), 4);
  const auto started = std::chrono::steady_clock::now();
  for (int lba = 0; lba < 60; lba += 20)
    ASSERT_TRUE(client_.Send(ReadCdCdb(lba, 20), 20 * kSector).Good());
  EXPECT_GE(std::chrono::steady_clock::now() - started,
            std::chrono::milliseconds(60 * 1000 / (75 * 4)));
  drive().SetReadThrottleX(0);
  EXPECT_EQ(drive().ReadThrottleX(), 0);
}

TEST_F(VirtualDriveCommands, FaultsFailAlwaysOrTheFirstReads) {
  drive().FailSector(100, 2);
  drive().FailSector(550, -1);
  auto read = [&](int lba, int count) {
    return client_.Send(ReadCdCdb(lba, count), count * kSector);
  };
  for (int attempt = 0; attempt < 2; ++attempt) {
    const ScsiAnswer failed = read(90, 27);
    EXPECT_EQ(std::make_tuple(failed.SenseKey(), failed.Asc(), failed.Ascq()),
              std::make_tuple(3, 0x11, 0));
    EXPECT_EQ(uint8_t(failed.sense[0]), 0xF0);  // information valid: the failing sector
    EXPECT_EQ(qFromBigEndian<quint32>(failed.sense.constData() + 3), 100u);
    EXPECT_EQ(failed.Transferred(), 10 * kSector);  // the sectors before it arrive
    EXPECT_EQ(failed.data.left(10 * kSector), audio_.mid(90 * kSector, 10 * kSector));
  }
  const ScsiAnswer third = read(90, 27);
  EXPECT_TRUE(third.Good());
  EXPECT_EQ(third.data, audio_.mid(90 * kSector, 27 * kSector));

  for (int attempt = 0; attempt < 3; ++attempt) {
    EXPECT_EQ(client_.Send(Read10Cdb(549, 2), 4096).SenseKey(), 3);
    EXPECT_EQ(read(550, 1).SenseKey(), 3);
  }
  EXPECT_TRUE(read(551, 2).Good());  // neighbours read
  drive().ClearFaults();
  EXPECT_TRUE(read(550, 1).Good());
}

TEST_F(VirtualDriveCommands, CommandLogHoldsEveryBlockInOrder) {
  const QList<QByteArray> sent = {Cdb(6, {}), ReadTocCdb(0), Cdb(12, {{0, 0xA8}, {11, 0x7F}}),
                                  ReadCdCdb(5, 1), ReadTocCdb(0).left(6)};
  for (const QByteArray& cdb : sent) client_.Send(cdb, 4096);
  EXPECT_EQ(drive().CommandLog(), sent);
  drive().ClearCommandLog();
  EXPECT_TRUE(drive().CommandLog().isEmpty());
}

TEST_F(VirtualDriveCommands, DiscStructureOnlyForDvdMedia) {
  const QByteArray structure = Cdb(12, {{0, 0xAD}, {8, 0x08}, {9, 0x00}});
  drive().SetDvd(true);
  const ScsiAnswer dvd = client_.Send(structure, 2048);
  ASSERT_TRUE(dvd.Good());
  EXPECT_EQ(dvd.Transferred(), 2048);
  EXPECT_EQ(qFromBigEndian<quint16>(dvd.data.constData()), 2050);
  EXPECT_EQ(qFromBigEndian<quint32>(dvd.data.constData() + 12) -
                qFromBigEndian<quint32>(dvd.data.constData() + 8),
            599u);  // last data sector - first = disc length - 1
  EXPECT_EQ(client_.Send(Cdb(12, {{0, 0xAD}, {7, 0x04}, {9, 0xFF}}), 255).SenseKey(), 5);
  drive().SetDvd(false);
  EXPECT_EQ(client_.Send(structure, 2048).Asc(), 0x30);
  drive().SetDvd(true);
  drive().RemoveDisc();
  EXPECT_EQ(client_.Send(structure, 2048).Asc(), 0x3A);
}

TEST_F(VirtualDriveCommands, TableOfContents) {
  struct Entry {
    int control, track, m, s, f;
  };
  auto entries = [](const ScsiAnswer& answer) {
    QList<Entry> list;
    const int length = qFromBigEndian<quint16>(answer.data.constData()) + 2;
    for (int at = 4; at + 8 <= length; at += 8) {
      list.append({uint8_t(answer.data[at + 1]), uint8_t(answer.data[at + 2]),
                   uint8_t(answer.data[at + 5]), uint8_t(answer.data[at + 6]),
                   uint8_t(answer.data[at + 7])});
    }
    return list;
  };
  const ScsiAnswer toc = client_.Send(ReadTocCdb(0), 804);
  ASSERT_TRUE(toc.Good());
  EXPECT_EQ(qFromBigEndian<quint16>(toc.data.constData()), 2 + 4 * 8);
  EXPECT_EQ(toc.Transferred(), 4 + 4 * 8);
  EXPECT_EQ(toc.data[2], 1);
  EXPECT_EQ(toc.data[3], 3);
  const QList<Entry> all = entries(toc);
  ASSERT_EQ(all.size(), 4);
  const QList<std::array<int, 5>> expected = {
      {0x10, 1, 0, 2, 0}, {0x10, 2, 0, 6, 0}, {0x14, 3, 0, 8, 50}, {0x14, 0xAA, 0, 10, 0}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ((std::array<int, 5>{all[i].control, all[i].track, all[i].m, all[i].s, all[i].f}),
              expected[i])
        << i;
  }
  // From track 3 on; only the lead-out; LBA addresses.
  EXPECT_EQ(entries(client_.Send(ReadTocCdb(0, true, 3), 804)).size(), 2);
  const QList<Entry> leadOut = entries(client_.Send(ReadTocCdb(0, true, 0xAA), 804));
  ASSERT_EQ(leadOut.size(), 1);
  EXPECT_EQ(leadOut[0].track, 0xAA);
  const ScsiAnswer lba = client_.Send(ReadTocCdb(0, false), 804);
  EXPECT_EQ(qFromBigEndian<quint32>(lba.data.constData() + 4 + 8 + 4), 300u);
  EXPECT_EQ(qFromBigEndian<quint32>(lba.data.constData() + 4 + 24 + 4), 600u);
  // A short allocation gets the start of the answer, its length field unchanged.
  const ScsiAnswer cut = client_.Send(ReadTocCdb(0, true, 0, 12), 804);
  EXPECT_EQ(cut.Transferred(), 12);
  EXPECT_EQ(qFromBigEndian<quint16>(cut.data.constData()), 34);

  const ScsiAnswer capacity = client_.Send(Cdb(10, {{0, 0x25}}), 8);
  ASSERT_TRUE(capacity.Good());
  EXPECT_EQ(qFromBigEndian<quint32>(capacity.data.constData()), 599u);
  EXPECT_EQ(qFromBigEndian<quint32>(capacity.data.constData() + 4), 2048u);
}

TEST_F(VirtualDriveCommands, SectorReadsReturnTheImage) {
  // 27 audio sectors ending just before the lead-out of the audio, across the track boundary.
  const ScsiAnswer audio = client_.Send(ReadCdCdb(290, 27, 0xF0), 27 * kSector);
  ASSERT_TRUE(audio.Good());
  EXPECT_EQ(audio.command.residue, 0);
  EXPECT_EQ(audio.data, audio_.mid(290 * kSector, 27 * kSector));
  // Raw and user data of the data track; the header carries the sector's address.
  const ScsiAnswer raw = client_.Send(ReadCdCdb(598, 2, 0xF8, 2), 2 * kSector);
  ASSERT_TRUE(raw.Good());
  EXPECT_EQ(raw.data.mid(16, 2048), data_.mid(98 * 2048, 2048));
  EXPECT_EQ(raw.data.mid(kSector + 16, 2048), data_.mid(99 * 2048, 2048));
  EXPECT_EQ(raw.data.mid(12, 4),
            QByteArray::fromHex("00097301"));  // 598 + 150 frames = 00:09:73, Mode 1
  const ScsiAnswer user = client_.Send(Read10Cdb(500, 31), 31 * 2048);
  ASSERT_TRUE(user.Good());
  EXPECT_EQ(user.data, data_.left(31 * 2048));
  const ScsiAnswer userOnly = client_.Send(ReadCdCdb(510, 2, 0x10), 2 * 2048);
  ASSERT_TRUE(userOnly.Good());
  EXPECT_EQ(userOnly.data, data_.mid(10 * 2048, 2 * 2048));
  // A mixed request with "any type" gives each sector in its own form.
  const ScsiAnswer mixed = client_.Send(ReadCdCdb(499, 2, 0xF0), 2 * kSector);
  EXPECT_TRUE(mixed.Good());
  EXPECT_EQ(mixed.Transferred(), kSector + 2064);
  EXPECT_EQ(mixed.data.left(kSector), audio_.right(kSector));
  // A buffer smaller than the request takes what fits.
  const ScsiAnswer small = client_.Send(ReadCdCdb(0, 3), 3000);
  EXPECT_TRUE(small.Good());
  EXPECT_EQ(small.data, audio_.left(3000));
  // No fields selected: nothing transferred.
  EXPECT_EQ(client_.Send(ReadCdCdb(0, 3, 0x00), 3 * kSector).Transferred(), 0);
}

// A rip's reads on one thread while the tray, speed, faults and log are worked on another:
// each read returns the image's sectors or a proper NOT READY / MEDIUM ERROR, never other bytes.
TEST_F(VirtualDriveCommands, ReadsStayConsistentWhileTheDriveChanges) {
  std::atomic<bool> done = false;
  std::thread hand([&] {
    for (int i = 0; !done; ++i) {
      drive().SetTrayOpen(i % 2 == 0);
      drive().FailSector(i % 500, 1);
      drive().SetMaxSpeedKBps(1764 + i % 7 * 100);
      if (i % 50 == 0) drive().ClearCommandLog();
      std::this_thread::yield();
    }
  });
  ScsiClient reader;
  int good = 0;
  // At least 2000 reads, and on until one of them met a closed tray and a sound sector:
  // under load the hand may win every race of the first few thousand.
  for (int i = 0; (i < 2000 || good == 0) && i < 2000000; ++i) {
    const int lba = i * 27 % 473;
    const ScsiAnswer answer = reader.Send(ReadCdCdb(lba, 27), 27 * kSector);
    if (answer.Good()) {
      ++good;
      ASSERT_EQ(answer.data, audio_.mid(qsizetype(lba) * kSector, 27 * kSector)) << lba;
    } else {
      ASSERT_TRUE(answer.SenseKey() == 2 || answer.SenseKey() == 3) << answer.SenseKey();
      ASSERT_EQ(answer.data.left(answer.Transferred()),
                audio_.mid(qsizetype(lba) * kSector, answer.Transferred()));
    }
  }
  done = true;
  hand.join();
  EXPECT_GT(good, 0);
}

// Any command block gets a well-formed answer: GOOD, or CHECK CONDITION with sense, and never
// more data than the buffer holds (the buffer's tail past the transfer stays untouched).
TEST_F(VirtualDriveCommands, ArbitraryCommandBlocksGetWellFormedAnswers) {
  std::mt19937 random(20261210);
  for (int opcode = 0; opcode < 256; ++opcode) {
    for (int round = 0; round < 12; ++round) {
      QByteArray cdb(int(6 + random() % 11), '\0');
      for (char& byte : cdb) byte = char(random());
      cdb[0] = char(opcode);
      if (round % 3 == 0) cdb[2] = cdb[3] = cdb[4] = 0;  // small addresses reach the disc
      const int dataLength = int(random() % 70000);
      const ScsiAnswer answer = client_.Send(cdb, dataLength);
      ASSERT_EQ(answer.result, 0) << opcode;
      ASSERT_TRUE(
          answer.command.status == kScsiGood ||
          (answer.command.status == kScsiCheckCondition && answer.command.senseWritten == 18))
          << opcode;
      ASSERT_GE(answer.command.residue, 0) << opcode;
      ASSERT_EQ(answer.data.mid(answer.Transferred()),
                QByteArray(dataLength - answer.Transferred(), char(0xEE)))
          << opcode;
    }
    drive().SetTrayOpen(false);
    client_.Send(Cdb(6, {{0, 0x1E}}));
  }
  EXPECT_EQ(drive().CommandLog().size(), 256 * (12 + 1));
}

// A MODE2/2352 track: READ (10) gives the form 1 user data after the subheader, READ CD's
// user data field is everything after the header, and the expected-type field is checked.
TEST(VirtualDriveMode2, ReadsStoredSectors) {
  ImageFolder folder;
  const QByteArray stored = PatternSectors(11, 40);
  folder.Write("xa.bin", stored);
  VirtualDrive& drive = VirtualDriveHost::Instance().Drive(0);
  QString error;
  ASSERT_TRUE(drive.LoadCue(
      folder.Write("xa.cue", "FILE xa.bin BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n"),
      &error));
  ScsiClient client;
  const ScsiAnswer user = client.Send(Read10Cdb(3, 2), 4096);
  ASSERT_TRUE(user.Good());
  EXPECT_EQ(user.data, stored.mid(3 * kSector + 24, 2048) + stored.mid(4 * kSector + 24, 2048));
  const ScsiAnswer field = client.Send(ReadCdCdb(5, 1, 0x10, 3), kSector);
  EXPECT_EQ(field.Transferred(), 2336);
  EXPECT_EQ(field.data.left(2336), stored.mid(5 * kSector + 16, 2336));
  for (int type : {4, 5})
    EXPECT_TRUE(client.Send(ReadCdCdb(5, 1, 0xF8, type), kSector).Good()) << type;
  EXPECT_EQ(client.Send(ReadCdCdb(5, 1, 0xF8), kSector).data, stored.mid(5 * kSector, kSector));
  EXPECT_EQ(client.Send(ReadCdCdb(5, 1, 0xF8, 2), kSector).Asc(), 0x64);
  EXPECT_EQ(client.Send(ReadCdCdb(5, 1, 0xF8, 6), kSector).Asc(), 0x24);
}

}  // namespace
