#include "metadata/musicbrainz_release.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "metadata/disc_info.h"

namespace {

QString Text(const QJsonObject& object, const char* key) {
  return object.value(QLatin1String(key)).toString();
}

QJsonArray Array(const QJsonObject& object, const char* key) {
  return object.value(QLatin1String(key)).toArray();
}

QJsonObject Object(const QJsonObject& object, const char* key) {
  return object.value(QLatin1String(key)).toObject();
}

struct Credit {
  QString name;
  QString firstArtistId;
};

// "Pink Floyd feat. Clare Torry": each credited name followed by its join phrase.
Credit CreditOf(const QJsonArray& credits) {
  Credit credit;
  for (const QJsonValue& value : credits) {
    const QJsonObject part = value.toObject();
    credit.name += Text(part, "name") + Text(part, "joinphrase");
    if (credit.firstArtistId.isEmpty()) credit.firstArtistId = Text(Object(part, "artist"), "id");
  }
  return credit;
}

QString MostVotedGenre(const QJsonArray& genres) {
  QString best;
  int bestCount = 0;
  for (const QJsonValue& value : genres) {
    const QJsonObject genre = value.toObject();
    const int count = genre.value(QLatin1String("count")).toInt();
    if (best.isEmpty() || count > bestCount) {
      best = Text(genre, "name");
      bestCount = count;
    }
  }
  return best;
}

bool IsVideoFormat(const QString& format) {
  static const QStringList kVideo = {"DVD-Video", "Blu-ray", "HD-DVD", "VHS",
                                     "VCD",       "SVCD",    "UMD",    "LaserDisc"};
  return kVideo.contains(format, Qt::CaseInsensitive);
}

bool HoldsDisc(const QJsonObject& medium, const QString& discId) {
  for (const QJsonValue& disc : Array(medium, "discs")) {
    if (Text(disc.toObject(), "id") == discId) return true;
  }
  return false;
}

MusicBrainzTrack TrackOf(const QJsonObject& track, const Credit& releaseCredit) {
  const QJsonObject recording = Object(track, "recording");
  Credit credit = CreditOf(Array(track, "artist-credit"));
  if (credit.name.isEmpty()) credit = CreditOf(Array(recording, "artist-credit"));
  if (credit.name.isEmpty()) credit = releaseCredit;
  QString title = Text(track, "title");
  if (title.isEmpty()) title = Text(recording, "title");
  return {title, credit.name, credit.firstArtistId, Text(recording, "id"), Text(track, "id")};
}

void TakeLabel(const QJsonObject& release, MusicBrainzRelease& out) {
  const QJsonArray labels = Array(release, "label-info");
  if (labels.isEmpty()) return;
  const QJsonObject info = labels.first().toObject();
  out.label = Text(Object(info, "label"), "name");
  out.catalogNumber = Text(info, "catalog-number");
}

// The release with the medium that holds the disc; false when none does.
bool ReleaseOf(const QJsonObject& release, const QString& discId, MusicBrainzRelease& out) {
  const Credit credit = CreditOf(Array(release, "artist-credit"));
  const QJsonArray media = Array(release, "media");
  int audioMedia = 0;
  bool found = false;
  for (const QJsonValue& value : media) {
    const QJsonObject medium = value.toObject();
    const QString format = Text(medium, "format");
    if (IsVideoFormat(format)) continue;
    ++audioMedia;
    if (found || !HoldsDisc(medium, discId)) continue;
    found = true;
    out.discNumber = audioMedia;
    out.format = format;
    for (const QJsonValue& track : Array(medium, "tracks"))
      out.tracks.append(TrackOf(track.toObject(), credit));
  }
  if (!found) return false;
  out.discTotal = audioMedia;
  out.id = Text(release, "id");
  out.title = Text(release, "title");
  out.artist = credit.name;
  out.artistId = credit.firstArtistId;
  const QJsonObject group = Object(release, "release-group");
  out.releaseGroupId = Text(group, "id");
  out.date = Text(release, "date");
  out.country = Text(release, "country");
  out.barcode = Text(release, "barcode");
  TakeLabel(release, out);
  out.genre = MostVotedGenre(Array(release, "genres"));
  if (out.genre.isEmpty()) out.genre = MostVotedGenre(Array(group, "genres"));
  return true;
}

}  // namespace

QList<MusicBrainzRelease> ParseMusicBrainzReleases(const QByteArray& json, const QString& discId) {
  QList<MusicBrainzRelease> releases;
  const QJsonDocument document = QJsonDocument::fromJson(json);
  for (const QJsonValue& value : Array(document.object(), "releases")) {
    MusicBrainzRelease release;
    if (ReleaseOf(value.toObject(), discId, release)) releases.append(release);
  }
  return releases;
}

void ApplyMusicBrainzRelease(const MusicBrainzRelease& release, DiscInfo& info) {
  if (!release.title.isEmpty()) info.album = release.title;
  if (!release.artist.isEmpty()) info.artist = release.artist;
  if (!release.date.isEmpty()) info.year = release.Year();
  if (!release.genre.isEmpty()) info.genre = release.genre;
  const bool set = release.discTotal > 1;
  info.discNumber = set ? release.discNumber : 0;
  info.discTotal = set ? release.discTotal : 0;
  DiscInfo::MusicBrainzIds& ids = info.musicBrainz;
  ids = DiscInfo::MusicBrainzIds();
  ids.release = release.id;
  ids.releaseGroup = release.releaseGroupId;
  ids.albumArtist = release.artistId;
  bool various = false;
  for (int i = 0; i < info.trackTitles.size(); ++i) {
    const MusicBrainzTrack track =
        i < release.tracks.size() ? release.tracks[i] : MusicBrainzTrack();
    if (!track.title.isEmpty()) info.trackTitles[i] = track.title;
    info.trackArtists[i] = track.artist.isEmpty() ? info.artist : track.artist;
    various = various || info.trackArtists[i] != info.artist;
    ids.recordings.append(track.recordingId);
    ids.tracks.append(track.trackId);
  }
  info.SetVariousArtists(various ? 1 : 0);
}
