#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include "encoders/output_format.h"
#include "metadata/disc_info.h"
#include "platform/paths.h"
#include "rip/output_naming.h"
#include "settings/settings_store.h"
#include "support/test_support.h"

namespace {

class OutputNamingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    info.ResetToDefaults(12);
    info.discId = "AABBCC0C";
    info.artist = "Band";
    info.album = "Live";
    info.year = "1994";
    settings.outputFolder = out.path();
  }
  // The path below the output folder.
  QString Relative(const OutputPath& p) const { return p.path.mid(out.path().size() + 1); }

  TempConfig config;
  QTemporaryDir out;
  DiscInfo info;
  NamingSettings settings;
  std::unique_ptr<OutputFormat> mp3 = CreateOutputFormat(FormatId::Mp3);
  std::unique_ptr<OutputFormat> iso = CreateOutputFormat(FormatId::Iso);
};

TEST_F(OutputNamingTest, TrackPathsFromPatternsTemplatesAndNames) {
  struct Case {
    const char* name;
    int track;  // 0-based
    QString title;
    NamingPattern format;
    QString templ;
    bool artistFolder, albumFolder;
    QString expected;
  };
  const Case cases[] = {
      {"defaults", 2, "Song", NamingPattern::TrackTitle, "", true, true, "Band/Live/03 - Song.mp3"},
      {"forbidden characters", 2, "AC/DC: Live?", NamingPattern::TrackTitle, "", true, true,
       "Band/Live/03 - AC_DC_ Live_.mp3"},
      {"all eight and a tab", 0, "a:b<c>d\"e/f|g?h*i\tj", NamingPattern::TrackTitle, "", false,
       false, "01 - a_b_c_d_e_f_g_h_i_j.mp3"},
      {"control characters, DEL too", 0,
       "Bell\x1b[2J\x7f"
       "End\u0085",
       NamingPattern::TrackTitle, "", false, false, "01 - Bell_[2J_End_.mp3"},
      {"backslash is an ordinary character", 0, "Left\\Right", NamingPattern::TrackTitle, "", false,
       false, "01 - Left\\Right.mp3"},
      {"artist pattern", 6, "Intro", NamingPattern::ArtistTrackTitle, "", false, true,
       "Live/Band - 07 - Intro.mp3"},
      {"artist and album pattern", 11, "End", NamingPattern::ArtistAlbumTrackTitle, "", true, false,
       "Band/Band - Live - 12 - End.mp3"},
      {"template", 6, "Intro", NamingPattern::Advanced, "%N. %A - %T", true, true,
       "Band/Live/07. Band - Intro.mp3"},
      {"keyword inside a title", 0, "Vs %A", NamingPattern::Advanced, "%T", true, true,
       "Band/Live/Vs Band.mp3"},
      {"all keywords, text kept", 8, "T", FromStored<NamingPattern>(7), "[%Y] %L %N %% %T%A", false,
       false, "[1994] Live 09 %% TBand.mp3"},
      {"title of dots only", 0, "..", NamingPattern::Advanced, "%T", false, false, "_.mp3"},
      {"empty title", 0, "", NamingPattern::TrackTitle, "", false, false, "01 - .mp3"},
      {"empty name becomes the number", 4, "", NamingPattern::Advanced, "%T", false, false,
       "05.mp3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    info.trackTitles[c.track] = c.title;
    settings.fileNameFormat = c.format;
    settings.advancedTemplate = c.templ;
    settings.subDirArtist = c.artistFolder;
    settings.subDirAlbum = c.albumFolder;
    const OutputPath p = BuildTrackPath(c.track, *mp3, info, settings);
    EXPECT_EQ(Relative(p), c.expected);
    EXPECT_TRUE(p.folderReady);
    EXPECT_TRUE(QFileInfo(p.path).dir().exists());
  }
}

TEST(UniqueInRun, ANameTakenEarlierInTheRunGetsTheNextFreeNumber) {
  QSet<QString> taken;
  const QStringList asked{"/m/a.wav", "/m/a.wav", "/m/a (2).wav", "/m/a.wav", "/m/b.wav"};
  const QStringList given{"/m/a.wav", "/m/a (2).wav", "/m/a (2) (2).wav", "/m/a (3).wav",
                          "/m/b.wav"};
  for (int i = 0; i < asked.size(); ++i) EXPECT_EQ(UniqueInRun(asked[i], taken), given[i]) << i;
}

TEST_F(OutputNamingTest, DiscNamesNeverLeaveTheOutputFolder) {
  const struct {
    const char* name;
    QString artist, album;
    QString expectedFolders;
  } cases[] = {
      {"dot artist", ".", "Live", "_/Live"},
      {"dot-dot artist and album", "..", "..", "_/_"},
      {"path in the artist", "../../etc", "x", ".._.._etc/x"},
      {"album with trailing dots", "Band", "Greatest Hits...", "Band/Greatest Hits"},
      {"album of many dots", "Band", ".....", "Band/_"},
      {"slash in the album", "Band", "/", "Band/_"},
      {"empty artist adds no folder", "", "Live", "Live"},
      {"absolute artist", "/root", "", "_root"},
  };
  info.trackTitles[0] = "Song";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    info.artist = c.artist;
    info.album = c.album;
    const OutputPath p = BuildTrackPath(0, *mp3, info, settings);
    EXPECT_EQ(Relative(p), c.expectedFolders + "/01 - Song.mp3");
    EXPECT_TRUE(QFileInfo(p.path).absoluteFilePath().startsWith(out.path() + "/"));
  }
}

