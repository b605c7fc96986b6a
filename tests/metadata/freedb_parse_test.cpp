#include <gtest/gtest.h>

#include "metadata/cddb_protocol.h"
#include "metadata/disc_info.h"
#include "metadata/freedb_client.h"
#include "platform/codepage.h"
#include "support/freedb_example.h"
#include "support/test_support.h"

namespace {

TEST(CddbQuery, ExampleDiscGivesTheQueryLineAndTheHttpCommand) {
  const QString query = Cddb::QueryText(FreedbExample::Toc());
  EXPECT_EQ(query, "cddb query 0501a202 2 150 15750 420\n");
  EXPECT_EQ(Cddb::HttpCommand(query), "cddb+query+0501a202+2+150+15750+420");

  TocAddresses framed = FreedbExample::Toc();
  framed.trackStarts[1].frame = 74;
  framed.leadOut.frame = 74;
  EXPECT_EQ(Cddb::QueryText(framed), "cddb query 0501a202 2 150 15824 420\n")
      << "frames count in offsets only";
  EXPECT_TRUE(Cddb::QueryText(TocAddresses{}).isEmpty());
  TocAddresses tooMany = FreedbExample::Toc();
  tooMany.trackStarts.resize(100);
  EXPECT_TRUE(Cddb::QueryText(tooMany).isEmpty());
}

TEST(CddbAnswerReader, FramesAnswersByTheirCode) {
  const struct {
    const char* what;
    QByteArray bytes;
    qsizetype answerLength;  // 0: not complete yet
  } cases[] = {
      {"single line", "200 rock 0501a202 A / B\r\n", 25},
      {"single line, more behind it", "201 ready\r\n210 x", 11},
      {"single line, no end yet", "200 rock 0501a2", 0},
      {"202 no match", "202 No match for disc ID 0501a202.\r\n", 36},
      {"multi-line, no end yet", "210 rock 0501a202 entry follows\r\n# xmcd\r\nDTITLE=A / B\r\n",
       0},
      {"multi-line ends at the dot line", "211 close matches\r\nrock 1 A / B\r\n.\r\n", 36},
      {"a dot inside a line is no end", "210 x\r\nDTITLE=A. / .B\r\n..\r\n", 0},
      {"dot line with bare line feed", "210 x\n.\n", 8},
      {"empty multi-line body", "211 none\r\n.\r\n", 13},
  };
  for (const auto& c : cases) {
    Cddb::AnswerReader reader;
    for (char byte : c.bytes) reader.Append(&byte, 1);  // as if dripped
    EXPECT_EQ(reader.Complete(), c.answerLength > 0) << c.what;
    if (c.answerLength > 0) {
      EXPECT_EQ(reader.Take(), c.bytes.left(c.answerLength)) << c.what;
    }
  }

  // Answers that arrive together are taken one after the other.
  Cddb::AnswerReader two;
  const QByteArray both = "201 ready\r\n210 rock x\r\nDTITLE=A\r\n.\r\n200 tail";
  two.Append(both.constData(), both.size());
  EXPECT_EQ(two.Take(), "201 ready\r\n");
  ASSERT_TRUE(two.Complete());
  EXPECT_EQ(two.Take(), "210 rock x\r\nDTITLE=A\r\n.\r\n");
  EXPECT_FALSE(two.Complete());
  two.Append("\n", 1);
  EXPECT_EQ(two.Take(), "200 tail\n");

  Cddb::AnswerReader big;
  big.Append("210 rock 1\r\n", 12);
  const QByteArray filler(Cddb::kMaxAnswer - 12, 'x');
  big.Append(filler.constData(), filler.size());
  EXPECT_FALSE(big.Overflowed()) << "exactly the limit is allowed";
  big.Append("x", 1);
  EXPECT_TRUE(big.Overflowed());
  EXPECT_FALSE(big.Complete());
}

// A client that never touches the network: Run only records the disc and reports its id.
class OfflineClient : public FreeDbClient {
 public:
  std::vector<LookupReport> reports;
  int reads = 0;  // read commands sent

  explicit OfflineClient(bool textNumbers = true) {
    SetReporter([this](LookupReport report) { reports.push_back(std::move(report)); });
    if (textNumbers) SetTextSource([](int id) { return QString::number(id); });
  }

