// What the drive layer makes of raw answers: TOC buffers, CD-TEXT packs, INQUIRY names,
// display names.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "drive/cd_device.h"
#include "drive/cd_text.h"
#include "drive/drive_context.h"
#include "drive/toc.h"
#include "platform/mmc_opcodes.h"

namespace {

struct Entry {
  int track;
  int control;
  int m, s, f;
};

Toc::Buffer MakeToc(int first, int last, const std::vector<Entry>& entries) {
  Toc::Buffer b{};
  const int length = 2 + 8 * static_cast<int>(entries.size());
  b[0] = static_cast<uint8_t>(length >> 8);
  b[1] = static_cast<uint8_t>(length);
  b[2] = static_cast<uint8_t>(first);
  b[3] = static_cast<uint8_t>(last);
  for (size_t k = 0; k < entries.size(); ++k) {
    uint8_t* d = b.data() + 4 + 8 * k;
    d[1] = static_cast<uint8_t>(0x10 | entries[k].control);
    d[2] = static_cast<uint8_t>(entries[k].track);
    d[5] = static_cast<uint8_t>(entries[k].m);
    d[6] = static_cast<uint8_t>(entries[k].s);
    d[7] = static_cast<uint8_t>(entries[k].f);
  }
  return b;
}

TEST(TocView, TwoTrackDiscSpansSizesAndSeconds) {
  const Toc::Buffer b = MakeToc(1, 2, {{1, 0, 0, 2, 0}, {2, 0, 3, 0, 0}, {0xAA, 0, 5, 0, 0}});
  const Toc::View toc(b);
  int count = 0, start = 0, end = 0, seconds = 0, leadOut = 0;
  int64_t size = 0;
  ASSERT_TRUE(toc.TrackCount(count));
  EXPECT_EQ(count, 2);
  struct Expect {
    int start, end;
    int64_t size;
    int seconds;
  };
  // A rip reads start to end inclusive; the size and time are those of the sectors it reads.
  const Expect expected[] = {{0, 13349, 13350LL * 2352, 178}, {13350, 22349, 9000LL * 2352, 120}};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(toc.TrackStart(i, start) && toc.TrackEnd(i, end) && toc.TrackSize(i, size) &&
                toc.TrackSeconds(i, seconds));
    EXPECT_EQ(start, expected[i].start);
    EXPECT_EQ(end, expected[i].end);
    EXPECT_EQ(size, expected[i].size);
    EXPECT_EQ(seconds, expected[i].seconds);
  }
  ASSERT_TRUE(toc.LeadOut(leadOut));
  EXPECT_EQ(leadOut, 22350);
  EXPECT_FALSE(toc.TrackStart(2, start));
  EXPECT_FALSE(toc.TrackStart(-1, start));
}

TEST(TocView, FirstTrackStartsAtZeroWhateverItsDescriptorSays) {
  const Toc::Buffer b = MakeToc(1, 1, {{1, 0, 0, 2, 33}, {0xAA, 0, 4, 0, 0}});
  int start = -1;
  ASSERT_TRUE(Toc::View(b).TrackStart(0, start));
  EXPECT_EQ(start, 0);
  // Its INDEX 01, where its audio proper begins, is where the descriptor says.
  int index01 = -1;
  ASSERT_TRUE(Toc::View(b).Index01(0, index01));
  EXPECT_EQ(index01, 33);
}

TEST(TocView, Index01InsideTheLeadInIsSectorZero) {
  const Toc::Buffer b = MakeToc(1, 1, {{1, 0, 0, 1, 70}, {0xAA, 0, 4, 0, 0}});
  int index01 = -1;
  ASSERT_TRUE(Toc::View(b).Index01(0, index01));
  EXPECT_EQ(index01, 0);
  EXPECT_FALSE(Toc::View(b).Index01(1, index01)) << "the lead-out is no track";
}

// A disc may start at another track than 1: positions, not track numbers, find the
// descriptors, and the first track starts where its descriptor says.
TEST(TocView, DiscWhoseFirstTrackIsThree) {
  const Toc::Buffer b = MakeToc(3, 4, {{3, 0, 0, 4, 0}, {4, 0, 1, 0, 0}, {0xAA, 0, 2, 0, 0}});
  const Toc::View toc(b);
  int count = 0, start = 0, end = 0, seconds = 0, leadOut = 0;
  int64_t size = 0;
  ASSERT_TRUE(toc.TrackCount(count));
  EXPECT_EQ(count, 2);
  ASSERT_TRUE(toc.TrackStart(0, start) && toc.TrackEnd(0, end) && toc.TrackSize(0, size));
  EXPECT_EQ(start, 150);
  EXPECT_EQ(end, 4349);
  EXPECT_EQ(size, 4200LL * 2352);
  ASSERT_TRUE(toc.TrackStart(1, start) && toc.TrackEnd(1, end) && toc.TrackSeconds(1, seconds));
  EXPECT_EQ(start, 4350);
  EXPECT_EQ(end, 8849);
  EXPECT_EQ(seconds, 60);
  ASSERT_TRUE(toc.LeadOut(leadOut));
  EXPECT_EQ(leadOut, 8850);
  EXPECT_FALSE(toc.TrackStart(2, start));
}