// A compilation or a disc with a guest stays in one album folder, its album artist's ("Various
// Artists" when the disc names none); the file name keeps the track's own artist.
TEST_F(OutputNamingTest, VariousArtistsDiscsKeepTheAlbumFolderAndTheTrackArtistInTheName) {
  info.SetVariousArtists(1);
  info.trackArtists[0] = "Band";
  info.trackArtists[1] = "Guest";
  info.trackTitles[0] = "Song";
  info.trackTitles[1] = "Duet";
  settings.fileNameFormat = NamingPattern::ArtistTrackTitle;
  const struct {
    const char* discArtist;
    const char* folder;
  } cases[] = {{"Band", "Band"}, {"Unknown Artist", "Various Artists"}, {"", "Various Artists"}};
  for (const auto& c : cases) {
    info.artist = c.discArtist;
    EXPECT_EQ(Relative(BuildTrackPath(1, *mp3, info, settings)),
              QString(c.folder) + "/Live/Guest - 02 - Duet.mp3");
    EXPECT_EQ(Relative(BuildTrackPath(0, *mp3, info, settings)),
              QString(c.folder) + "/Live/Band - 01 - Song.mp3");
  }
}

TEST_F(OutputNamingTest, LongNamesAreCutInFrontOfTheExtensionBetweenCharacters) {
  settings.subDirArtist = false;
  const struct {
    const char* name;
    QString title;
  } cases[] = {
      {"two-byte characters", QString(300, QChar(0xE9))},
      {"four-byte characters", QString::fromUtf8(QByteArray("\xF0\x9F\x98\x80").repeated(100))},
      {"ascii with dots", QString("a.b.").repeated(100)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    info.trackTitles[0] = c.title;
    const OutputPath p = BuildTrackPath(0, *mp3, info, settings);
    const QString file = QFileInfo(p.path).fileName();
    const QByteArray bytes = file.toUtf8();
    EXPECT_LE(bytes.size(), kMaxComponentBytes);
    EXPECT_GT(bytes.size(), kMaxComponentBytes - 4);  // cut no further than needed
    EXPECT_TRUE(file.endsWith(".mp3"));
    EXPECT_EQ(QString::fromUtf8(bytes), file);  // no broken character
    EXPECT_TRUE(file.startsWith("01 - " + c.title.left(10)));
    QFile written(p.path);
    EXPECT_TRUE(written.open(QIODevice::WriteOnly));
  }

  info.album = QString(300, QChar('A'));
  const OutputPath p = BuildTrackPath(0, *mp3, info, settings);
  EXPECT_EQ(QFileInfo(p.path).dir().dirName(), QString(255, QChar('A')));
  EXPECT_TRUE(p.folderReady);
}

TEST_F(OutputNamingTest, WholePathStaysWithinTheSystemLimit) {
  // 15 folders of 250 bytes: about 3780 bytes before the disc's own folders.
  QString deep = out.path();
  for (int i = 0; i < 15; ++i) deep += "/" + QString(250, QChar('d' + i % 3));
  ASSERT_TRUE(QDir().mkpath(deep));
  settings.outputFolder = deep;
  settings.subDirArtist = false;
  info.album = QString(200, QChar('L'));
  info.trackTitles[0] = QString(250, QChar('t'));
  const OutputPath fits = BuildTrackPath(0, *mp3, info, settings);
  EXPECT_TRUE(fits.folderReady);
  EXPECT_EQ(fits.path.toUtf8().size(), kMaxPathBytes);
  EXPECT_TRUE(fits.path.endsWith("ttt.mp3"));
  QFile file(fits.path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));

  // No room left for a name at all: reported like a folder that cannot be made.
  info.album = QString(250, QChar('L'));
  settings.outputFolder = deep + "/" + QString(60, QChar('x'));
  const OutputPath none = BuildTrackPath(0, *mp3, info, settings);
  EXPECT_FALSE(none.folderReady);
  EXPECT_EQ(none.folderError, "File name too long");
}

