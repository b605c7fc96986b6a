#include <gtest/gtest.h>

#include <QFile>

#include "metadata/current_disc.h"
#include "metadata/disc_info.h"
#include "settings/ini_file.h"
#include "support/freedb_example.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

class DiscInfoTest : public ::testing::Test {
 protected:
  QString CachePath() const { return config.File(DiscInfo::kCacheFileName); }
  QByteArray CacheBytes() const { return ReadFileBytes(CachePath()); }
  void WriteCache(const QByteArray& text) { ASSERT_TRUE(WriteFileBytes(CachePath(), text)); }
  QString Cached(const QString& section, const QString& key) const {
    QString value;
    IniFile(DiscInfo::kCacheFileName).ReadString(section, key, QStringLiteral("<absent>"), value);
    return value;
  }

  TempConfig config;
};

TEST_F(DiscInfoTest, ResetGivesDefaultsOnlyForAValidTrackCount) {
  DiscInfo info;
  ASSERT_TRUE(info.ResetToDefaults(3));
  EXPECT_EQ(info.discId, "00000000");
  EXPECT_EQ(info.artist, "Unknown Artist");
  EXPECT_EQ(info.album, "Unknown Album");
  EXPECT_EQ(info.year, "2008");
  EXPECT_EQ(info.genre, "Rock");
  EXPECT_EQ(info.comment, "Korvane");
  EXPECT_EQ(info.trackTitles, QStringList({"Track 01", "Track 02", "Track 03"}));
  EXPECT_EQ(info.trackArtists, QStringList(3, "Unknown Artist"));

  for (int bad : {0, -1, 100}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(info.ResetToDefaults(bad));
    EXPECT_TRUE(info.trackTitles.isEmpty());
    EXPECT_TRUE(info.trackArtists.isEmpty());
    EXPECT_EQ(info.album, "Unknown Album");
  }
  EXPECT_TRUE(info.ResetToDefaults(99));
  EXPECT_EQ(info.trackTitles.last(), "Track 99");
}

TEST_F(DiscInfoTest, UnchangedRecordWritesNothing) {
  {
    DiscInfo info;
    EXPECT_FALSE(info.InitForDisc(FreedbExample::Toc()));
    EXPECT_EQ(info.discId, "0501A202");
    EXPECT_TRUE(info.SaveToCache());
  }
  EXPECT_FALSE(QFile::exists(CachePath()) && CacheBytes().contains("0501A202"));
  DiscInfo again;
  EXPECT_FALSE(again.InitForDisc(FreedbExample::Toc()));
}

TEST_F(DiscInfoTest, SavedValuesComeBackExactlyIncludingNonAscii) {
  {
    DiscInfo info;
    info.InitForDisc(FreedbExample::Toc());
    info.album = QStringLiteral("Für Elise – Ωμέγα 東京");
    info.artist = QStringLiteral("Björk");
    info.year = "1999";
    info.genre = "Jazz";
    info.comment = QString();  // empty differs from the default and is kept
    info.trackTitles[1] = QStringLiteral("Naïve 😀");
    EXPECT_TRUE(info.SaveToCache());
  }
  EXPECT_TRUE(CacheBytes().contains(QStringLiteral("Für Elise – Ωμέγα 東京").toUtf8()));
  EXPECT_EQ(Cached("0501A202", "Track_1"), "Track 01");  // keeps the run of track keys whole

  DiscInfo loaded;
  ASSERT_TRUE(loaded.InitForDisc(FreedbExample::Toc()));
  EXPECT_EQ(loaded.album, QStringLiteral("Für Elise – Ωμέγα 東京"));
  EXPECT_EQ(loaded.artist, QStringLiteral("Björk"));
  EXPECT_EQ(loaded.year, "1999");
  EXPECT_EQ(loaded.genre, "Jazz");
  EXPECT_EQ(loaded.comment, "");
  EXPECT_EQ(loaded.trackTitles, QStringList({"Track 01", QStringLiteral("Naïve 😀")}));
  EXPECT_EQ(loaded.GetTrackArtist(1), QStringLiteral("Björk"));
}

