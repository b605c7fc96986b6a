#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "encoders/lossy_audio.h"
#include "loopback_peers.h"
#include "metadata/disc_id.h"
#include "musicbrainz_answers.h"
#include "settings/ini_file.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"
#include "web_test_server.h"

namespace {

using namespace MbAnswer;

const QString kUk = "aaaaaaaa-0000-4000-8000-000000000001";
const QString kJp = "aaaaaaaa-0000-4000-8000-000000000002";

// A real image of each kind, made by ffmpeg.
QByteArray MakeImage(const QString& extension) {
  QTemporaryDir dir;
  const QString path = dir.filePath("cover." + extension);
  const ProcessResult r = RunProgram("ffmpeg", {"-v", "error", "-f", "lavfi", "-i",
                                                "color=c=red:s=16x16", "-frames:v", "1", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return ReadFileBytes(path);
}

class MusicBrainzCommand : public ::testing::Test {
 protected:
  struct CoreApp {
    CoreApp() { EnsureCoreApp(); }
  } app_;

  void SetUp() override {
    TocAddresses toc;
    for (int i = 0; i <= 3; ++i) {
      const int frames = disc_.TrackStart(i) + 150;
      const MsfAddress at{frames / 4500, frames / 75 % 60, frames % 75};
      if (i < 3) toc.trackStarts.push_back(at);
      toc.leadOut = at;
    }
    discId_ = MusicBrainzDiscId(toc);
    section_ = DiscIdText(ComputeDiscId(toc));
    IniFile settings("korvane.ini");
    settings.WriteString("MusicBrainz", "Server", server_.Url());
    settings.WriteString("MusicBrainz", "CoverArtServer", server_.Url() + "/caa");
  }

  QByteArray LookupTarget() const {
    return "/ws/2/discid/" + discId_.toLatin1() +
           "?inc=artist-credits+recordings+labels+release-groups+genres&fmt=json";
  }

  QJsonArray Tracks(const QStringList& titles, const QJsonArray& secondCredit = {}) const {
    QJsonArray tracks;
    for (int i = 0; i < titles.size(); ++i) {
      tracks.append(Track(i + 1, titles[i], QString("t%1").arg(i + 1), QString("r%1").arg(i + 1),
                          i == 1 ? secondCredit : QJsonArray()));
    }
    return tracks;
  }

  void ServeTwoReleases() {
    const QJsonArray floyd = Credit({{"Pink Floyd", "83d91898-7763-47d7-b03b-b92132375c47"}});
    const QJsonArray feat =
        Credit({{"Pink Floyd", "83d91898-7763-47d7-b03b-b92132375c47", " feat. "},
                {"Clare Torry", "b0a7f1f2-1111-4c8e-9a1b-2f6c1d0e0c11"}});
    QJsonArray releases;
    releases.append(
        Release({kUk,
                 "The Dark Side of the Moon",
                 floyd,
                 "1973-03-01",
                 "GB",
                 "Harvest",
                 "SHVL 804",
                 "5099902893624",
                 "f5093c06-23e3-404f-aeaa-40f72885ee3a",
                 {Genre("progressive rock", 12)},
                 {Medium(1, "CD", {discId_}, Tracks({"Speak", "Great Gig", "Eclipse"}, feat))}}));
    releases.append(Release(
        {kJp,
         "狂気",
         floyd,
         "1985",
         "JP",
         "東芝EMI",
         "CP35-3017",
         "",
         "f5093c06-23e3-404f-aeaa-40f72885ee3a",
         {},
         {Medium(1, "CD", {discId_}, Tracks({"生命の息吹き", "虚空のスキャット", "狂気日食"}))}}));
    server_.Add(LookupTarget(), {200, DiscAnswer(discId_, releases)});
  }

  ProcessResult Cli(const QStringList& args) {
    return RunCli(config_.Dir(), QStringList{"--virtual-disc", disc_.CuePath()} + args,
                  {"KORVANE_VIRTUAL_FAULTS="});
  }

  QString Cached(const QString& key) const {
    QString value;
    IniFile("discs.ini").ReadString(section_, key, "", value);
    return value;
  }

  int CoverRequests() const {
    int count = 0;
    for (const WebTestServer::Request& request : server_.Requests())
      count += request.target.startsWith("/caa/") || request.target.startsWith("/images/");
    return count;
  }

  OfflineRipConfig config_;
  WebTestServer server_;
  TestDisc disc_{{TestTrack(300), TestTrack(450), TestTrack(375)}};
  QString discId_;
  QString section_;  // of the disc cache
};

TEST_F(MusicBrainzCommand, ListsTheReleasesAndStoresNothing) {
  ServeTwoReleases();
  const ProcessResult r = Cli({"lookup", "--musicbrainz", "--list", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QJsonArray releases = QJsonDocument::fromJson(r.out).object()["releases"].toArray();
  ASSERT_EQ(releases.size(), 2);
  const QJsonObject jp = releases[1].toObject();
  EXPECT_EQ(jp["id"].toString(), kJp);
  EXPECT_EQ(jp["title"].toString(), "狂気");
  EXPECT_EQ(jp["label"].toString(), "東芝EMI");
  EXPECT_EQ(jp["catalogNumber"].toString(), "CP35-3017");
  EXPECT_EQ(jp["country"].toString(), "JP");
  EXPECT_EQ(jp["trackCount"].toInt(), 3);
  EXPECT_EQ(releases[0].toObject()["barcode"].toString(), "5099902893624");
  EXPECT_TRUE(Cached("MB_Release").isEmpty());

  const ProcessResult text = Cli({"lookup", "--musicbrainz", "--list"});
  ASSERT_EQ(text.exitCode, 0);
  EXPECT_TRUE(
      QString::fromUtf8(text.out).contains(kUk + "  Pink Floyd - The Dark Side of the Moon"))
      << text.out.toStdString();
  EXPECT_EQ(CoverRequests(), 0);
}

TEST_F(MusicBrainzCommand, TakesTheFirstReleaseOrTheChosenOne) {
  ServeTwoReleases();
  server_.AddRedirect("/caa/release/" + kJp.toLatin1() + "/front-500", "/images/jp.jpg");
  server_.Add("/images/jp.jpg", {200, MakeImage("jpg"), "image/jpeg"});

  const ProcessResult first = Cli({"lookup", "--musicbrainz", "--json"});
  ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
  const QJsonObject record = QJsonDocument::fromJson(first.out).object();
  EXPECT_EQ(record["album"].toString(), "The Dark Side of the Moon");
  EXPECT_EQ(record["year"].toString(), "1973");
  EXPECT_EQ(record["genre"].toString(), "progressive rock");
  EXPECT_TRUE(record["variousArtists"].toBool());
  EXPECT_EQ(record["tracks"].toArray()[1].toObject()["artist"].toString(),
            "Pink Floyd feat. Clare Torry");
  EXPECT_EQ(record["musicBrainz"].toObject()["releaseId"].toString(), kUk);
  EXPECT_EQ(Cached("MB_Release"), kUk);
  EXPECT_EQ(CoverRequests(), 1);  // asked, none (404)

  const ProcessResult chosen = Cli({"lookup", "--musicbrainz", "--release", kJp});
  ASSERT_EQ(chosen.exitCode, 0) << chosen.err.toStdString();
  EXPECT_TRUE(QString::fromUtf8(chosen.out).contains("Pink Floyd - 虚空のスキャット"))
      << chosen.out.toStdString();
  EXPECT_EQ(Cached("Disc_Title"), "狂気");
  EXPECT_EQ(Cached("MB_Recording3"), "r3");
  EXPECT_EQ(Cached("VA"), "0");
  EXPECT_EQ(CoverRequests(), 3);  // the redirect and the image

  // The cover is fetched once per release.
  ASSERT_EQ(Cli({"lookup", "--musicbrainz", "--release", kJp}).exitCode, 0);
  EXPECT_EQ(CoverRequests(), 3);

  const ProcessResult unknown = Cli({"lookup", "--musicbrainz", "--release", "nope"});
  EXPECT_EQ(unknown.exitCode, 3);
  EXPECT_TRUE(unknown.err.contains("--list")) << unknown.err.toStdString();
}

TEST_F(MusicBrainzCommand, AnUnknownDiscExits3AndPrintsWhereToAddIt) {
  const ProcessResult r = Cli({"lookup", "--musicbrainz"});
  EXPECT_EQ(r.exitCode, 3) << r.err.toStdString();
  const QString expected = server_.Url() + "/cdtoc/attach?id=" + discId_ + "&tracks=3&toc=1+3+" +
                           QString::number(disc_.TrackStart(3) + 150) + "+150+" +
                           QString::number(disc_.TrackStart(1) + 150) + "+" +
                           QString::number(disc_.TrackStart(2) + 150);
  EXPECT_TRUE(QString::fromUtf8(r.err).contains(expected)) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("Disc is not found in MusicBrainz"));
}

// Japanese titles reach the file names and tags; the files carry the ids and the cover.
TEST_F(MusicBrainzCommand, RippedFilesCarryTheIdsAndTheCover) {
  ServeTwoReleases();
  const QByteArray png = MakeImage("png");
  server_.Add("/caa/release/" + kJp.toLatin1() + "/front-500", {200, png, "image/png"});
  ASSERT_EQ(Cli({"lookup", "--musicbrainz", "--release", kJp}).exitCode, 0);
  QTemporaryDir out;
  for (const char* format : {"mp3", "ogg"}) {
    SCOPED_TRACE(format);
    const ProcessResult rip = Cli({"rip", "--out", out.path(), "--format", format});
    ASSERT_EQ(rip.exitCode, 0) << rip.err.toStdString();
    const QString path =
        out.path() + "/Pink Floyd/狂気/02 - 虚空のスキャット." + QString::fromLatin1(format);
    ASSERT_TRUE(QFile::exists(path)) << FilesUnder(out.path()).join(' ').toStdString();
    const QMap<QString, QString> tags = ProbeTags(path);
    EXPECT_EQ(tags["title"], "虚空のスキャット");
    EXPECT_EQ(tags["album"], "狂気");
    const bool mp3 = QByteArray(format) == "mp3";
    EXPECT_EQ(tags[mp3 ? "musicbrainz album id" : "musicbrainz_albumid"], kJp);
    EXPECT_EQ(tags[mp3 ? "musicbrainz release group id" : "musicbrainz_releasegroupid"],
              "f5093c06-23e3-404f-aeaa-40f72885ee3a");
    EXPECT_EQ(tags[mp3 ? "musicbrainz release track id" : "musicbrainz_releasetrackid"], "t2");
    if (!mp3) {
      EXPECT_EQ(tags["musicbrainz_trackid"], "r2");
    }
    const ProcessResult streams =
        RunProgram("ffprobe", {"-v", "error", "-show_streams", "-of", "json", path});
    bool picture = false;
    for (const QJsonValue& stream :
         QJsonDocument::fromJson(streams.out).object()["streams"].toArray()) {
      const QJsonObject s = stream.toObject();
      picture = picture || (s["codec_name"].toString() == "png" &&
                            s["disposition"].toObject()["attached_pic"].toInt() == 1);
    }
    EXPECT_TRUE(picture) << streams.out.toStdString();
  }
  // WMA keeps the ids as attributes; the ASF muxer has no place for a picture.
  ASSERT_EQ(Cli({"rip", "--out", out.path(), "--format", "wma"}).exitCode, 0);
  const QMap<QString, QString> wma =
      ProbeTags(out.path() + "/Pink Floyd/狂気/01 - 生命の息吹き.wma");
  EXPECT_EQ(wma["musicbrainz/album id"], kJp);
  EXPECT_EQ(wma["musicbrainz/track id"], "r1");
  // The recording id is the MP3's UFID frame, owned by MusicBrainz.
  const QByteArray mp3 = ReadFileBytes(out.path() + "/Pink Floyd/狂気/03 - 狂気日食.mp3");
  EXPECT_TRUE(mp3.contains(QByteArray("UFID") + '\0'));
  EXPECT_TRUE(mp3.contains(QByteArray("http://musicbrainz.org") + '\0' + "r3"));
}

TEST_F(MusicBrainzCommand, TheCoverSettingNoneKeepsTheCoverOut) {
  ServeTwoReleases();
  server_.Add("/caa/release/" + kJp.toLatin1() + "/front-500",
              {200, MakeImage("png"), "image/png"});
  IniFile("korvane.ini").WriteInt("MusicBrainz", "Cover", 3);
  ASSERT_EQ(Cli({"lookup", "--musicbrainz", "--release", kJp}).exitCode, 0);
  EXPECT_EQ(CoverRequests(), 0);
}

}  // namespace