TEST_F(OutputNamingTest, FolderThatCannotBeCreatedIsReportedAndThePathStillGiven) {
  ASSERT_TRUE(WriteFileBytes(out.filePath("blocker"), "file"));
  settings.outputFolder = out.filePath("blocker");
  info.trackTitles[0] = "Song";
  const OutputPath p = BuildTrackPath(0, *mp3, info, settings);
  EXPECT_FALSE(p.folderReady);
  EXPECT_EQ(p.folderError, "Not a directory") << "the system's reason";
  EXPECT_EQ(p.path, out.filePath("blocker/Band/Live/01 - Song.mp3"));
}

TEST_F(OutputNamingTest, ImagesGetTheLabelAndNeverReplaceAnOlderImage) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  const QDateTime when(QDate(2026, 12, 8), QTime(4, 15, 0));
  const struct {
    QString label;
    QString expected;
  } names[] = {
      {"", "IMAGE.iso"}, {"MY/DISC", "MY_DISC.iso"}, {"..", "_.iso"}, {"Data", "Data.iso"}};
  for (const auto& n : names) {
    EXPECT_EQ(Relative(BuildImagePath(*iso, n.label, settings, when)), n.expected);
  }

  const OutputPath first = BuildImagePath(*iso, "", settings, when);
  ASSERT_TRUE(WriteFileBytes(first.path, "one"));
  const OutputPath second = BuildImagePath(*iso, "", settings, when);
  EXPECT_EQ(Relative(second), "IMAGE_Tue_08Dec2026_041500.iso");
  ASSERT_TRUE(WriteFileBytes(second.path, "two"));
  EXPECT_EQ(Relative(BuildImagePath(*iso, "", settings, when)), "IMAGE_Tue_08Dec2026_041500_2.iso");

  // A label that holds the extension text keeps it; a dangling link counts as taken.
  ASSERT_TRUE(WriteFileBytes(out.filePath("a.iso.b.iso"), "x"));
  EXPECT_EQ(Relative(BuildImagePath(*iso, "a.iso.b", settings, when)),
            "a.iso.b_Tue_08Dec2026_041500.iso");
  ASSERT_TRUE(QFile::link(out.filePath("nowhere"), out.filePath("Linked.iso")));
  EXPECT_EQ(Relative(BuildImagePath(*iso, "Linked", settings, when)),
            "Linked_Tue_08Dec2026_041500.iso");
}

TEST_F(OutputNamingTest, SettingsComeFromTheStoreWithTheirDefaults) {
  SettingsStore& store = SettingsStore::Instance();
  NamingSettings loaded = NamingSettings::Load();
  EXPECT_EQ(loaded.outputFolder, Paths::MusicDir());
  EXPECT_TRUE(loaded.subDirArtist);
  EXPECT_TRUE(loaded.subDirAlbum);
  EXPECT_EQ(loaded.fileNameFormat, NamingPattern::TrackTitle);
  EXPECT_EQ(loaded.advancedTemplate, "%A - %N - %T");

  store.WriteOutputFolder("");
  store.WriteInt(Key::FileNameFormat, ToStored(NamingPattern::Advanced));
  store.WriteString(Key::AdvancedFileFormat, "%T");
  store.WriteInt(Key::SubDirAlbum, 0);
  store.Load();
  loaded = NamingSettings::Load();
  EXPECT_EQ(loaded.outputFolder, Paths::MusicDir());  // an empty folder never means "/"
  EXPECT_FALSE(loaded.subDirAlbum);
  EXPECT_EQ(loaded.fileNameFormat, NamingPattern::Advanced);
  EXPECT_EQ(loaded.advancedTemplate, "%T");
}

}  // namespace