// Reading a cached value drops a pair of quotes around it and blanks at its ends; a title
// that has them (an album called "Heroes", quotes and all) still survives saving and loading.
TEST_F(DiscInfoTest, QuotedAndSpacedTextsSurviveSavingAndLoading) {
  WriteCache("[7A0B5C0D]\nDisc_Title=\"\"Heroes\"\"\nDisc_Artist=' Band '\nTrack_1='One'\n");
  auto load = [](DiscInfo& info) {
    info.ResetToDefaults(2);
    info.discId = "7A0B5C0D";
    return info.LoadFromCache();
  };
  DiscInfo info;
  ASSERT_TRUE(load(info));
  EXPECT_EQ(info.album, "\"Heroes\"");
  EXPECT_EQ(info.artist, " Band ");
  EXPECT_EQ(info.trackTitles, QStringList({"One", "Track 02"}));
  info.trackTitles[1] = "'Two' ";
  info.comment = "\"";
  EXPECT_TRUE(info.SaveToCache());

  DiscInfo again;
  ASSERT_TRUE(load(again));
  EXPECT_EQ(again.album, "\"Heroes\"");
  EXPECT_EQ(again.artist, " Band ");
  EXPECT_EQ(again.comment, "\"");
  EXPECT_EQ(again.trackTitles, QStringList({"One", "'Two' "}));
}

TEST_F(DiscInfoTest, TitleBackAtDefaultIsNotWrittenAndOldEntryStays) {
  DiscInfo info;
  info.ResetToDefaults(6);
  info.discId = "0A0B0C06";
  info.trackTitles[4] = "Intro";
  info.SaveToCache();
  info.trackTitles[4] = "Track 05";
  info.album = "Live";
  info.SaveToCache();
  EXPECT_EQ(Cached("0A0B0C06", "Track_5"), "Intro");
  EXPECT_EQ(Cached("0A0B0C06", "Disc_Title"), "Live");
}

TEST_F(DiscInfoTest, LoadingStopsAtTheFirstAbsentTrackKey) {
  WriteCache(
      "[0501A202]\nTrack_1=One\nTrack_3=Three\n"
      "[11111104]\nTrack_1=A\nTrack_2=B\nTrack_3=C\nTrack_4=Track_4\nTrack_5=E\n");
  DiscInfo gap;
  ASSERT_TRUE(gap.InitForDisc(FreedbExample::Toc()));
  EXPECT_EQ(gap.trackTitles, QStringList({"One", "Track 02"}));

  DiscInfo selfNamed;
  selfNamed.ResetToDefaults(5);
  selfNamed.discId = "11111104";
  ASSERT_TRUE(selfNamed.LoadFromCache());
  EXPECT_EQ(selfNamed.trackTitles, QStringList({"A", "B", "C", "Track 04", "Track 05"}));
}

// Keys past the disc's last track (a section edited by hand, or two discs sharing an
// identifier) add no rows the disc does not have.
TEST_F(DiscInfoTest, LoadingReadsOnlyTheDiscsOwnTracks) {
  QByteArray text = "[22222202]\n";
  for (int n = 1; n <= 105; ++n)
    text += "Track_" + QByteArray::number(n) + "=T" + QByteArray::number(n) + "\n";
  text += "VA=1\n";
  for (int n = 1; n <= 11; ++n)
    text += "Artist_" + QByteArray::number(n) + "=A" + QByteArray::number(n) + "\n";
  WriteCache(text);
  const struct {
    int tracks;
    QStringList titles;
  } cases[] = {{2, {"T1", "T2"}}, {4, {"T1", "T2", "T3", "T4"}}, {0, {}}};
  for (const auto& c : cases) {
    DiscInfo info;
    info.ResetToDefaults(c.tracks);
    info.discId = "22222202";
    ASSERT_TRUE(info.LoadFromCache());
    EXPECT_EQ(info.trackTitles, c.titles) << c.tracks;
    EXPECT_EQ(info.trackArtists.size(), c.titles.size()) << c.tracks;
  }
  DiscInfo full;
  full.ResetToDefaults(99);
  full.discId = "22222202";
  ASSERT_TRUE(full.LoadFromCache());
  EXPECT_EQ(full.trackTitles.size(), 99);
  EXPECT_EQ(full.trackTitles.last(), "T99");
}