TEST(TocView, DataTracksByControlBit) {
  const Toc::Buffer b = MakeToc(1, 2, {{1, 0, 0, 2, 0}, {2, 4, 3, 0, 0}, {0xAA, 4, 5, 0, 0}});
  bool data = true;
  ASSERT_TRUE(Toc::View(b).IsDataTrack(0, data));
  EXPECT_FALSE(data);
  ASSERT_TRUE(Toc::View(b).IsDataTrack(1, data));
  EXPECT_TRUE(data);
}

TEST(TocView, HeadersThatHoldNoUsableTrackList) {
  struct Case {
    const char* name;
    int first, last;
    bool counts;
  };
  for (const Case& c : {Case{"absent", 0, 0, false}, Case{"100 tracks", 1, 100, false},
                        Case{"last below first", 5, 3, false}, Case{"99 tracks", 1, 99, true},
                        Case{"first track 0", 0, 1, true}}) {
    SCOPED_TRACE(c.name);
    const Toc::Buffer b = MakeToc(c.first, c.last, {});
    int count = 0;
    EXPECT_EQ(Toc::View(b).TrackCount(count), c.counts);
    EXPECT_EQ(Toc::View(b).IsValidIndex(0), c.counts);
  }
  EXPECT_TRUE(Toc::View(Toc::Buffer{}).IsAbsent());
}

// Track numbers address descriptors; numbers that point outside the buffer must fail
// instead of reading past it.
TEST(TocView, TrackNumbersThatPointOutsideTheBufferFail) {
  int lba = 0;
  // Lead-out position = last track number 150: beyond the 100 descriptors.
  const Toc::Buffer farLast = MakeToc(100, 150, {{100, 0, 0, 2, 0}, {0xAA, 0, 5, 0, 0}});
  EXPECT_FALSE(Toc::View(farLast).LeadOut(lba));
  EXPECT_FALSE(Toc::View(farLast).TrackEnd(0, lba));
  // Descriptor 0 carrying the lead-out number AAh or track 0.
  for (int track : {0xAA, 0}) {
    const Toc::Buffer b = MakeToc(1, 1, {{track, 0, 0, 2, 0}, {0xAA, 0, 5, 0, 0}});
    EXPECT_FALSE(Toc::View(b).TrackStart(0, lba)) << track;
    if (track == 0xAA) {
      EXPECT_FALSE(Toc::View(b).TrackEnd(0, lba));
    }
  }
}

// ---- CD-TEXT ----

std::vector<uint8_t> Pack(uint8_t type, uint8_t track, const std::string& text12) {
  std::vector<uint8_t> pack(18, 0);
  pack[0] = type;
  pack[1] = track;
  std::memcpy(pack.data() + 4, text12.data(), std::min<size_t>(12, text12.size()));
  return pack;
}

std::vector<uint8_t> Response(const std::vector<std::vector<uint8_t>>& packs) {
  std::vector<uint8_t> r(4, 0);
  for (const auto& p : packs) r.insert(r.end(), p.begin(), p.end());
  const size_t length = r.size() - 2;
  r[0] = static_cast<uint8_t>(length >> 8);
  r[1] = static_cast<uint8_t>(length);
  return r;
}

CdText Parse(const std::vector<uint8_t>& r, int tracks) {
  return ParseCdText(r.data(), static_cast<int>(r.size()), (r[0] << 8) | r[1], tracks);
}

TEST(CdTextWalk, TextsContinueAcrossPacksAndIntoTheNextTrack) {
  using std::string;
  const auto r = Response({
      Pack(0x80, 0, string("Album Title") + '\0'),                    // disc title, whole
      Pack(0x80, 1, "A Very Long "),                                  // track 1 runs over
      Pack(0x80, 1, string("Name") + '\0' + "Second" + '\0' + '\0'),  // ... ends, track 2 begins
      Pack(0x81, 0, string("Band") + '\0' + "Sol" + '\0' + "Duo"),    // disc, track 1, track 2
      Pack(0x8F, 0, "size info   "),                                  // other pack types: ignored
  });
  const CdText text = Parse(r, 2);
  ASSERT_EQ(text.records.size(), 3);
  EXPECT_EQ(text.records[0].title, "Album Title");
  EXPECT_EQ(text.records[1].title, "A Very Long Name");
  EXPECT_EQ(text.records[2].title, "Second");
  EXPECT_EQ(text.records[0].performer, "Band");
  EXPECT_EQ(text.records[1].performer, "Sol");
  EXPECT_EQ(text.records[2].performer, "Duo");
}

