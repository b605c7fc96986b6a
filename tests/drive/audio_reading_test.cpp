// The drive layer's audio reading on the virtual drive: the read offset's correction, and
// secure reading of a sector that reads wrong without an error.
#include <gtest/gtest.h>

#include <vector>

#include "drive/audio_reader.h"
#include "drive/cd_device.h"
#include "drive/drive_context.h"
#include "drive/read_offset.h"
#include "drive/virtual/virtual_drive.h"
#include "platform/mmc_opcodes.h"
#include "settings/settings_store.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

constexpr int kChunk = 27;
constexpr int kFrameBytes = 4;

class AudioReadingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device = disc.InsertForReading();
    ASSERT_TRUE(device);
    image = disc.TrackAudio(0) + disc.TrackAudio(1);
    Drive().ClearCommandLog();
  }
  void TearDown() override {
    Drive().SetReadOffset(0);
    Drive().ClearFaults();
    Drive().SetC2Pointers(false);
    if (device) device->readOffset = 0;
  }

  static VirtualDrive& Drive() { return VirtualDriveHost::Instance().Drive(0); }

  // The whole disc in chunks, as a rip reads it, with the outcomes added up.
  QByteArray ReadDisc(AudioReadOutcome& total) {
    QByteArray out;
    const int sectors = int(image.size() / 2352);
    std::vector<uint8_t> chunk(kChunk * 2352);
    EXPECT_TRUE(device->Open());
    for (int lba = 0; lba < sectors; lba += kChunk) {
      const int n = std::min(kChunk, sectors - lba);
      const AudioReadOutcome read = ReadAudioOrSilence(*device, lba, n, chunk.data());
      total.silentSectors += read.silentSectors;
      total.outsideFrames += read.outsideFrames;
      out.append(reinterpret_cast<const char*>(chunk.data()), n * 2352);
    }
    device->Close();
    return out;
  }

  // The sectors READ CD was sent for, in order.
  QList<int> ReadCdAddresses() {
    QList<int> addresses;
    for (const QByteArray& cdb : Drive().CommandLog()) {
      if (uint8_t(cdb[0]) != 0xBE) continue;
      addresses << ((uint8_t(cdb[2]) << 24) | (uint8_t(cdb[3]) << 16) | (uint8_t(cdb[4]) << 8) |
                    uint8_t(cdb[5]));
    }
    return addresses;
  }

  TempConfig config;
  TestDisc disc{{TestTrack(120), TestTrack(90)}};
  CdDevice* device = nullptr;
  QByteArray image;
};

TEST_F(AudioReadingTest, TheCorrectionGivesTheTrueAudioWithSilenceBeyondTheDisc) {
  for (int offset : {667, -30, 588, -1200, 0}) {
    SCOPED_TRACE(offset);
    Drive().SetReadOffset(offset);
    device->readOffset = offset;
    AudioReadOutcome corrected;
    const QByteArray audio = ReadDisc(corrected);
    ASSERT_EQ(audio.size(), image.size());
    const qsizetype unreachable = qsizetype(std::abs(offset)) * kFrameBytes;
    // What the drive cannot reach (before the disc for a negative offset, after it for a
    // positive one) is silence; everything else is the image, byte for byte.
    const qsizetype from = offset < 0 ? unreachable : 0;
    const qsizetype length = image.size() - unreachable;
    EXPECT_TRUE(audio.mid(from, length) == image.mid(from, length));
    EXPECT_EQ(audio.mid(offset < 0 ? 0 : length, unreachable), QByteArray(unreachable, 0));
    EXPECT_EQ(corrected.outsideFrames, std::abs(offset));
    EXPECT_EQ(corrected.silentSectors, 0);
    if (offset == 0) continue;

    device->readOffset = 0;  // uncorrected: what the drive delivers is not the disc's audio
    AudioReadOutcome raw;
    EXPECT_FALSE(ReadDisc(raw) == image);
    EXPECT_EQ(raw.outsideFrames, 0);
  }
}

TEST_F(AudioReadingTest, ADataTrackAfterTheAudioReadsAsSilenceNotAsErrors) {
  DiscImages images;
  QString error;
  ASSERT_TRUE(Drive().LoadCue(images.Write({{"AUDIO", 40}, {"MODE1/2352", 20}}), &error));
  ASSERT_TRUE(DriveContext::Instance().SelectDriveByDisplayName("[vcd0] KORVANE VIRTUAL CD"));
  int count = 0;
  ASSERT_TRUE(device->GetTrackCount(count));
  Drive().SetReadOffset(667);
  device->readOffset = 667;
  std::vector<uint8_t> chunk(13 * 2352);
  ASSERT_TRUE(device->Open());
  const AudioReadOutcome read = ReadAudioOrSilence(*device, 27, 13, chunk.data());
  device->Close();
  EXPECT_EQ(read.silentSectors, 0);
  EXPECT_EQ(read.outsideFrames, 667);
  const QByteArray got(reinterpret_cast<const char*>(chunk.data()), 13 * 2352);
  EXPECT_TRUE(got.left(13 * 2352 - 2668) == images.TrackBytes(0).mid(27 * 2352, 13 * 2352 - 2668));
  EXPECT_EQ(got.right(2668), QByteArray(2668, 0));
}