TEST_F(DiscInfoTest, VariousArtistsSectionWithOnlyTheMarkCountsAsCached) {
  WriteCache("[0501A202]\nVA=1\nArtist_1=Guest\nDisc_Artist=Album Band\n");
  DiscInfo info;
  ASSERT_TRUE(info.InitForDisc(FreedbExample::Toc()));
  EXPECT_EQ(info.GetVariousArtists(), 1);
  EXPECT_EQ(info.album, "Unknown Album");
  EXPECT_EQ(info.artist, "Album Band");  // the album artist of a various-artists disc
  EXPECT_EQ(info.AlbumArtist(), "Album Band");
  EXPECT_EQ(info.GetTrackArtist(0), "Guest");
  EXPECT_EQ(info.GetTrackArtist(1), "Unknown Artist");

  WriteCache("[0501A202]\nVA=1\n");
  DiscInfo markOnly;
  EXPECT_TRUE(markOnly.InitForDisc(FreedbExample::Toc()));
  EXPECT_EQ(markOnly.AlbumArtist(), "Various Artists");
  WriteCache("[0501A202]\n; nothing here\n");
  DiscInfo emptySection;
  EXPECT_FALSE(emptySection.InitForDisc(FreedbExample::Toc()));
  EXPECT_EQ(emptySection.GetVariousArtists(), 0);
}

// Year, genre and comment are known once they leave their placeholders or were confirmed;
// a confirmed placeholder value is stored and read back as known.
TEST_F(DiscInfoTest, DetailsAreKnownWhenChangedConfirmedOrStored) {
  DiscInfo info;
  info.InitForDisc(FreedbExample::Toc());
  for (const auto detail : {DiscInfo::Year, DiscInfo::Genre, DiscInfo::Comment}) {
    EXPECT_FALSE(info.IsKnown(detail)) << detail;
    EXPECT_EQ(info.TagText(detail), "") << detail;
  }
  info.year = "1999";
  info.SetKnown(DiscInfo::Genre);  // "Rock", confirmed
  EXPECT_TRUE(info.IsKnown(DiscInfo::Year));
  EXPECT_EQ(info.TagText(DiscInfo::Genre), "Rock");
  info.SaveToCache();
  EXPECT_EQ(Cached("0501A202", "Disc_Genre"), "Rock");
  EXPECT_EQ(Cached("0501A202", "Disc_Comment"), "<absent>");

  DiscInfo loaded;
  ASSERT_TRUE(loaded.InitForDisc(FreedbExample::Toc()));
  EXPECT_EQ(loaded.TagText(DiscInfo::Year), "1999");
  EXPECT_EQ(loaded.TagText(DiscInfo::Genre), "Rock");
  EXPECT_EQ(loaded.TagText(DiscInfo::Comment), "");
  EXPECT_EQ(loaded.comment, "Korvane");  // still shown
  loaded.ResetToDefaults(2);
  EXPECT_FALSE(loaded.IsKnown(DiscInfo::Genre));
}

TEST_F(DiscInfoTest, TrackArtistFollowsTheVariousArtistsMark) {
  DiscInfo info;
  info.InitForDisc(FreedbExample::Toc());
  info.artist = "Band";
  info.trackArtists = {"Solo", "Duo"};
  EXPECT_EQ(info.GetTrackArtist(0), "Band");
  EXPECT_EQ(info.GetTrackArtist(1), "Band");
  EXPECT_EQ(info.GetTrackArtist(2), "");
  EXPECT_EQ(info.GetTrackArtist(-1), "");
  EXPECT_EQ(info.GetTrackTitle(2), "");

  info.SaveToCache();
  EXPECT_EQ(Cached("0501A202", "Disc_Artist"), "Band");
  EXPECT_EQ(Cached("0501A202", "Artist_1"), "<absent>");

  EXPECT_TRUE(info.SetVariousArtists(1));
  EXPECT_EQ(info.GetTrackArtist(0), "Solo");
  EXPECT_EQ(info.GetTrackArtist(1), "Duo");
  info.SaveToCache();
  EXPECT_EQ(Cached("0501A202", "Artist_2"), "Duo");
  EXPECT_EQ(Cached("0501A202", "VA"), "1");
}

