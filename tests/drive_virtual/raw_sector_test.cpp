#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>

#include <cstdint>

#include "drive/virtual/raw_sector.h"
#include "drive_virtual/drive_test_support.h"
#include "support/test_support.h"

namespace {

// ---- an independent check of ECMA-130's EDC and ECC, straight from their definitions ----

// Carry-less product of two polynomials over GF(2).
uint64_t PolyMultiply(uint64_t a, uint64_t b) {
  uint64_t product = 0;
  for (int bit = 0; bit < 32; ++bit) {
    if (b >> bit & 1) product ^= a << bit;
  }
  return product;
}

// The EDC field makes the whole stream of bytes 0..2067, each byte least significant bit
// first, a multiple of (x^16 + x^15 + x^2 + 1)(x^16 + x^2 + x + 1).
bool EdcVerifies(const uint8_t* sector) {
  const uint64_t p = PolyMultiply((1u << 16) | (1u << 15) | (1u << 2) | 1u,
                                  (1u << 16) | (1u << 2) | (1u << 1) | 1u);
  uint64_t remainder = 0;
  for (int i = 0; i < 2068; ++i) {
    for (int bit = 0; bit < 8; ++bit) {
      remainder = remainder << 1 | (sector[i] >> bit & 1);
      if (remainder >> 32 & 1) remainder ^= p;
    }
  }
  return remainder == 0;
}

// GF(2^8) with the field polynomial x^8 + x^4 + x^3 + x^2 + 1, multiplied bit by bit.
uint8_t GfMultiply(uint8_t a, uint8_t b) {
  uint8_t product = 0;
  for (int bit = 0; bit < 8; ++bit) {
    if (b >> bit & 1) product ^= a;
    a = uint8_t(a & 0x80 ? (a << 1) ^ 0x1D : a << 1);
  }
  return product;
}

uint8_t AlphaPower(int n) {
  uint8_t value = 1;
  for (int i = 0; i < n; ++i) value = GfMultiply(value, 2);
  return value;
}

// A code word v_0 .. v_{n-1} of the RSPC lies in the code when both syndromes vanish:
// sum v_i = 0 and sum alpha^(n-1-i) v_i = 0.
bool CodeWordVerifies(const QList<uint8_t>& word) {
  uint8_t s0 = 0;
  uint8_t s1 = 0;
  const int n = int(word.size());
  for (int i = 0; i < n; ++i) {
    s0 ^= word[i];
    s1 ^= GfMultiply(AlphaPower(n - 1 - i), word[i]);
  }
  return s0 == 0 && s1 == 0;
}

// Bytes 12..2351 as 1170 16-bit words in two byte planes: 43 P code words of 24 + 2 words
// (word c + 43 r), then 26 Q code words of 43 + 2 words (word 44 m + 43 d mod 1118, then
// words 1118 + d and 1144 + d).
bool EccVerifies(const uint8_t* sector) {
  for (int plane = 0; plane < 2; ++plane) {
    auto symbol = [&](int word) { return sector[12 + 2 * word + plane]; };
    for (int column = 0; column < 43; ++column) {
      QList<uint8_t> word;
      for (int row = 0; row < 26; ++row) word.append(symbol(column + 43 * row));
      if (!CodeWordVerifies(word)) return false;
    }
    for (int diagonal = 0; diagonal < 26; ++diagonal) {
      QList<uint8_t> word;
      for (int m = 0; m < 43; ++m) word.append(symbol((44 * m + 43 * diagonal) % 1118));
      word.append(symbol(1118 + diagonal));
      word.append(symbol(1144 + diagonal));
      if (!CodeWordVerifies(word)) return false;
    }
  }
  return true;
}

QByteArray Mode1Header(int lba) {
  const int frames = lba + 150;
  auto bcd = [](int v) { return char((v / 10) << 4 | (v % 10)); };
  return QByteArray::fromHex("00FFFFFFFFFFFFFFFFFFFF00") + bcd(frames / 4500) +
         bcd(frames / 75 % 60) + bcd(frames % 75) + char(1);
}

// Checks one raw Mode 1 sector: sync, header for lba, user data, zero field, EDC and ECC.
void ExpectMode1Sector(const QByteArray& sector, int lba, const QByteArray& user) {
  ASSERT_EQ(sector.size(), 2352);
  const auto* bytes = reinterpret_cast<const uint8_t*>(sector.constData());
  EXPECT_EQ(sector.left(16), Mode1Header(lba)) << lba;
  EXPECT_EQ(sector.mid(16, 2048), user) << lba;
  EXPECT_EQ(sector.mid(2068, 8), QByteArray(8, '\0')) << lba;
  EXPECT_TRUE(EdcVerifies(bytes)) << lba;
  EXPECT_TRUE(EccVerifies(bytes)) << lba;
}

// Sectors 0 .. count - 1 as READ CD gives them (every field), in 27-sector requests; a failed
// request ends the copy early.
QByteArray ReadRawDisc(ScsiClient& client, int count) {
  QByteArray sectors;
  for (int lba = 0; lba < count; lba += 27) {
    const int chunk = std::min(27, count - lba);
    const ScsiAnswer answer = client.Send(ReadCdCdb(lba, chunk, 0xF8), chunk * 2352);
    if (!answer.Good()) break;
    sectors += answer.data;
  }
  return sectors;
}

TEST(RawSector, Mode1SectorsCarryCorrectEdcAndEcc) {
  for (int lba : {0, 16, 4499, 71999, 332999}) {
    const QByteArray user = PatternSectors(lba, 1, 2048);
    QByteArray sector(2352, char(0x55));
    sector.replace(16, 2048, user);
    RawSector::FinishMode1(lba, reinterpret_cast<uint8_t*>(sector.data()));
    ExpectMode1Sector(sector, lba, user);
  }
  QByteArray zeros(2352, '\0');
  RawSector::FinishMode1(0, reinterpret_cast<uint8_t*>(zeros.data()));
  ExpectMode1Sector(zeros, 0, QByteArray(2048, '\0'));
}

// The checks above catch a single damaged byte anywhere they cover.
TEST(RawSector, CheckerCatchesDamage) {
  QByteArray sector(2352, '\0');
  sector.replace(16, 2048, PatternSectors(3, 1, 2048));
  RawSector::FinishMode1(1234, reinterpret_cast<uint8_t*>(sector.data()));
  for (int at : {12, 15, 16, 1000, 2063, 2064, 2067, 2076, 2247, 2248, 2351}) {
    QByteArray damaged = sector;
    damaged[at] = char(damaged[at] ^ 0x01);
    const auto* bytes = reinterpret_cast<const uint8_t*>(damaged.constData());
    EXPECT_FALSE(EccVerifies(bytes)) << at;
    if (at < 2068) {
      EXPECT_FALSE(EdcVerifies(bytes)) << at;
    }
  }
}

// An ISO 9660 image made by genisoimage, mounted as a MODE1/2048 track: raw reads carry the
// image's sectors with correct sync, header, EDC and ECC; written out as a MODE1/2352 BIN they
// load back and read the same.
TEST(RawSector, IsoImageReadsRawAndRoundTrips) {
  ImageFolder folder;
  QDir().mkpath(folder.Path("content"));
  folder.Write("content/readme.txt", PatternSectors(9, 30, 1000));
  QProcess mkisofs;
  mkisofs.start("genisoimage", {"-quiet", "-V", "KORVANE_TEST", "-o", folder.Path("data.iso"),
                                folder.Path("content")});
  ASSERT_TRUE(mkisofs.waitForFinished(60000) && mkisofs.exitCode() == 0)
      << mkisofs.readAllStandardError().toStdString();
  const QByteArray iso = ReadFileBytes(folder.Path("data.iso"));
  const int sectors = int(iso.size() / 2048);
  ASSERT_GT(sectors, 30);
  ASSERT_EQ(iso.mid(16 * 2048, 6), QByteArray("\x01"
                                              "CD001"));

  VirtualDrive& drive = VirtualDriveHost::Instance().Drive(0);
  QString error;
  ASSERT_TRUE(drive.LoadCue(
      folder.Write("iso.cue", "FILE data.iso BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n"),
      &error))
      << error.toStdString();
  ScsiClient client;
  const QByteArray raw = ReadRawDisc(client, sectors);
  ASSERT_EQ(raw.size(), qsizetype(sectors) * 2352);
  for (int lba = 0; lba < sectors; ++lba)
    ExpectMode1Sector(raw.mid(lba * 2352, 2352), lba, iso.mid(lba * 2048, 2048));

  folder.Write("copy.bin", raw);
  ASSERT_TRUE(drive.LoadCue(folder.Write("copy.cue",
                                         "FILE \"copy.bin\" BINARY\r\n  TRACK 01 MODE1/2352\r\n"
                                         "    INDEX 01 00:00:00\r\n"),
                            &error))
      << error.toStdString();
  const ScsiAnswer user = client.Send(Read10Cdb(0, sectors), sectors * 2048);
  ASSERT_TRUE(user.Good());
  EXPECT_EQ(user.data, iso);
  const ScsiAnswer again = client.Send(ReadCdCdb(0, 27, 0xF8), 27 * 2352);
  EXPECT_EQ(again.data, raw.left(27 * 2352));
}

// A disc of audio and data tracks copied sector by sector into one BIN, with the CUE sheet
// the image writer makes (a data track is MODE1/2352, INDEX 01 at each track's start),
// loads back with the same table of contents and the same sectors.
TEST(RawSector, MixedDiscRoundTripsThroughABinImage) {
  ImageFolder folder;
  const QByteArray audio = PatternSectors(4, 400);
  folder.Write("audio.bin", audio);
  folder.Write("data.iso", PatternSectors(5, 120, 2048));
  VirtualDrive& drive = VirtualDriveHost::Instance().Drive(0);
  QString error;
  ASSERT_TRUE(
      drive.LoadCue(folder.Write("source.cue",
                                 "FILE audio.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                 "TRACK 02 AUDIO\nINDEX 00 00:02:00\nINDEX 01 00:03:00\n"
                                 "FILE data.iso BINARY\nTRACK 03 MODE1/2048\nPREGAP 00:02:00\n"
                                 "INDEX 01 00:00:00\n"),
                    &error))
      << error.toStdString();
  ScsiClient client;
  const ScsiAnswer toc = client.Send(ReadTocCdb(0), 804);
  const int leadOut = 400 + 150 + 120;
  const QByteArray image = ReadRawDisc(client, leadOut);
  ASSERT_EQ(image.size(), qsizetype(leadOut) * 2352);
  EXPECT_EQ(image.left(400 * 2352), audio);
  const QByteArray data = ReadFileBytes(folder.Path("data.iso"));
  for (int lba = 400; lba < leadOut; ++lba) {  // the blank pregap, then the data
    const QByteArray user = lba < 550 ? QByteArray(2048, '\0') : data.mid((lba - 550) * 2048, 2048);
    ExpectMode1Sector(image.mid(qsizetype(lba) * 2352, 2352), lba, user);
  }

  folder.Write("copy.bin", image);
  ASSERT_TRUE(drive.LoadCue(folder.Write("copy.cue",
                                         "FILE \"copy.bin\" BINARY\r\n"
                                         "  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
                                         "  TRACK 02 AUDIO\r\n    INDEX 01 00:03:00\r\n"
                                         "  TRACK 03 MODE1/2352\r\n    INDEX 01 00:07:25\r\n"),
                            &error))
      << error.toStdString();
  EXPECT_EQ(client.Send(ReadTocCdb(0), 804).data, toc.data);
  EXPECT_EQ(ReadRawDisc(client, leadOut), image);
}

}  // namespace