TEST_F(AudioReadingTest, TheOffsetIsStoredPerDriveModel) {
  EXPECT_EQ(StoredReadOffset("KORVANE VIRTUAL CD"), 0);
  ASSERT_TRUE(StoreReadOffset("KORVANE VIRTUAL CD", 667));
  EXPECT_FALSE(StoreReadOffset("KORVANE VIRTUAL CD", kMaxReadOffset + 1));
  EXPECT_FALSE(StoreReadOffset("", 6));
  EXPECT_EQ(StoredReadOffset("KORVANE VIRTUAL CD"), 667);
  EXPECT_EQ(StoredReadOffset("OTHER DRIVE"), 0);
  // The drive takes it when it is selected, whatever its device name.
  ASSERT_TRUE(DriveContext::Instance().SelectDriveByDisplayName("[vcd0] KORVANE VIRTUAL CD"));
  EXPECT_EQ(device->readOffset, 667);
  EXPECT_EQ(ReadOffsetText(667), "+667");
  EXPECT_EQ(ReadOffsetText(-30), "-30");
  EXPECT_EQ(ReadOffsetText(0), "0");
}

struct SecureCase {
  const char* name;
  int wrongReads;               // of sector 40 as the drive reads it, without an error
  int readOffset;               // the drive's, corrected
  std::vector<int> reread;      // the corrected sectors that hold the drive's sector 40
  bool exact;                   // the chunk comes out as the image holds it
  bool suspicious;              // never read the same twice
  bool sameWrongAudio = false;  // each wrong read gives the same wrong audio
  bool c2 = false;              // the drive reports C2 error pointers
};

class SecureReading : public AudioReadingTest, public ::testing::WithParamInterface<SecureCase> {};

TEST_P(SecureReading, ReReadsUntilTwoReadsAgree) {
  const SecureCase c = GetParam();
  Drive().SetReadOffset(c.readOffset);
  device->readOffset = c.readOffset;
  constexpr int kFirst = 27;
  const QByteArray expected = image.mid(kFirst * 2352, kChunk * 2352);

  Drive().SetC2Pointers(c.c2);
  Drive().CorruptSector(40, c.wrongReads, c.sameWrongAudio);
  std::vector<uint8_t> chunk(kChunk * 2352);
  ASSERT_TRUE(device->Open());
  const AudioReadOutcome secure = ReadAudioSecurely(*device, kFirst, kChunk, chunk.data());
  device->Close();
  const QByteArray got(reinterpret_cast<const char*>(chunk.data()), kChunk * 2352);
  EXPECT_EQ(got == expected, c.exact);
  EXPECT_TRUE(got.left(11 * 2352) == expected.left(11 * 2352));
  EXPECT_EQ(secure.rereadSectors, c.reread);
  EXPECT_EQ(secure.suspiciousSectors, c.suspicious ? c.reread : std::vector<int>{});
  EXPECT_EQ(secure.silentSectors, 0);
  // Two reads of the chunk, and never more than the re-reads allowed of each sector.
  const QList<int> reads = ReadCdAddresses();
  EXPECT_EQ(reads.count(kFirst + c.readOffset / 588), 2);
  EXPECT_LE(reads.count(40), 2 + kSecureRereads * int(c.reread.size()));

  // The fault is real: a fast read of the same chunk, with the fault set again, differs.
  if (c.wrongReads == 0) return;
  Drive().CorruptSector(40, 1);
  ASSERT_TRUE(device->Open());
  ReadAudioOrSilence(*device, kFirst, kChunk, chunk.data());
  device->Close();
  EXPECT_FALSE(QByteArray(reinterpret_cast<const char*>(chunk.data()), kChunk * 2352) == expected);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SecureReading,
    testing::Values(
        SecureCase{"clean", 0, 0, {}, true, false},
        SecureCase{"wrong_twice", 2, 0, {40}, true, false},
        SecureCase{"wrong_five_times_with_offset", 5, 667, {38, 39}, true, false},
        SecureCase{"never_agrees", 100, 0, {40}, false, true},
        // The same wrong audio twice: two reads agree, and only the drive's C2
        // error pointers tell that they are wrong.
        SecureCase{"same_wrong_twice_unnoticed", 2, 0, {}, false, false, true},
        SecureCase{"same_wrong_twice_with_c2", 2, 0, {40}, true, false, true, true},
        SecureCase{
            "same_wrong_five_times_with_c2_and_offset", 5, 667, {38, 39}, true, false, true, true},
        SecureCase{"c2_errors_on_every_read", 100, 0, {40}, false, true, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AudioReadingTest, SecureReadingDefeatsTheCacheBetweenItsReads) {
  std::vector<uint8_t> chunk(kChunk * 2352);
  ASSERT_TRUE(device->Open());
  ReadAudioSecurely(*device, 54, kChunk, chunk.data());
  device->Close();
  const QList<int> reads = ReadCdAddresses();
  ASSERT_EQ(reads.size(), 3);
  EXPECT_EQ(reads[0], 54);
  EXPECT_GT(std::abs(reads[1] - 54), kChunk);  // somewhere else between the two
  EXPECT_EQ(reads[2], 54);
}

TEST_F(AudioReadingTest, SecureReadingKeepsSilenceForSectorsThatNeverRead) {
  Drive().FailSector(60, -1);
  std::vector<uint8_t> chunk(kChunk * 2352);
  ASSERT_TRUE(device->Open());
  const AudioReadOutcome secure = ReadAudioSecurely(*device, 54, kChunk, chunk.data());
  device->Close();
  EXPECT_EQ(secure.silentSectors, 1);
  EXPECT_TRUE(secure.suspiciousSectors.empty());
  const QByteArray got(reinterpret_cast<const char*>(chunk.data()), kChunk * 2352);
  EXPECT_EQ(got.mid(6 * 2352, 2352), QByteArray(2352, 0));
  EXPECT_TRUE(got.left(6 * 2352) == image.mid(54 * 2352, 6 * 2352));
}

}  // namespace
