#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <optional>

#include "loopback_peers.h"
#include "metadata/cover_store.h"
#include "metadata/disc_info.h"
#include "metadata/musicbrainz_client.h"
#include "metadata/musicbrainz_release.h"
#include "musicbrainz_answers.h"
#include "platform/version.h"
#include "support/test_support.h"
#include "texts/language_manager.h"
#include "web_test_server.h"

namespace {

QString LanguageText(int id) { return LanguageManager::Instance().Text(id); }

using namespace MbAnswer;

const QString kDisc = "lwHl8fGzJyLXQR33ug60E8jhf4k-";
const QString kOtherDisc = "xwHl8fGzJyLXQR33ug60E8jhf4k-";
const QByteArray kLookupTarget =
    "/ws/2/discid/" + kDisc.toLatin1() +
    "?inc=artist-credits+recordings+labels+release-groups+genres&fmt=json";

QJsonArray ThreeTracks(const QString& prefix, const QJsonArray& secondCredit = {}) {
  return {Track(1, prefix + " One", "t1-" + prefix, "r1-" + prefix),
          Track(2, prefix + " Two", "t2-" + prefix, "r2-" + prefix, secondCredit),
          Track(3, prefix + " Three", "t3-" + prefix, "r3-" + prefix)};
}

const QJsonArray kPinkFloyd = Credit({{"Pink Floyd", "83d91898-7763-47d7-b03b-b92132375c47"}});

// Two editions of one album: a UK release and a Japanese one with its titles in Japanese,
// a track with its own credit, and a third release that holds another disc.
QByteArray TwoReleases() {
  const QJsonArray feat = Credit({{"Pink Floyd", "83d91898-7763-47d7-b03b-b92132375c47", " feat. "},
                                  {"Clare Torry", "b0a7f1f2-1111-4c8e-9a1b-2f6c1d0e0c11"}});
  QJsonArray releases;
  releases.append(Release({"aaaaaaaa-0000-4000-8000-000000000001",
                           "The Dark Side of the Moon",
                           kPinkFloyd,
                           "1973-03-01",
                           "GB",
                           "Harvest",
                           "SHVL 804",
                           "5099902893624",
                           "f5093c06-23e3-404f-aeaa-40f72885ee3a",
                           {Genre("rock", 3), Genre("progressive rock", 12)},
                           {Medium(1, "CD", {kDisc}, ThreeTracks("Side", feat))}}));
  releases.append(Release({"aaaaaaaa-0000-4000-8000-000000000002",
                           "狂気",
                           kPinkFloyd,
                           "1985",
                           "JP",
                           "東芝EMI",
                           "CP35-3017",
                           "",
                           "f5093c06-23e3-404f-aeaa-40f72885ee3a",
                           {},
                           {Medium(1, "CD", {"other", kDisc}, ThreeTracks("生命の息吹き"))}}));
  releases.append(Release({"aaaaaaaa-0000-4000-8000-000000000003",
                           "Elsewhere",
                           kPinkFloyd,
                           "2000",
                           "US",
                           "",
                           "",
                           "",
                           "",
                           {},
                           {Medium(1, "CD", {kOtherDisc}, ThreeTracks("X"))}}));
  return DiscAnswer(kDisc, releases);
}

// A box of two CDs with a DVD-Video between them; the disc is the second CD.
QByteArray BoxWithVideo() {
  QJsonArray releases;
  releases.append(
      Release({"bbbbbbbb-0000-4000-8000-000000000001",
               "Live Box",
               Credit({{"Band", "c0000000-0000-4000-8000-000000000001"}}),
               "2004-11",
               "DE",
               "Label",
               "123",
               "",
               "g",
               {},
               {Medium(1, "CD", {kOtherDisc}, ThreeTracks("First")), Medium(2, "DVD-Video", {}, {}),
                Medium(3, "CD", {kDisc}, ThreeTracks("Second"))}}));
  return DiscAnswer(kDisc, releases);
}

TEST(MusicBrainzRelease, TakesEveryReleaseWhoseMediumHoldsTheDisc) {
  const QList<MusicBrainzRelease> releases = ParseMusicBrainzReleases(TwoReleases(), kDisc);
  ASSERT_EQ(releases.size(), 2);
  const MusicBrainzRelease& uk = releases[0];
  EXPECT_EQ(uk.id, "aaaaaaaa-0000-4000-8000-000000000001");
  EXPECT_EQ(uk.artist, "Pink Floyd");
  EXPECT_EQ(uk.artistId, "83d91898-7763-47d7-b03b-b92132375c47");
  EXPECT_EQ(uk.releaseGroupId, "f5093c06-23e3-404f-aeaa-40f72885ee3a");
  EXPECT_EQ(uk.Year(), "1973");
  EXPECT_EQ(uk.country, "GB");
  EXPECT_EQ(uk.label, "Harvest");
  EXPECT_EQ(uk.catalogNumber, "SHVL 804");
  EXPECT_EQ(uk.barcode, "5099902893624");
  EXPECT_EQ(uk.format, "CD");
  EXPECT_EQ(uk.genre, "progressive rock");  // the most votes, not the first
  EXPECT_EQ(uk.discTotal, 1);
  ASSERT_EQ(uk.tracks.size(), 3);
  EXPECT_EQ(uk.tracks[0].artist, "Pink Floyd");
  EXPECT_EQ(uk.tracks[1].artist, "Pink Floyd feat. Clare Torry");
  EXPECT_EQ(uk.tracks[1].recordingId, "r2-Side");
  EXPECT_EQ(uk.tracks[1].trackId, "t2-Side");

  const MusicBrainzRelease& jp = releases[1];
  EXPECT_EQ(jp.title, "狂気");
  EXPECT_EQ(jp.label, "東芝EMI");
  EXPECT_EQ(jp.tracks[0].title, "生命の息吹き One");
  EXPECT_TRUE(jp.genre.isEmpty());
}

TEST(MusicBrainzRelease, OfABoxTheMediumWithTheDiscAndNoVideo) {
  const QList<MusicBrainzRelease> releases = ParseMusicBrainzReleases(BoxWithVideo(), kDisc);
  ASSERT_EQ(releases.size(), 1);
  EXPECT_EQ(releases[0].discNumber, 2);
  EXPECT_EQ(releases[0].discTotal, 2);
  EXPECT_EQ(releases[0].tracks[2].title, "Second Three");
  EXPECT_EQ(releases[0].date, "2004-11");
}

TEST(MusicBrainzRelease, AnswersWithoutTheDiscGiveNothing) {
  for (const QByteArray& answer :
       {QByteArray(), QByteArray("not json"), QByteArray("[1,2]"), QByteArray(R"({"releases": 5})"),
        QByteArray(R"({"releases": [{"media": [{"discs": [{"id": 7}]}]}]})"),
        DiscAnswer(kDisc, {})}) {
    EXPECT_TRUE(ParseMusicBrainzReleases(answer, kDisc).isEmpty()) << answer.constData();
  }
}

class MusicBrainzRecord : public ::testing::Test {
 protected:
  TempConfig config;
};

TEST_F(MusicBrainzRecord, FillsTheRecordAndTheCacheKeepsIt) {
  const QList<MusicBrainzRelease> releases = ParseMusicBrainzReleases(TwoReleases(), kDisc);
  DiscInfo info;
  info.ResetToDefaults(3);
  info.discId = "12345678";
  ApplyMusicBrainzRelease(releases[0], info);
  EXPECT_EQ(info.album, "The Dark Side of the Moon");
  EXPECT_EQ(info.artist, "Pink Floyd");
  EXPECT_EQ(info.year, "1973");
  EXPECT_EQ(info.genre, "progressive rock");
  EXPECT_EQ(info.GetVariousArtists(), 1);  // one track is credited otherwise
  EXPECT_EQ(info.GetTrackArtist(1), "Pink Floyd feat. Clare Torry");
  EXPECT_EQ(info.GetTrackArtist(0), "Pink Floyd");
  EXPECT_EQ(info.discNumber, 0);
  ASSERT_TRUE(info.SaveToCache());

  DiscInfo loaded;
  loaded.ResetToDefaults(3);
  loaded.discId = "12345678";
  ASSERT_TRUE(loaded.LoadFromCache());
  EXPECT_EQ(loaded.GetTrackTitle(2), "Side Three");
  EXPECT_EQ(loaded.GetTrackArtist(1), "Pink Floyd feat. Clare Torry");
  EXPECT_EQ(loaded.musicBrainz.release, "aaaaaaaa-0000-4000-8000-000000000001");
  EXPECT_EQ(loaded.musicBrainz.releaseGroup, "f5093c06-23e3-404f-aeaa-40f72885ee3a");
  EXPECT_EQ(loaded.musicBrainz.albumArtist, "83d91898-7763-47d7-b03b-b92132375c47");
  EXPECT_EQ(loaded.RecordingId(2), "r3-Side");
  EXPECT_EQ(loaded.TrackId(0), "t1-Side");

  // The box's second disc: one artist throughout, a disc number, and the ids replaced.
  ApplyMusicBrainzRelease(ParseMusicBrainzReleases(BoxWithVideo(), kDisc)[0], info);
  EXPECT_EQ(info.GetVariousArtists(), 0);
  ASSERT_TRUE(info.SaveToCache());
  ASSERT_TRUE(loaded.LoadFromCache());
  EXPECT_EQ(loaded.GetTrackArtist(1), "Band");
  EXPECT_EQ(loaded.discNumber, 2);
  EXPECT_EQ(loaded.discTotal, 2);
  EXPECT_EQ(loaded.RecordingId(0), "r1-Second");
  EXPECT_EQ(loaded.genre, "progressive rock");  // the box names no genre: the earlier stays
}

TEST_F(MusicBrainzRecord, CoversAreStoredOncePerReleaseUnderSafeNames) {
  const QString id = "aaaaaaaa-0000-4000-8000-000000000001";
  EXPECT_FALSE(IsCoverKnown(id));
  ASSERT_TRUE(StoreCover(id, {PngImage(), "png"}));
  EXPECT_TRUE(IsCoverKnown(id));
  EXPECT_EQ(StoredCover(id).bytes, PngImage());
  EXPECT_EQ(StoredCover(id).FileName(), "cover.png");
  ASSERT_TRUE(StoreCover("bbbbbbbb-0000-4000-8000-000000000001", CoverImage()));
  EXPECT_TRUE(IsCoverKnown("bbbbbbbb-0000-4000-8000-000000000001"));
  EXPECT_TRUE(StoredCover("bbbbbbbb-0000-4000-8000-000000000001").IsEmpty());
  // An id from a server never names a path outside the covers folder.
  EXPECT_FALSE(StoreCover("../../korvane", {PngImage(), "png"}));
  EXPECT_EQ(FilesUnder(config.Dir()).filter("korvane.png").size(), 0);
}

class MusicBrainzLookupTest : public ::testing::Test {
 protected:
  // The application object exists before the server: its sockets need one.
  struct CoreApp {
    CoreApp() { EnsureCoreApp(); }
  } app;

