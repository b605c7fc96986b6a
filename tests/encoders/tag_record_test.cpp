#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "encoders/tag_record.h"
#include "metadata/disc_info.h"
#include "support/test_support.h"

namespace {

class TagRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    info.ResetToDefaults(12);
    info.discId = "0C0D0E0C";
    info.artist = "Band";
    info.album = "Live";
    info.year = "1994";
    info.genre = "Jazz";
    info.comment = "Recorded at home";
    info.trackArtists[11] = "Guest";
    info.trackTitles[11] = "Finale";
  }
  TempConfig config;
  DiscInfo info;
  TagRecord record;
};

TEST_F(TagRecordTest, SlotsHoldTheTrackAndDiscTexts) {
  FillTagRecord(record, info, 11);
  EXPECT_STREQ(record.Text(TagRecord::Title), "Finale");
  EXPECT_STREQ(record.Text(TagRecord::Artist), "Band");  // not a various-artists disc
  EXPECT_STREQ(record.Text(TagRecord::Album), "Live");
  EXPECT_STREQ(record.Text(TagRecord::Year), "1994");
  EXPECT_STREQ(record.Text(TagRecord::Genre), "Jazz");
  EXPECT_STREQ(record.Text(TagRecord::Comment), "Recorded at home");
  EXPECT_STREQ(record.Text(TagRecord::TrackNumber), "12");

  info.SetVariousArtists(1);
  FillTagRecord(record, info, 11);
  EXPECT_STREQ(record.Text(TagRecord::Artist), "Guest");

  // A track the record has no names for: empty title and artist, the number all the same.
  FillTagRecord(record, info, 20);
  EXPECT_STREQ(record.Text(TagRecord::Title), "");
  EXPECT_STREQ(record.Text(TagRecord::Artist), "");
  EXPECT_STREQ(record.Text(TagRecord::TrackNumber), "21");
}

// The placeholders a disc without year, genre or comment shows are not written into files;
// a detail that was confirmed is, even when it equals its placeholder.
TEST_F(TagRecordTest, OnlyKnownDetailsAndTheAlbumArtistAreTagged) {
  DiscInfo fresh;
  fresh.ResetToDefaults(3);
  fresh.discId = "0C0D0E03";
  ASSERT_EQ(fresh.year, "2008");  // what the window shows
  FillTagRecord(record, fresh, 0);
  for (const auto slot : {TagRecord::Year, TagRecord::Genre, TagRecord::Comment}) {
    EXPECT_STREQ(record.Text(slot), "") << slot;
    EXPECT_EQ(record.Wide(slot), QString()) << slot;
  }
  EXPECT_STREQ(record.Text(TagRecord::AlbumArtist), "Unknown Artist");

  fresh.SetKnown(DiscInfo::Genre);
  fresh.comment = "Live take";
  FillTagRecord(record, fresh, 0);
  EXPECT_STREQ(record.Text(TagRecord::Genre), "Rock");
  EXPECT_STREQ(record.Text(TagRecord::Comment), "Live take");
  EXPECT_STREQ(record.Text(TagRecord::Year), "");

  FillTagRecord(record, info, 11);
  EXPECT_STREQ(record.Text(TagRecord::AlbumArtist), "Band");
  info.SetVariousArtists(1);
  FillTagRecord(record, info, 11);
  EXPECT_STREQ(record.Text(TagRecord::Artist), "Guest");
  EXPECT_STREQ(record.Text(TagRecord::AlbumArtist), "Band");
  info.artist = DiscInfo::kUnknownArtist;
  FillTagRecord(record, info, 11);
  EXPECT_STREQ(record.Text(TagRecord::AlbumArtist), "Various Artists");
}

TEST_F(TagRecordTest, TextsAreWindows1252AndCutTo511Bytes) {
  const struct {
    QString title;
    QByteArray expected;
  } cases[] = {
      {QStringLiteral("Café – €5"), QByteArray("Caf\xe9 \x96 \x80"
                                               "5")},
      {QStringLiteral("東京"), QByteArray("??")},
      {QString(600, QChar('x')), QByteArray(511, 'x')},
      {QString(510, QChar('y')) + QStringLiteral("é"), QByteArray(510, 'y') + "\xe9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title.left(20).toStdString());
    info.trackTitles[0] = c.title;
    FillTagRecord(record, info, 0);
    const char* slot = record.Text(TagRecord::Title);
    EXPECT_EQ(QByteArray(slot, qsizetype(strnlen(slot, TagRecord::kSlotBytes))), c.expected);
    EXPECT_EQ(slot[TagRecord::kMaxTextBytes], '\0');
    EXPECT_EQ(record.Wide(TagRecord::Title), c.title);  // whole, for Unicode tags
  }
}

TEST_F(TagRecordTest, EarlierLongerTextsDoNotShowThrough) {
  info.trackTitles[0] = QString(511, QChar('z'));
  info.comment = QString(300, QChar('c'));
  FillTagRecord(record, info, 0);
  info.trackTitles[0] = "Short";
  info.comment = "";
  FillTagRecord(record, info, 0);
  EXPECT_STREQ(record.Text(TagRecord::Title), "Short");
  EXPECT_STREQ(record.Text(TagRecord::Comment), "");
  EXPECT_EQ(record.Wide(TagRecord::Comment), QString());
  const auto& title = record.texts[TagRecord::Title];
  EXPECT_EQ(std::count(title.begin() + 5, title.end(), '\0'), TagRecord::kSlotBytes - 5);
}

}  // namespace