TEST_F(DiscInfoTest, OnlyTheLastTrackChangedStillLoadsBack) {
  {
    DiscInfo info;
    info.InitForDisc(FreedbExample::Toc());
    info.SetVariousArtists(1);
    info.trackTitles[1] = "Second";
    info.trackArtists[1] = "Guest";
    info.SaveToCache();
  }
  DiscInfo loaded;
  ASSERT_TRUE(loaded.InitForDisc(FreedbExample::Toc()));
  EXPECT_EQ(loaded.trackTitles, QStringList({"Track 01", "Second"}));
  EXPECT_EQ(loaded.trackArtists, QStringList({"Unknown Artist", "Guest"}));
}

// Reading CD-TEXT writes nothing, so every reading gives the same record; once saved (after an
// edit or a lookup) the disc comes back whole from the cache, its album artist included.
TEST_F(DiscInfoTest, CdTextFillsTheRecordWithoutWritingTheCache) {
  CdText records{{
      {QStringLiteral("Café Tunes"), QStringLiteral("The €uro Band")},
      {"Opening", "Singer A"},
      {"", "Singer B"},  // no title on the disc for track 2
  }};
  {
    DiscInfo info;
    ASSERT_FALSE(info.InitForDisc(FreedbExample::Toc()));
    info.ImportCdText(records, 2);
    EXPECT_EQ(info.GetVariousArtists(), 1);
    EXPECT_EQ(info.album, QStringLiteral("Café Tunes"));
    EXPECT_EQ(info.artist, QStringLiteral("The €uro Band"));
    EXPECT_EQ(info.trackTitles, QStringList({"Opening", "Track 02"}));
    EXPECT_EQ(info.GetTrackArtist(1), "Singer B");
    EXPECT_FALSE(QFile::exists(CachePath()));
    DiscInfo again;
    ASSERT_FALSE(again.InitForDisc(FreedbExample::Toc()));
    again.ImportCdText(records, 2);
    EXPECT_EQ(again.artist, info.artist);
    EXPECT_EQ(again.GetVariousArtists(), 1);
    EXPECT_FALSE(QFile::exists(CachePath()));
    again.SaveToCache();
  }
  DiscInfo next;
  ASSERT_TRUE(next.InitForDisc(FreedbExample::Toc()));
  EXPECT_EQ(next.artist, QStringLiteral("The €uro Band"));
  EXPECT_EQ(next.album, QStringLiteral("Café Tunes"));
  EXPECT_EQ(next.trackTitles, QStringList({"Opening", "Track 02"}));
  EXPECT_EQ(next.GetTrackArtist(0), "Singer A");
  EXPECT_EQ(next.GetTrackArtist(1), "Singer B");
}

TEST_F(DiscInfoTest, CdTextWithoutTextsLeavesTheDefaults) {
  DiscInfo info;
  info.InitForDisc(FreedbExample::Toc());
  info.ImportCdText(CdText{}, 2);
  EXPECT_EQ(info.album, "Unknown Album");
  EXPECT_EQ(info.trackTitles, QStringList({"Track 01", "Track 02"}));
  EXPECT_EQ(info.GetTrackArtist(1), "Unknown Artist");
}

// Reading a disc's information never writes the cache; storing it is a call of its own.
TEST_F(DiscInfoTest, EditsAreStoredOnlyWhenSaved) {
  {
    DiscInfo info;
    info.InitForDisc(FreedbExample::Toc());
    info.genre = "Blues";
  }
  EXPECT_EQ(Cached("0501A202", "Disc_Genre"), "<absent>");
  DiscInfo info;
  info.InitForDisc(FreedbExample::Toc());
  info.genre = "Blues";
  info.SaveToCache();
  EXPECT_EQ(Cached("0501A202", "Disc_Genre"), "Blues");
}