 protected:
  bool Setup() override { return true; }
  bool Connect() override { return true; }
  void ReadEntry() override { ++reads; }
};

TEST(FreeDbQueryResponse, TakesTheFirstMatchOrEndsTheLookup) {
  TempConfig config;
  const struct {
    const char* what;
    QString response;
    bool result;
    QString genre;
    QString discId;
    std::vector<LookupReport> reports;
  } cases[] = {
      {"exact match",
       "200 rock 0501a202 Some Artist / Some Album\r\n",
       true,
       "rock",
       "0501a202",
       {}},
      {"several matches take the first",
       "211 Found inexact matches, list follows\r\nblues 0501a201 X / Y\r\n"
       "rock 0501a202 Z / W\r\n.\r\n",
       true,
       "blues",
       "0501a201",
       {}},
      {"exact matches list",
       "210 Found exact matches\r\nfolk 0501a202 X / Y\r\n.\r\n",
       true,
       "folk",
       "0501a202",
       {}},
      {"no match",
       "202 No match for disc ID 0501a202.\r\n",
       false,
       "Rock",
       "",
       {{"1036 ", 70}, LookupReport::Failed("1037 ")}},
      {"unknown code",
       "403 Database entry is corrupt.\r\n",
       false,
       "Rock",
       "",
       {LookupReport::Failed("1038 ")}},
      {"not a code", "hello\r\n", false, "Rock", "", {LookupReport::Failed("1038 ")}},
  };
  for (const auto& c : cases) {
    OfflineClient client;
    DiscInfo info;
    info.ResetToDefaults(2);
    ASSERT_TRUE(client.Run(&info, FreedbExample::Toc()));
    ASSERT_EQ(client.reports.size(), 1u);
    EXPECT_EQ(client.reports[0], (LookupReport{"1043  0501A202", 5}));
    client.reports.clear();
    EXPECT_EQ(client.HandleQueryResponse(c.response), c.result) << c.what;
    EXPECT_EQ(info.genre, c.genre) << c.what;
    EXPECT_EQ(client.MatchedDiscId(), c.discId) << c.what;
    EXPECT_EQ(client.reports, c.reports) << c.what;
  }
}

TEST(CddbQueryMatches, ListsTheDiscsOfAnAnswer) {
  using M = Cddb::Match;
  const struct {
    const char* answer;
    QList<M> matches;
  } cases[] = {
      {"200 rock 0501a202 Some Artist / Some Album\r\n",
       {{"rock", "0501a202", "Some Artist / Some Album"}}},
      {"211 close matches\r\nblues 0501a201 X / Y\r\nrock 0501a202 Z / W\r\n.\r\n",
       {{"blues", "0501a201", "X / Y"}, {"rock", "0501a202", "Z / W"}}},
      {"210 exact\nfolk 0501a202 A / B\n.\nmisc 1 after the end\n",
       {{"folk", "0501a202", "A / B"}}},
      {"211 no lines\r\n.\r\n", {}},
      {"202 No match\r\n", {}},
      {"200 rock\r\n", {{"", "", ""}}},
  };
  for (const auto& c : cases) EXPECT_EQ(Cddb::QueryMatches(c.answer), c.matches) << c.answer;
}

// With a chooser an answer that lists discs waits for the front end's choice, made at once or
// later; a choice outside the list ends the lookup without a result.
TEST(FreeDbQueryResponse, AChooserPicksAmongTheListedDiscs) {
  TempConfig config;
  const QString answer =
      "211 Found inexact matches, list follows\r\nblues 0501a201 Ann / One\r\n"
      "rock 0501a202 Bob / Two\r\njazz 0501a203 Cy / Three\r\n.\r\n";
  OfflineClient client;
  DiscInfo info;
  info.ResetToDefaults(2);
  QList<Cddb::Match> offered;
  client.SetMatchChooser([&](const QList<Cddb::Match>& matches) { offered = matches; });
  ASSERT_TRUE(client.Run(&info, FreedbExample::Toc()));
  EXPECT_FALSE(client.HandleQueryResponse(answer));
  EXPECT_TRUE(client.AwaitingChoice());
  ASSERT_EQ(offered.size(), 3);
  EXPECT_EQ(offered[2], (Cddb::Match{"jazz", "0501a203", "Cy / Three"}));
  EXPECT_EQ(client.reads, 0);
  client.ChooseMatch(2);
  EXPECT_EQ(client.reads, 1);
  EXPECT_EQ(info.genre, "jazz");
  EXPECT_EQ(client.MatchedDiscId(), "0501a203");
  client.ChooseMatch(0);  // no second choice
  EXPECT_EQ(client.reads, 1);

  OfflineClient atOnce;
  atOnce.SetMatchChooser([&](const QList<Cddb::Match>&) { atOnce.ChooseMatch(1); });
  ASSERT_TRUE(atOnce.Run(&info, FreedbExample::Toc()));
  EXPECT_FALSE(atOnce.HandleQueryResponse(answer));
  EXPECT_FALSE(atOnce.AwaitingChoice());
  EXPECT_EQ(atOnce.reads, 1);
  EXPECT_EQ(atOnce.MatchedDiscId(), "0501a202");

  OfflineClient none;
  none.SetMatchChooser([&](const QList<Cddb::Match>&) {});
  ASSERT_TRUE(none.Run(&info, FreedbExample::Toc()));
  none.reports.clear();
  EXPECT_FALSE(none.HandleQueryResponse(answer));
  none.ChooseMatch(3);
  EXPECT_EQ(none.reads, 0);
  EXPECT_EQ(none.reports, std::vector<LookupReport>{LookupReport::Failed("1050 ")});
  EXPECT_TRUE(none.Finished());
}

TEST(FreeDbQueryResponse, StatusLinesUseTheInterfaceTexts) {
  TempConfig config;  // no language chosen: the built-in English texts
  OfflineClient client(false);
  DiscInfo info;
  info.ResetToDefaults(2);
  ASSERT_TRUE(client.Run(&info, FreedbExample::Toc()));
  EXPECT_FALSE(client.HandleQueryResponse("202 No match for disc ID 0501a202.\r\n"));
  EXPECT_TRUE(client.DiscNotFound());
  const std::vector<LookupReport> expected = {{"FreeDB Disc ID:  0501A202", 5},
                                              {"Disc is not found in FreeDB ", 70},
                                              LookupReport::Failed("Closing connection.. ")};
  EXPECT_EQ(client.reports, expected);
  EXPECT_FALSE(client.Run(nullptr, FreedbExample::Toc()));
  EXPECT_FALSE(client.Run(&info, TocAddresses{}));
}

TEST(FreeDbMatchLine, SplitsCategoryAndIdentifier) {
  TempConfig config;
  const struct {
    QString match;
    QString genre;
    QString discId;
  } cases[] = {
      {"rock 0501a202 Some Artist / Some Album", "rock", "0501a202"},
      {"rock 0501a202", "rock", ""},
      {"rock", "", ""},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    DiscInfo info;
    info.ResetToDefaults(2);
    OfflineClient client;
    client.Run(&info, FreedbExample::Toc());
    client.ParseMatch(c.match);
    EXPECT_EQ(info.genre, c.genre) << c.match.toStdString();
    EXPECT_EQ(client.MatchedDiscId(), c.discId) << c.match.toStdString();
  }
}

struct EntryCase {
  const char* what;
  QByteArray entry;
  int tracks;
  QString artist, album, year, genre;
  QStringList titles;
};

TEST(FreeDbEntry, ParsesXmcdEntries) {
  TempConfig config;
  const QByteArray head = "# xmcd\r\n#\r\nDISCID=0501a202\r\n";
  const EntryCase cases[] = {
      {"plain entry",
       head + "DTITLE=Some Artist / Some Album\r\nDYEAR=1999\r\nDGENRE=Progressive Rock\r\n"
              "TTITLE0=First\r\nTTITLE1=Second\r\nEXTD=\r\nPLAYORDER=\r\n",
       2,
       "Some Artist",
       "Some Album",
       "1999",
       "Progressive Rock",
       {"First", "Second"}},
      {"short DGENRE keeps the category",
       "DTITLE=A / B\r\nDGENRE=Rk\r\nTTITLE0=x\r\n",
       1,
       "A",
       "B",
       "2008",
       "rock",
       {"x", "Track 02"}},
      {"YEAR: in extended data",
       "DTITLE=A / B\r\nEXTD= YEAR: 1987 ID3G: 17\r\nTTITLE0=x\r\n",
       1,
       "A",
       "B",
       "1987",
       "rock",
       {"x", "Track 02"}},
      {"YEAR: near the end",
       "DTITLE=A / B\r\nEXTD= YEAR: 87",
       0,
       "A",
       "B",
       "87",
       "rock",
       {"Track 01", "Track 02"}},
      {"empty DYEAR",
       "DTITLE=A / B\r\nDYEAR=\r\nTTITLE0=x\r\n",
       1,
       "A",
       "B",
       "",
       "rock",
       {"x", "Track 02"}},
      {"artist / title in a track of a compilation",
       "DTITLE=Various / Hits\r\nTTITLE0=One\r\nTTITLE1=Guest / Song\r\n",
       2,
       "Various",
       "Hits",
       "2008",
       "rock",
       {"One", "Song"}},
      {"continued lines are joined",
       "DTITLE=A Very Long Artist\r\nDTITLE= Name / The Album\r\nTTITLE0=t0\r\n"
       "TTITLE0= continued\r\nTTITLE1=t1\r\n",
       2,
       "A Very Long Artist Name",
       "The Album",
       "2008",
       "rock",
       {"t0 continued", "t1"}},
      {"the separator is a slash between blanks",
       "DTITLE=AC/DC / Back in Black\r\nTTITLE0=Hells Bells\r\n",
       1,
       "AC/DC",
       "Back in Black",
       "2008",
       "rock",
       {"Hells Bells", "Track 02"}},
      {"a slash inside a track title stays",
       "DTITLE=A / B\r\nTTITLE0=Either/Or\r\nTTITLE1=Guest / Song\r\n",
       2,
       "A",
       "B",
       "2008",
       "rock",
       {"Either/Or", "Guest / Song"}},
      {"no blanks around the only slash",
       "DTITLE=Artist/Album\r\nTTITLE0=x\r\n",
       1,
       "Artist",
       "Album",
       "2008",
       "rock",
       {"x", "Track 02"}},
      {"bare line feeds with a genre",
       "DTITLE=Artist / Album\nDGENRE=Jazz Fusion\nTTITLE0=Song\nTTITLE1=Other\n",
       2,
       "Artist",
       "Album",
       "2008",
       "Jazz Fusion",
       {"Song", "Other"}},
      {"a title key in another key's text",
       "DTITLE=A / B\r\nEXTD=see TTITLE1=fake\r\nTTITLE0=x\r\nTTITLE1=y\r\n",
       2,
       "A",
       "B",
       "2008",
       "rock",
       {"x", "y"}},
      {"UTF-8 text",
       QString::fromUtf8("DTITLE=\u5b87\u591a\u7530 / "
                         "\u521d\u604b\r\nTTITLE0=\u0395\u03bb\u03bb\u03ac\u03b4\u03b1\r\n")
           .toUtf8(),
       1,
       QString::fromUtf8("\u5b87\u591a\u7530"),
       QString::fromUtf8("\u521d\u604b"),
       "2008",
       "rock",
       {QString::fromUtf8("\u0395\u03bb\u03bb\u03ac\u03b4\u03b1"), "Track 02"}},
      {"no slash in the title",
       "DTITLE=Just An Album\r\nTTITLE0=a / b\r\nTTITLE1=c\r\n",
       2,
       "",
       "Just An Album",
       "2008",
       "rock",
       {"a / b", "c"}},
      {"slash right after the first letter",
       "DTITLE=A/B Side\r\nTTITLE0=x\r\n",
       1,
       "Unknown Artist",
       "A/B Side",
       "2008",
       "rock",
       {"x", "Track 02"}},
      {"bare line feeds",
       "DTITLE=Artist / Album\nDYEAR=2001\nTTITLE0=Song\n",
       1,
       "Artist",
       "Album",
       "2001",
       "rock",
       {"Song", "Track 02"}},
      {"Windows-1252 text",
       Ansi::Encode(QString::fromUtf8("DTITLE=Bj\u00f6rk \u2013 Live / Caf\u00e9 \u20ac\r\n"
                                      "TTITLE0=Na\u00efve\r\n")),
       1,
       QString::fromUtf8("Bj\u00f6rk \u2013 Live"),
       QString::fromUtf8("Caf\u00e9 \u20ac"),
       "2008",
       "rock",
       {QString::fromUtf8("Na\u00efve"), "Track 02"}},
      {"more titles than tracks",
       "DTITLE=A / B\r\nTTITLE0=a\r\nTTITLE1=b\r\nTTITLE2=c\r\n",
       3,
       "A",
       "B",
       "2008",
       "rock",
       {"a", "b", "c"}},
  };
  for (const EntryCase& c : cases) {
    DiscInfo info;
    info.ResetToDefaults(2);
    info.genre = "rock";  // the category from the query
    EXPECT_EQ(ParseFreeDbEntry(c.entry, c.tracks == 0 ? 2 : c.tracks, info), 1) << c.what;
    EXPECT_EQ(info.artist, c.artist) << c.what;
    EXPECT_EQ(info.album, c.album) << c.what;
    EXPECT_EQ(info.year, c.year) << c.what;
    EXPECT_EQ(info.genre, c.genre) << c.what;
    EXPECT_EQ(info.trackTitles, c.titles) << c.what;
  }

  DiscInfo noTitle;
  noTitle.ResetToDefaults(1);
  EXPECT_EQ(ParseFreeDbEntry("DYEAR=1990\r\nTTITLE0=x\r\n", 1, noTitle), 1);
  EXPECT_EQ(noTitle.artist, DiscInfo::kUnknownArtist)
      << "an entry without DTITLE leaves artist and album";
  EXPECT_EQ(noTitle.album, DiscInfo::kUnknownAlbum);

  DiscInfo noDisc;
  EXPECT_EQ(ParseFreeDbEntry("DTITLE=A / B\r\n", 0, noDisc), 0);
  EXPECT_EQ(noDisc.album, "B") << "the disc fields are read before the track count is checked";
}

// A compilation's entry names each track "Artist / Title": on a disc of "Various" artists, or
// when every title carries the separator, each track keeps its artist and its whole title
// after the first " / "; elsewhere a title stays whole and the disc has one artist.
TEST(FreeDbEntry, CompilationTitlesGiveEachTrackItsArtist) {
  TempConfig config;
  const struct {
    const char* what;
    QByteArray entry;
    int various;
    QStringList titles;
    QStringList artists;  // as GetTrackArtist gives them
  } cases[] = {
      {"Various with a slash in a song",
       "DTITLE=Various / Hits\r\nTTITLE0=Tomas Ek / Rain / Static\r\nTTITLE1=Ann Lee / Go\r\n",
       1,
       {"Rain / Static", "Go"},
       {"Tomas Ek", "Ann Lee"}},
      {"various in lower case, one title without an artist",
       "DTITLE=various / Hits\r\nTTITLE0=Ann Lee / Go\r\nTTITLE1=Interlude\r\n",
       1,
       {"Go", "Interlude"},
       {"Ann Lee", "Unknown Artist"}},
      {"every title carries the separator",
       "DTITLE=DJ Mira / Summer Mix\r\nTTITLE0=Ann / One\r\nTTITLE1=Bob / Two\r\n",
       1,
       {"One", "Two"},
       {"Ann", "Bob"}},
      {"one guest on an album",
       "DTITLE=Band / Album\r\nTTITLE0=Intro\r\nTTITLE1=Guest / Song\r\n",
       0,
       {"Intro", "Guest / Song"},
       {"Band", "Band"}},
      {"a missing title keeps a disc from counting as a compilation",
       "DTITLE=Band / Album\r\nTTITLE1=Guest / Song\r\n",
       0,
       {"Track 01", "Guest / Song"},
       {"Band", "Band"}},
  };
  for (const auto& c : cases) {
    DiscInfo info;
    info.ResetToDefaults(2);
    info.discId = "0501A202";
    info.SetVariousArtists(1 - c.various);  // what was there before the lookup
    ASSERT_EQ(ParseFreeDbEntry(c.entry, 2, info), 1) << c.what;
    EXPECT_EQ(info.GetVariousArtists(), c.various) << c.what;
    EXPECT_EQ(info.trackTitles, c.titles) << c.what;
    EXPECT_EQ(QStringList({info.GetTrackArtist(0), info.GetTrackArtist(1)}), c.artists) << c.what;
  }
}

}  // namespace
