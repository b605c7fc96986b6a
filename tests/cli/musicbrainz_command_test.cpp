#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "cddb_test_server.h"
#include "encoders/lossy_audio.h"
#include "loopback_peers.h"
#include "metadata/disc_id.h"
#include "musicbrainz_answers.h"
#include "settings/ini_file.h"
#include "support/freedb_example.h"
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

// Whether ffprobe finds the front cover in a file: an attached picture of the image's codec.
bool HasAttachedPicture(const QString& path, const QString& codec) {
  const ProcessResult streams =
      RunProgram("ffprobe", {"-v", "error", "-show_streams", "-of", "json", path});
  for (const QJsonValue& stream :
       QJsonDocument::fromJson(streams.out).object()["streams"].toArray()) {
    const QJsonObject s = stream.toObject();
    if (s["codec_name"].toString() == codec &&
        s["disposition"].toObject()["attached_pic"].toInt() == 1) {
      return true;
    }
  }
  return false;
}

// Japanese titles reach the file names and tags; the files carry the ids and the cover, in
// every format that has a place for it, and the album folder has the cover file.
TEST_F(MusicBrainzCommand, RippedFilesCarryTheIdsAndTheCover) {
  ServeTwoReleases();
  const QByteArray png = MakeImage("png");
  server_.Add("/caa/release/" + kJp.toLatin1() + "/front-500", {200, png, "image/png"});
  ASSERT_EQ(Cli({"lookup", "--musicbrainz", "--release", kJp}).exitCode, 0);
  QTemporaryDir out;
  const QString album = out.path() + "/Pink Floyd/狂気/";
  const struct {
    const char* format;
    const char* albumId;  // the album id's tag as ffprobe names it
    const char* recordingId;
  } formats[] = {
      {"mp3", "musicbrainz album id", nullptr},
      {"ogg", "musicbrainz_albumid", "musicbrainz_trackid"},
      {"flac", "musicbrainz_albumid", "musicbrainz_trackid"},
      {"opus", "musicbrainz_albumid", "musicbrainz_trackid"},
      {"wma", "musicbrainz/album id", "musicbrainz/track id"},
  };
  for (const auto& f : formats) {
    SCOPED_TRACE(f.format);
    const ProcessResult rip = Cli({"rip", "--out", out.path(), "--format", f.format});
    ASSERT_EQ(rip.exitCode, 0) << rip.err.toStdString();
    EXPECT_FALSE(rip.err.contains("is kept")) << "the same cover is no user's own";
    const QString path = album + "02 - 虚空のスキャット." + QString::fromLatin1(f.format);
    ASSERT_TRUE(QFile::exists(path)) << FilesUnder(out.path()).join(' ').toStdString();
    const QMap<QString, QString> tags = ProbeTags(path);
    EXPECT_EQ(tags["title"], "虚空のスキャット");
    EXPECT_EQ(tags["album"], "狂気");
    EXPECT_EQ(tags[f.albumId], kJp);
    if (f.recordingId) EXPECT_EQ(tags[f.recordingId], "r2");
    EXPECT_TRUE(HasAttachedPicture(path, "png"));
  }
  const QMap<QString, QString> mp3Tags = ProbeTags(album + "02 - 虚空のスキャット.mp3");
  EXPECT_EQ(mp3Tags["musicbrainz release group id"], "f5093c06-23e3-404f-aeaa-40f72885ee3a");
  EXPECT_EQ(mp3Tags["musicbrainz release track id"], "t2");
  const QMap<QString, QString> flacTags = ProbeTags(album + "02 - 虚空のスキャット.flac");
  EXPECT_EQ(flacTags["musicbrainz_releasegroupid"], "f5093c06-23e3-404f-aeaa-40f72885ee3a");
  EXPECT_EQ(flacTags["musicbrainz_releasetrackid"], "t2");
  // FLAC keeps it as a front-cover PICTURE block, as metaflac lists it.
  const ProcessResult flacPicture =
      RunProgram("metaflac", {"--list", "--block-type=PICTURE", album + "01 - 生命の息吹き.flac"});
  EXPECT_TRUE(flacPicture.out.contains("type: 3 (Cover (front))")) << flacPicture.out.constData();
  EXPECT_TRUE(flacPicture.out.contains("MIME type: image/png")) << flacPicture.out.constData();
  // Opus keeps it in the METADATA_BLOCK_PICTURE comment, as opusinfo reads it.
  const ProcessResult opus = RunProgram("opusinfo", {album + "01 - 生命の息吹き.opus"});
  EXPECT_TRUE(opus.out.contains("METADATA_BLOCK_PICTURE=")) << opus.out.constData();
  // The recording id is the MP3's UFID frame, owned by MusicBrainz.
  const QByteArray mp3 = ReadFileBytes(album + "03 - 狂気日食.mp3");
  EXPECT_TRUE(mp3.contains(QByteArray("UFID") + '\0'));
  EXPECT_TRUE(mp3.contains(QByteArray("http://musicbrainz.org") + '\0' + "r3"));
  EXPECT_EQ(ReadFileBytes(album + "cover.png"), png);
  // ADTS AAC has no place for the cover: the folder's file is all it gets.
  QTemporaryDir aacOut;
  ASSERT_EQ(Cli({"rip", "--out", aacOut.path(), "--format", "aac"}).exitCode, 0);
  EXPECT_EQ(ReadFileBytes(aacOut.path() + "/Pink Floyd/狂気/cover.png"), png);
  EXPECT_TRUE(FilesUnder(aacOut.path()).filter(".part").isEmpty());
}