  MusicBrainzSettings Settings() const {
    return {server.Url(), server.Url() + "/caa", "ripper@example.org"};
  }

  template <typename Answer, typename Call>
  static Answer Wait(Call call) {
    std::optional<Answer> answer;
    call([&answer](const Answer& a) { answer = a; });
    while (!answer) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return *answer;
  }

  MusicBrainzClient::Answer LookUp(MusicBrainzClient& client, const QString& disc = kDisc) {
    return Wait<MusicBrainzClient::Answer>([&](auto done) { client.LookUp(disc, done); });
  }
  MusicBrainzClient::CoverAnswer Cover(MusicBrainzClient& client, const QString& release) {
    return Wait<MusicBrainzClient::CoverAnswer>(
        [&](auto done) { client.FetchCover(release, done); });
  }

  TempConfig config;
  WebTestServer server;
};

TEST_F(MusicBrainzLookupTest, AsksForTheDiscAsTheServiceDocumentsIt) {
  server.Add(kLookupTarget, {200, TwoReleases()});
  MusicBrainzClient client(Settings());
  const MusicBrainzClient::Answer answer = LookUp(client);
  ASSERT_EQ(answer.status, MusicBrainzClient::Answer::Status::Found)
      << answer.message.toStdString();
  EXPECT_EQ(answer.releases.size(), 2);
  ASSERT_EQ(server.Requests().size(), 1);
  const WebTestServer::Request& request = server.Requests()[0];
  EXPECT_EQ(request.target, kLookupTarget);
  EXPECT_EQ(request.headers["user-agent"],
            "Korvane/" + QByteArray(KorvaneVersion()) + " ( ripper@example.org )");
  EXPECT_EQ(request.headers["accept"], "application/json");
}

TEST_F(MusicBrainzLookupTest, UnknownBusyAndBrokenAnswers) {
  struct Case {
    const char* what;
    QList<WebTestServer::Reply> replies;
    MusicBrainzClient::Answer::Status status;
    int requests;
    int messageText;
  };
  using Status = MusicBrainzClient::Answer::Status;
  const QList<Case> cases = {
      {"404",
       {{404, R"({"error": "Not Found"})"}},
       Status::NotFound,
       1,
       MusicBrainz::Text::NotFound},
      {"no release",
       {{200, DiscAnswer(kDisc, {})}},
       Status::NotFound,
       1,
       MusicBrainz::Text::NotFound},
      {"503 then the answer",
       {{503, "", "text/plain", {"Retry-After: 1"}}, {200, TwoReleases()}},
       Status::Found,
       2,
       0},
      {"503 for longer than a minute",
       {{503, "", "text/plain", {"Retry-After: 3600"}}},
       Status::Failed,
       1,
       MusicBrainz::Text::Busy},
      {"not JSON",
       {{200, "<html>maintenance</html>", "text/html"}},
       Status::Failed,
       1,
       MusicBrainz::Text::BadAnswer},
      {"500", {{500, "oops", "text/plain"}}, Status::Failed, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WebTestServer own;
    for (const WebTestServer::Reply& reply : c.replies) own.Add(kLookupTarget, reply);
    MusicBrainzClient client({own.Url(), own.Url(), ""});
    const MusicBrainzClient::Answer answer = LookUp(client);
    EXPECT_EQ(answer.status, c.status) << answer.message.toStdString();
    EXPECT_EQ(own.Requests().size(), c.requests);
    if (c.messageText) {
      EXPECT_TRUE(answer.message.startsWith(LanguageText(c.messageText)))
          << answer.message.toStdString();
    }
    if (c.requests == 2) {
      EXPECT_GE(own.Requests()[1].atMs - own.Requests()[0].atMs, 1000 - 20);
    }
    if (c.status == Status::Failed) {
      EXPECT_TRUE(answer.message.contains("127.0.0.1:" + QString::number(own.Port())))
          << answer.message.toStdString();
    }
  }
}

TEST_F(MusicBrainzLookupTest, RequestsToTheServiceAreASecondApart) {
  server.Add(kLookupTarget, {200, TwoReleases()});
  MusicBrainzClient first(Settings());
  MusicBrainzClient second(Settings());
  LookUp(first);
  LookUp(second);
  LookUp(first);
  ASSERT_EQ(server.Requests().size(), 3);
  for (int i = 1; i < 3; ++i)
    EXPECT_GE(server.Requests()[i].atMs - server.Requests()[i - 1].atMs, 1000 - 20);
}

TEST_F(MusicBrainzLookupTest, NoServerGivesTheFreedbClientsMessage) {
  quint16 closedPort = 0;
  {
    WebTestServer gone;
    closedPort = gone.Port();
  }
  const QString url = "http://127.0.0.1:" + QString::number(closedPort);
  MusicBrainzClient client({url, url, ""});
  const MusicBrainzClient::Answer answer = LookUp(client);
  EXPECT_EQ(answer.status, MusicBrainzClient::Answer::Status::Failed);
  EXPECT_TRUE(answer.message.startsWith(LanguageText(1041) +
                                        " 127.0.0.1:" + QString::number(closedPort) + ": "))
      << answer.message.toStdString();
}

TEST_F(MusicBrainzLookupTest, CoversFollowRedirectsAndA404MeansNone) {
  server.AddRedirect("/caa/release/r1/front-500", "/img/r1.jpg");
  server.Add("/img/r1.jpg", {200, JpegImage(), "image/jpeg"});
  server.Add("/caa/release/r2/front-500", {200, PngImage(), "image/png"});
  server.Add("/caa/release/r4/front-500", {200, "<html/>", "text/html"});
  MusicBrainzClient client(Settings());

  const MusicBrainzClient::CoverAnswer jpeg = Cover(client, "r1");
  EXPECT_TRUE(jpeg.ok);
  EXPECT_EQ(jpeg.cover.bytes, JpegImage());
  EXPECT_EQ(jpeg.cover.extension, "jpg");
  EXPECT_EQ(Cover(client, "r2").cover.extension, "png");

  const MusicBrainzClient::CoverAnswer none = Cover(client, "r3");
  EXPECT_TRUE(none.ok);
  EXPECT_TRUE(none.cover.IsEmpty());
  EXPECT_TRUE(none.message.isEmpty());

  const MusicBrainzClient::CoverAnswer notAnImage = Cover(client, "r4");
  EXPECT_FALSE(notAnImage.ok);
  EXPECT_FALSE(notAnImage.message.isEmpty());
}

TEST_F(MusicBrainzLookupTest, DestroyingTheClientAbortsTheWaitAndCallsNothing) {
  server.Add(kLookupTarget, {503, "", "text/plain", {"Retry-After: 30"}});
  bool called = false;
  QElapsedTimer clock;
  clock.start();
  {
    MusicBrainzClient client(Settings());
    client.LookUp(kDisc, [&called](const MusicBrainzClient::Answer&) { called = true; });
    while (server.Requests().isEmpty())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  QCoreApplication::processEvents();
  EXPECT_FALSE(called);
  EXPECT_LT(clock.elapsed(), 20000);
}

}  // namespace
