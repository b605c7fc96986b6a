#include <gtest/gtest.h>

#include <QDir>

#include "drive/virtual/cue_sheet.h"
#include "drive/virtual/disc_image.h"
#include "drive_virtual/drive_test_support.h"

namespace {

struct ImageFile {
  QString name;
  int sectors;
  int sectorSize;
};

struct ExpectedTrack {
  int number;
  TrackMode mode;
  int pregapStart;
  int start;
  int end;
};

struct GoodSheet {
  const char* name;
  QList<ImageFile> files;
  QByteArray cue;
  QList<ExpectedTrack> tracks;
  QString discTitle = {};
  QString discPerformer = {};
  QStringList trackTitles = {};
};

// Writes each file with a pattern seeded by its position, so misplaced sectors show.
void WriteFiles(const ImageFolder& folder, const QList<ImageFile>& files) {
  for (int i = 0; i < files.size(); ++i) {
    QDir().mkpath(QFileInfo(folder.Path(files[i].name)).path());
    folder.Write(files[i].name, PatternSectors(i, files[i].sectors, files[i].sectorSize));
  }
}

void PrintTo(const GoodSheet& sheet, std::ostream* out) { *out << sheet.name; }

class CueSheetGood : public testing::TestWithParam<GoodSheet> {};

TEST_P(CueSheetGood, LaysOutTracksAndText) {
  const GoodSheet& sheet = GetParam();
  ImageFolder folder;
  WriteFiles(folder, sheet.files);
  QString error;
  const auto image = LoadCueSheet(folder.Write("disc.cue", sheet.cue), &error);
  ASSERT_TRUE(image) << error.toStdString();
  ASSERT_EQ(image->Tracks().size(), sheet.tracks.size());
  for (int i = 0; i < sheet.tracks.size(); ++i) {
    const DiscTrack& got = image->Tracks()[i];
    const ExpectedTrack& want = sheet.tracks[i];
    EXPECT_EQ(got.number, want.number) << i;
    EXPECT_EQ(got.mode, want.mode) << i;
    EXPECT_EQ(got.pregapStart, want.pregapStart) << "track " << want.number;
    EXPECT_EQ(got.start, want.start) << "track " << want.number;
    EXPECT_EQ(got.end, want.end) << "track " << want.number;
  }
  EXPECT_EQ(image->LeadOut(), sheet.tracks.last().end);
  EXPECT_EQ(image->Title(), sheet.discTitle);
  EXPECT_EQ(image->Performer(), sheet.discPerformer);
  for (int i = 0; i < sheet.trackTitles.size(); ++i)
    EXPECT_EQ(image->Tracks()[i].title, sheet.trackTitles[i]);
}

INSTANTIATE_TEST_SUITE_P(
    Sheets, CueSheetGood,
    testing::Values(
        GoodSheet{"OneFileWithIndex00",
                  {{"a.bin", 3000, 2352}},
                  "FILE \"a.bin\" BINARY\n"
                  "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                  "  TRACK 02 AUDIO\n    INDEX 00 00:10:00\n    INDEX 01 00:12:00\n"
                  "  TRACK 03 AUDIO\n    INDEX 01 00:20:00\n",
                  {{1, TrackMode::Audio, 0, 0, 750},
                   {2, TrackMode::Audio, 750, 900, 1500},
                   {3, TrackMode::Audio, 1500, 1500, 3000}}},
        GoodSheet{
            "SeveralFilesPregapAndCookedData",
            {{"data.iso", 500, 2048}, {"t2.bin", 300, 2352}, {"t3.bin", 200, 2352}},
            "FILE \"data.iso\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n"
            "FILE \"t2.bin\" BINARY\n  TRACK 02 AUDIO\n    PREGAP 00:02:00\n    INDEX 01 00:00:00\n"
            "FILE \"t3.bin\" BINARY\n  TRACK 03 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 "
            "00:01:00\n",
            {{1, TrackMode::Mode1Cooked, 0, 0, 500},
             {2, TrackMode::Audio, 500, 650, 950},
             {3, TrackMode::Audio, 950, 1025, 1150}}},
        GoodSheet{"Mode2AndPostgap",
                  {{"mixed.bin", 600, 2352}},
                  "FILE mixed.bin BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n    "
                  "POSTGAP 00:02:00\n"
                  "  TRACK 02 AUDIO\n    INDEX 01 00:02:50\n",
                  {{1, TrackMode::Mode2Raw, 0, 0, 350}, {2, TrackMode::Audio, 350, 350, 750}}},
        GoodSheet{"WrittenByTheImageWriter",
                  {{"disc.bin", 700, 2352}},
                  "FILE \"disc.bin\" BINARY\r\n  TRACK 01 MODE1/2352\r\n    INDEX 01 00:00:00\r\n"
                  "  TRACK 02 AUDIO\r\n    INDEX 01 00:04:00\r\n",
                  {{1, TrackMode::Mode1Raw, 0, 0, 300}, {2, TrackMode::Audio, 300, 300, 700}}},
        GoodSheet{
            "Windows1252TextAndIgnoredCommands",
            {{"a b.bin", 200, 2352}},
            "REM GENRE Jazz\nCATALOG 0000000000000\nPERFORMER \"Bj\xf6rk \x80\"\ntitle "
            "\"Caf\xe9\"\n"
            "file \"a b.bin\" binary\n  track 01 audio\n    FLAGS DCP\n    ISRC ABCDE1234567\n"
            "    TITLE \"Na\xefve\"\n    index 01 00:00:00\n",
            {{1, TrackMode::Audio, 0, 0, 200}},
            QString::fromUtf8("Caf\u00e9"),
            QString::fromUtf8("Bj\u00f6rk \u20ac"),
            {QString::fromUtf8("Na\u00efve")}},
        GoodSheet{"Utf8WithByteOrderMark",
                  {{"a.bin", 100, 2352}},
                  "\xEF\xBB\xBFTITLE \"Caf\xC3\xA9 \xE2\x99\xAA\"\nFILE \"a.bin\" BINARY\n"
                  "  TRACK 01 AUDIO\n    TITLE \"\xC3\x9C\"\n    INDEX 01 00:00:00\n",
                  {{1, TrackMode::Audio, 0, 0, 100}},
                  QString::fromUtf8("Caf\u00e9 \u266a"),
                  {},
                  {QString::fromUtf8("\u00dc")}},
        GoodSheet{
            "CarriageReturnLineEnds",
            {{"a.bin", 90, 2352}},
            "FILE \"a.bin\" BINARY\r  TRACK 01 AUDIO\r    INDEX 01 00:00:00\r  TRACK 02 AUDIO\r"
            "    INDEX 01 00:01:00\r",
            {{1, TrackMode::Audio, 0, 0, 75}, {2, TrackMode::Audio, 75, 75, 90}}},
        GoodSheet{"FirstTrackIsNotOne",
                  {{"a.bin", 600, 2352}},
                  "FILE \"a.bin\" BINARY\n  TRACK 03 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 "
                  "00:02:00\n"
                  "  TRACK 04 AUDIO\n    INDEX 01 00:05:00\n",
                  {{3, TrackMode::Audio, 0, 150, 375}, {4, TrackMode::Audio, 375, 375, 600}}},
        GoodSheet{"BackslashInFileName",
                  {{"sub/a.bin", 80, 2352}},
                  "FILE \"sub\\a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n",
                  {{1, TrackMode::Audio, 0, 0, 80}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadSheet {
  const char* name;
  QByteArray cue;
  int line;
  const char* message;
};

void PrintTo(const BadSheet& sheet, std::ostream* out) { *out << sheet.name; }

class CueSheetBad : public testing::TestWithParam<BadSheet> {};

// Every malformed sheet is refused with its line named; a.bin holds 300 audio sectors, b.bin none.
TEST_P(CueSheetBad, IsRefusedNamingTheLine) {
  const BadSheet& sheet = GetParam();
  ImageFolder folder;
  folder.Write("a.bin", PatternSectors(0, 300));
  folder.Write("b.bin", {});
  QString error;
  EXPECT_FALSE(LoadCueSheet(folder.Write("bad.cue", sheet.cue), &error));
  EXPECT_TRUE(error.contains(QStringLiteral("line %1:").arg(sheet.line))) << error.toStdString();
  EXPECT_TRUE(error.contains(sheet.message)) << error.toStdString();
  EXPECT_TRUE(error.startsWith("bad.cue")) << error.toStdString();
}

constexpr char kFileA[] = "FILE \"a.bin\" BINARY\n";

INSTANTIATE_TEST_SUITE_P(
    Sheets, CueSheetBad,
    testing::Values(
        BadSheet{"UnknownMode", QByteArray(kFileA) + "TRACK 01 MODE3/2352\nINDEX 01 00:00:00\n", 2,
                 "unknown track mode"},
        BadSheet{"MissingFile",
                 "REM x\nFILE \"gone.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", 2,
                 "missing file"},
        BadSheet{"SecondsOutOfRange", QByteArray(kFileA) + "TRACK 01 AUDIO\nINDEX 01 00:60:00\n", 3,
                 "bad time"},
        BadSheet{"FramesOutOfRange", QByteArray(kFileA) + "TRACK 01 AUDIO\nINDEX 01 00:00:75\n", 3,
                 "bad time"},
        BadSheet{"NotATime", QByteArray(kFileA) + "TRACK 01 AUDIO\nPREGAP 2s\nINDEX 01 00:00:00\n",
                 3, "bad time"},
        BadSheet{"Index01Missing",
                 QByteArray(kFileA) +
                     "TRACK 01 AUDIO\nINDEX 00 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n",
                 2, "no INDEX 01"},
        BadSheet{"LastTrackWithoutIndex01",
                 QByteArray(kFileA) + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n", 4,
                 "no INDEX 01"},
        BadSheet{"TrackNumberSkipped",
                 QByteArray(kFileA) +
                     "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 03 AUDIO\nINDEX 01 00:01:00\n",
                 4, "out of order"},
        BadSheet{"TrackStartsBeforePrevious",
                 QByteArray(kFileA) +
                     "TRACK 01 AUDIO\nINDEX 01 00:01:00\nTRACK 02 AUDIO\nINDEX 01 00:00:10\n",
                 4, "starts before"},
        BadSheet{"IndexOutOfOrder",
                 QByteArray(kFileA) + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nINDEX 00 00:00:00\n", 4,
                 "out of order"},
        BadSheet{"IndexGoesBack",
                 QByteArray(kFileA) + "TRACK 01 AUDIO\nINDEX 01 00:02:00\nINDEX 02 00:01:00\n", 4,
                 "before"},
        BadSheet{"FileTooShortForNextTrack",
                 QByteArray(kFileA) +
                     "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:04:00\n",
                 1, "file too short"},
        BadSheet{"IndexBeyondTheEndOfTheFile",
                 QByteArray(kFileA) + "TRACK 01 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:04:01\n", 4,
                 "INDEX 01 of track 1 lies beyond the end of the file"},
        BadSheet{"EmptySecondFile",
                 QByteArray(kFileA) +
                     "TRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE b.bin BINARY\nTRACK 02 AUDIO\n"
                     "INDEX 01 00:00:00\n",
                 4, "file too short"},
        BadSheet{"TrackBeforeFile", "TRACK 01 AUDIO\nINDEX 01 00:00:00\n", 1, "before any FILE"},
        BadSheet{"UnknownCommand",
                 QByteArray(kFileA) + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nSPEED 4x\n", 4,
                 "unknown command"},
        BadSheet{"UnterminatedQuote", "TITLE \"Open\nFILE \"a.bin\" BINARY\n", 1,
                 "unterminated quote"},
        BadSheet{"WaveFile", "FILE \"a.wav\" WAVE\n", 1, "unsupported file type"},
        BadSheet{"TrackNumberZero", QByteArray(kFileA) + "TRACK 00 AUDIO\n", 2, "bad track number"},
        BadSheet{"TrackNumberTooLarge", QByteArray(kFileA) + "TRACK 100 AUDIO\n", 2,
                 "bad track number"},
        BadSheet{
            "FileWithoutTracks",
            "FILE \"b.bin\" BINARY\nFILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", 1,
            "FILE without tracks"},
        BadSheet{"NoTracks", "REM nothing here\nREM at all\n", 3, "no tracks"}),
    [](const auto& info) { return std::string(info.param.name); });

// A sheet that fails to load leaves the drive with the disc it had.
TEST(CueSheetLoad, RefusedSheetKeepsThePreviousDisc) {
  ImageFolder folder;
  folder.Write("a.bin", PatternSectors(0, 300));
  VirtualDrive drive("vcdt");
  QString error;
  ASSERT_TRUE(drive.LoadCue(
      folder.Write("good.cue", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"), &error))
      << error.toStdString();
  EXPECT_FALSE(drive.LoadCue(folder.Write("bad.cue", "FILE a.bin BINARY\nTRACK 01 CDG\n"), &error));
  EXPECT_FALSE(drive.LoadCue(folder.Path("absent.cue"), &error));
  EXPECT_TRUE(error.contains("absent.cue")) << error.toStdString();
  EXPECT_FALSE(drive.LoadCue(folder.Path(""), &error));  // the folder itself
  // An image file given by mistake is refused before it is read whole.
  EXPECT_FALSE(drive.LoadCue(folder.Write("big.cue", QByteArray(2 << 20, 'R')), &error));
  EXPECT_TRUE(error.contains("too large")) << error.toStdString();
  EXPECT_TRUE(drive.HasDisc());
  EXPECT_EQ(drive.DriveStatus(), kDriveDiscPresent);
}

// Sectors come from the right file and offset: pregaps read as silence, a file's later tracks
// continue where the earlier ones stopped.
TEST(CueSheetLoad, SectorsComeFromTheirFilesAndOffsets) {
  ImageFolder folder;
  const QByteArray first = PatternSectors(1, 400);
  const QByteArray second = PatternSectors(2, 100);
  folder.Write("one.bin", first);
  folder.Write("two.bin", second);
  QString error;
  const auto image = LoadCueSheet(
      folder.Write("d.cue",
                   "FILE one.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX "
                   "01 00:04:00\n"
                   "FILE two.bin BINARY\nTRACK 03 AUDIO\nPREGAP 00:00:10\nINDEX 01 00:00:00\n"),
      &error);
  ASSERT_TRUE(image) << error.toStdString();
  QByteArray sectors(2352 * 3, '\0');
  auto* out = reinterpret_cast<uint8_t*>(sectors.data());
  ASSERT_TRUE(image->ReadRaw(299, 3, out));  // last of track 1, first two of track 2
  EXPECT_EQ(sectors, first.mid(299 * 2352, 3 * 2352));
  ASSERT_TRUE(image->ReadRaw(399, 3, out));  // last of one.bin, then two pregap sectors
  EXPECT_EQ(sectors.left(2352), first.right(2352));
  EXPECT_EQ(sectors.mid(2352), QByteArray(2 * 2352, '\0'));
  ASSERT_TRUE(image->ReadRaw(410, 2, out));  // two.bin from its start
  EXPECT_EQ(sectors.left(2 * 2352), second.left(2 * 2352));
  EXPECT_FALSE(image->ReadRaw(image->LeadOut() - 1, 2, out));
}

}  // namespace