// The cover file follows the "Cover" setting, and a user's own different cover file stays as
// it is, with a word why the release's cover is not there.
TEST_F(MusicBrainzCommand, TheCoverFileFollowsTheSettingAndKeepsTheUsersOwn) {
  ServeTwoReleases();
  const QByteArray png = MakeImage("png");
  server_.Add("/caa/release/" + kJp.toLatin1() + "/front-500", {200, png, "image/png"});
  ASSERT_EQ(Cli({"lookup", "--musicbrainz", "--release", kJp}).exitCode, 0);
  const struct {
    int setting;
    bool file;
    bool embedded;
  } cases[] = {{0, false, true}, {1, true, false}, {2, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting);
    IniFile("korvane.ini").WriteInt("MusicBrainz", "Cover", c.setting);
    QTemporaryDir out;
    ASSERT_EQ(Cli({"rip", "--out", out.path(), "--format", "flac", "--tracks", "1"}).exitCode, 0);
    const QString album = out.path() + "/Pink Floyd/狂気/";
    EXPECT_EQ(QFile::exists(album + "cover.png"), c.file);
    EXPECT_EQ(HasAttachedPicture(album + "01 - 生命の息吹き.flac", "png"), c.embedded);
  }
  QTemporaryDir out;
  const QString own = out.path() + "/Pink Floyd/狂気/cover.png";
  ASSERT_TRUE(QDir().mkpath(QFileInfo(own).path()));
  WriteFileBytes(own, "the user's own picture");
  const ProcessResult rip = Cli({"rip", "--out", out.path(), "--format", "flac", "--tracks", "1"});
  EXPECT_EQ(rip.exitCode, 0) << rip.err.toStdString();
  EXPECT_EQ(ReadFileBytes(own), "the user's own picture");
  EXPECT_TRUE(QString::fromUtf8(rip.err).contains(own + " is kept")) << rip.err.toStdString();

  QTemporaryDir unwritten;
  const QString folder = unwritten.path() + "/Pink Floyd/狂気/";
  ASSERT_TRUE(QDir().mkpath(folder + "01 - 生命の息吹き.flac"));  // no file can take the name
  EXPECT_NE(Cli({"rip", "--out", unwritten.path(), "--format", "flac", "--tracks", "1"}).exitCode,
            0);
  EXPECT_FALSE(QFile::exists(folder + "cover.png")) << "no cover beside a track not written";
}

// A release whose disc cache cannot be written is shown but fails the lookup, as freedb's does.
TEST_F(MusicBrainzCommand, ACacheThatCannotBeWrittenFailsTheLookup) {
  ServeTwoReleases();
  ASSERT_TRUE(QDir().mkpath(config_.File("discs.ini.lock")));  // in the way of the cache's lock
  const ProcessResult r = Cli({"lookup", "--musicbrainz", "--release", kJp});
  EXPECT_EQ(r.exitCode, 4) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("the disc cache could not be written: " +
                             QFile::encodeName(config_.File("discs.ini"))))
      << r.err.toStdString();
  EXPECT_TRUE(QString::fromUtf8(r.out).contains("狂気"));
}

// A freedb entry taken after a MusicBrainz release drops the release's ids, in the record and
// in the disc cache, so the files do not carry the ids of an album they are not.
TEST_F(MusicBrainzCommand, AFreedbLookupDropsTheReleaseIds) {
  ServeTwoReleases();
  IniFile("korvane.ini").WriteInt("MusicBrainz", "Cover", 3);
  ASSERT_EQ(Cli({"lookup", "--musicbrainz", "--release", kJp}).exitCode, 0);
  ASSERT_EQ(Cached("MB_Release"), kJp);
  CddbTestServer freedb(CddbTestServer::Mode::Line);
  const QByteArray id = section_.toLower().toLatin1();
  freedb.SetQueryAnswer("200 rock " + id + " Loop Artist / Loop Album\r\n");
  freedb.AddEntry("rock", id, LoopAlbumEntry(id, 3));
  const ProcessResult lookup =
      Cli({"lookup", "--server", "127.0.0.1", "--port", QString::number(freedb.Port())});
  ASSERT_EQ(lookup.exitCode, 0) << lookup.err.toStdString();
  EXPECT_EQ(Cached("MB_Release"), "");
  QTemporaryDir out;
  ASSERT_EQ(Cli({"rip", "--out", out.path(), "--format", "ogg", "--tracks", "1"}).exitCode, 0);
  const QMap<QString, QString> tags =
      ProbeTags(out.path() + "/Loop Artist/Loop Album/01 - First Song.ogg");
  EXPECT_EQ(tags["album"], "Loop Album");
  EXPECT_FALSE(tags.contains("musicbrainz_albumid"));
  EXPECT_FALSE(tags.contains("musicbrainz_trackid"));
  EXPECT_FALSE(tags.contains("discnumber"));
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
