#include <gtest/gtest.h>

#include <QtEndian>

#include "drive/virtual/disc_image.h"
#include "drive_virtual/drive_test_support.h"

namespace {

// A disc of three silent tracks with the given texts (disc first, then the tracks).
std::shared_ptr<const DiscImage> DiscWithText(const QStringList& titles,
                                              const QStringList& performers) {
  DiscLayout layout;
  layout.title = titles.value(0);
  layout.performer = performers.value(0);
  for (int i = 1; i <= 3; ++i) {
    const int start = (i - 1) * 100;
    layout.tracks.append(
        {i, TrackMode::Audio, start, start, start + 100, titles.value(i), performers.value(i)});
  }
  layout.runs.append({0, 300, TrackMode::Audio, SectorRun::Source::Blank, -1, 0});
  return DiscImage::Generated(std::move(layout), nullptr);
}

// Plain CRC-16 (x^16 + x^12 + x^5 + 1, no inversion) of a byte run.
uint16_t PlainCrc(const QByteArray& bytes) {
  uint32_t remainder = 0;
  for (char byte : bytes) {
    for (int bit = 7; bit >= 0; --bit) {
      remainder = remainder << 1 | (uint8_t(byte) >> bit & 1);
      if (remainder & 0x10000) remainder ^= 0x11021;
    }
  }
  for (int bit = 0; bit < 16; ++bit) {  // multiply by x^16
    remainder <<= 1;
    if (remainder & 0x10000) remainder ^= 0x11021;
  }
  return uint16_t(remainder);
}

QByteArray ReadCdTextPacks(ScsiClient& client, int allocation = 0xFF00,
                           ScsiAnswer* answer = nullptr) {
  ScsiAnswer reply = client.Send(ReadTocCdb(5, false, 0, allocation), 0xFF00);
  EXPECT_TRUE(reply.Good());
  const int length = qFromBigEndian<quint16>(reply.data.constData());
  if (answer) *answer = reply;
  return reply.data.mid(4, std::min(length - 2, reply.Transferred() - 4));
}

TEST(CdText, PacksCarryTheTextsWithValidCrcs) {
  const QStringList titles = {"A Rather Long Album Title", "One", "",
                              QString::fromUtf8("Trois \u00e9t\u00e9 \u20ac")};
  const QStringList performers = {"Band", "Band", "Guest Singer", "Band"};
  VirtualDriveHost::Instance().Drive(0).LoadImage(DiscWithText(titles, performers));
  ScsiClient client;
  ScsiAnswer answer;
  const QByteArray packs = ReadCdTextPacks(client, 0xFF00, &answer);
  ASSERT_EQ(packs.size() % 18, 0);
  const int count = int(packs.size() / 18);
  EXPECT_EQ(qFromBigEndian<quint16>(answer.data.constData()), 2 + 18 * count);
  EXPECT_EQ(answer.Transferred(), 4 + 18 * count);

  int previousType = 0x80;
  QByteArray titleBytes;
  for (int i = 0; i < count; ++i) {
    const QByteArray pack = packs.mid(i * 18, 18);
    const auto type = uint8_t(pack[0]);
    EXPECT_TRUE(type == 0x80 || type == 0x81) << i;
    EXPECT_GE(type, previousType) << "titles come before performers";
    previousType = type;
    if (type == 0x80) titleBytes += pack.mid(4, 12);
    EXPECT_EQ(uint8_t(pack[2]), i) << "sequence number";
    EXPECT_EQ(uint8_t(pack[3]) & 0xF0, 0) << "block 0, single-byte characters";
    // The stored CRC is inverted: put back, the whole pack divides by the generator.
    QByteArray restored = pack;
    restored[16] = char(~pack[16]);
    restored[17] = char(~pack[17]);
    EXPECT_EQ(PlainCrc(restored), 0) << "pack " << i;
  }
  // The long disc title spills into a second pack: track 0, 12 characters already sent.
  EXPECT_EQ(packs[18 + 1], 0);
  EXPECT_EQ(packs[18 + 3], 12);
  EXPECT_EQ(packs.mid(4, 12), "A Rather Lon");

  const DecodedCdText text = DecodeCdText(packs, 4);
  EXPECT_EQ(text.titles, titles);
  EXPECT_EQ(text.performers, performers);
  // Windows-1252 bytes on the disc.
  EXPECT_TRUE(titleBytes.contains("Trois \xe9t\xe9 \x80"));
}

TEST(CdText, DiscWithoutTextAndShortAllocation) {
  VirtualDrive& drive = VirtualDriveHost::Instance().Drive(0);
  drive.LoadImage(DiscWithText({}, {}));
  ScsiClient client;
  ScsiAnswer answer;
  EXPECT_TRUE(ReadCdTextPacks(client, 0xFF00, &answer).isEmpty());
  EXPECT_EQ(qFromBigEndian<quint16>(answer.data.constData()), 2);
  EXPECT_EQ(answer.Transferred(), 4);

  drive.LoadImage(DiscWithText({"", "Only a track title"}, {}));
  const QByteArray titlesOnly = ReadCdTextPacks(client);
  EXPECT_EQ(DecodeCdText(titlesOnly, 4).titles, (QStringList{"", "Only a track title", "", ""}));
  EXPECT_TRUE(DecodeCdText(titlesOnly, 4).performers.isEmpty());

  const QByteArray cut = ReadCdTextPacks(client, 4 + 18, &answer);
  EXPECT_EQ(answer.Transferred(), 4 + 18);
  EXPECT_EQ(qFromBigEndian<quint16>(answer.data.constData()), 2 + titlesOnly.size());
  EXPECT_EQ(cut, titlesOnly.left(18));
}

// Texts longer than READ TOC's 16-bit data length can describe are cut, not wrapped.
TEST(CdText, OverlongTextsStayWithinTheLengthField) {
  const QString longText(30000, 'x');
  VirtualDriveHost::Instance().Drive(0).LoadImage(DiscWithText({longText, longText}, {longText}));
  ScsiClient client;
  ScsiAnswer answer;
  const QByteArray packs = ReadCdTextPacks(client, 0xFF00, &answer);
  const int length = qFromBigEndian<quint16>(answer.data.constData());
  EXPECT_EQ((length - 2) % 18, 0);
  EXPECT_GT(length, 0xFF00 - 4);  // more than the allocation: the transfer is cut there
  EXPECT_EQ(answer.Transferred(), 0xFF00);
  EXPECT_EQ(uint8_t(packs[0]), 0x80);
}

}  // namespace