TEST(CdTextWalk, TextIsWindows1252) {
  const auto r = Response({Pack(0x81, 1, "Bj\xF6rk \x80\x99")});
  EXPECT_EQ(Parse(r, 1).records[1].performer,
            QString::fromUtf8("Bj\xC3\xB6rk \xE2\x82\xAC\xE2\x84\xA2"));
}

TEST(CdTextWalk, NeverWritesOutsideItsRecords) {
  using std::string;
  // Track 9 on a two-track disc, and a continuation running past the last track.
  const auto r = Response(
      {Pack(0x80, 9, "Stray"), Pack(0x80, 2, string("Two") + '\0' + "Three" + '\0' + "Four")});
  const CdText text = Parse(r, 2);
  ASSERT_EQ(text.records.size(), 3);
  EXPECT_EQ(text.records[2].title, "Two");

  // A field that keeps growing stops at 511 bytes.
  std::vector<std::vector<uint8_t>> packs(60, Pack(0x80, 1, "xxxxxxxxxxxx"));
  EXPECT_EQ(Parse(Response(packs), 1).records[1].title.size(), 511);

  // A length that claims more packs than the bytes hold.
  std::vector<uint8_t> claimed = Response({Pack(0x80, 1, "Real")});
  claimed[0] = 0xFF;
  claimed[1] = 0xFF;
  EXPECT_EQ(Parse(claimed, 1).records[1].title, "Real");
  EXPECT_EQ(ParseCdText(claimed.data(), static_cast<int>(claimed.size()), 3, 1).records[1].title,
            "");
}

// ---- names ----

TEST(DriveNames, InquiryVendorAndProductJoinedWithoutSeparatorAndTrimmed) {
  struct Case {
    const char* vendor8;
    const char* product16;
    const char* name;
  };
  for (const Case& c : {Case{"HL-DT-ST", "DVDRAM GH24NSD1 ", "HL-DT-STDVDRAM GH24NSD1"},
                        Case{"KORVANE ", "VIRTUAL CD      ", "KORVANE VIRTUAL CD"},
                        Case{"  TEAC  ", "CD-W552E\0\0\0\0\0\0\0\0", "TEAC  CD-W552E"}}) {
    uint8_t inquiry[255] = {};
    std::memcpy(inquiry + 8, c.vendor8, 8);
    std::memcpy(inquiry + 16, c.product16, 16);
    EXPECT_EQ(InquiryProductName(inquiry), c.name);
  }
}

TEST(DriveNames, DisplayNamesSplitIntoDeviceAndProduct) {
  EXPECT_EQ(MakeDisplayName("sr0", "HL-DT-STDVDRAM GH24NSD1 "), "[sr0] HL-DT-STDVDRAM GH24NSD1");
  EXPECT_EQ(MakeDisplayName("sg1", ""), "[sg1]");  // a drive whose INQUIRY names nothing
  EXPECT_EQ(DeviceNameOf(" [vcd0] KORVANE VIRTUAL CD"), "vcd0");
  EXPECT_EQ(ProductNameOf(" [vcd0] KORVANE VIRTUAL CD "), "KORVANE VIRTUAL CD");
  EXPECT_EQ(DeviceNameOf("KORVANE VIRTUAL CD"), "");
  const QStringList drives = {"[sr0] A", "[sr1] A", "[vcd0] KORVANE VIRTUAL CD"};
  EXPECT_EQ(FindDrive(drives, "sr1"), "[sr1] A");
  EXPECT_EQ(FindDrive(drives, "[vcd0] KORVANE VIRTUAL CD"), "[vcd0] KORVANE VIRTUAL CD");
  EXPECT_EQ(FindDrive(drives, "sr2"), "");
  EXPECT_EQ(FindDrive(drives, ""), "");
}

TEST(CommandBlocks, LengthFollowsTheOpcodeGroup) {
  struct Case {
    uint8_t opcode;
    int length;
  };
  for (const Case& c :
       {Case{0x00, 6}, Case{0x1B, 6}, Case{0x25, 10}, Case{0x43, 10}, Case{0x5A, 10},
        Case{0x88, 16}, Case{0xAD, 12}, Case{0xBE, 12},
        // reserved and vendor-specific groups: the 12 bytes of a drive's vendor command
        Case{0x60, 12}, Case{0x7F, 12}, Case{0xD8, 12}, Case{0xE9, 12}, Case{0xFF, 12}}) {
    EXPECT_EQ(CdbLength(c.opcode), c.length) << int(c.opcode);
  }
}

}  // namespace