// The various-artists mark follows what the tracks say: one performer for the whole disc
// keeps it as the disc artist, different ones give each track its own.
TEST_F(DiscInfoTest, CdTextMarksVariousArtistsOnlyWhenTrackPerformersDiffer) {
  const struct {
    const char* what;
    CdText text;
    int various;
    QString artist;
    QStringList trackArtists;  // as GetTrackArtist gives them
  } cases[] = {
      {"disc performer only",
       {{{"Album", "Band"}, {"One", ""}, {"Two", ""}}},
       0,
       "Band",
       {"Band", "Band"}},
      {"tracks repeat the disc performer",
       {{{"Album", "Band"}, {"One", "Band"}, {"Two", "Band"}}},
       0,
       "Band",
       {"Band", "Band"}},
      {"tracks name one performer, the disc none",
       {{{"Album", ""}, {"One", "Solo"}, {"Two", "Solo"}}},
       0,
       "Solo",
       {"Solo", "Solo"}},
      {"a guest on one track",
       {{{"Album", "Band"}, {"One", "Band"}, {"Two", "Guest"}}},
       1,
       "Band",
       {"Band", "Guest"}},
      {"a compilation",
       {{{"Hits", "Various"}, {"One", "Ann"}, {"Two", "Bob"}}},
       1,
       "Various",
       {"Ann", "Bob"}},
  };
  for (const auto& c : cases) {
    QFile::remove(CachePath());
    DiscInfo info;
    ASSERT_FALSE(info.InitForDisc(FreedbExample::Toc())) << c.what;
    info.ImportCdText(c.text, 2);
    EXPECT_EQ(info.GetVariousArtists(), c.various) << c.what;
    EXPECT_EQ(info.artist, c.artist) << c.what;
    EXPECT_EQ(QStringList({info.GetTrackArtist(0), info.GetTrackArtist(1)}), c.trackArtists)
        << c.what;
    DiscInfo unsaved;  // reading CD-TEXT wrote nothing
    EXPECT_FALSE(unsaved.InitForDisc(FreedbExample::Toc())) << c.what;
    info.SaveToCache();
    DiscInfo next;  // the next insertion, from the cache
    ASSERT_TRUE(next.InitForDisc(FreedbExample::Toc())) << c.what;
    EXPECT_EQ(next.artist, c.artist) << c.what;
    EXPECT_EQ(QStringList({next.GetTrackArtist(0), next.GetTrackArtist(1)}), c.trackArtists)
        << c.what;
  }
}

TEST_F(DiscInfoTest, CdTextOfTheDiscInTheDriveIsTheSameOnEveryReading) {
  TestDisc disc({{300, "Intro", "Ann"}, {400, QStringLiteral("Déjà vu"), "Bob"}, {500, "", ""}},
                "Mixtape", "Various");
  ASSERT_NE(disc.Insert(), nullptr);
  {
    DiscInfo info;
    ASSERT_FALSE(InitForCurrentDisc(info));
    ASSERT_TRUE(LoadCdText(info));
    EXPECT_EQ(info.album, "Mixtape");
    EXPECT_EQ(info.artist, "Various");
    EXPECT_EQ(info.trackTitles, QStringList({"Intro", QStringLiteral("Déjà vu"), "Track 03"}));
    EXPECT_EQ(info.GetTrackArtist(1), "Bob");
    EXPECT_EQ(info.GetTrackArtist(2), "Unknown Artist");
  }
  DiscInfo again;
  ASSERT_FALSE(InitForCurrentDisc(again));
  ASSERT_TRUE(LoadCdText(again));
  EXPECT_EQ(again.artist, "Various");
  EXPECT_EQ(again.album, "Mixtape");
  EXPECT_EQ(again.trackTitles, QStringList({"Intro", QStringLiteral("Déjà vu"), "Track 03"}));
  EXPECT_EQ(again.GetTrackArtist(0), "Ann");
}

TEST_F(DiscInfoTest, DiscWithoutCdTextKeepsItsDefaults) {
  TestDisc disc({TestTrack(300), TestTrack(400)});
  ASSERT_NE(disc.Insert(), nullptr);
  DiscInfo info;
  ASSERT_FALSE(InitForCurrentDisc(info));
  LoadCdText(info);
  EXPECT_EQ(info.album, "Unknown Album");
  EXPECT_EQ(info.artist, "Unknown Artist");
  EXPECT_EQ(info.trackTitles, QStringList({"Track 01", "Track 02"}));
}

}  // namespace
