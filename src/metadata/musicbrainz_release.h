#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

class DiscInfo;

// One track of the medium that holds the disc.
struct MusicBrainzTrack {
  QString title;
  QString artist;  // the track's own credit, else its recording's, else the release's
  QString artistId;
  QString recordingId;
  QString trackId;
};

// A release that holds the disc, as the discid answer of MusicBrainz's web service describes it,
// with the medium that holds the disc taken out of its media.
struct MusicBrainzRelease {
  QString id;
  QString title;
  QString artist;  // the artist credit, names joined with their join phrases
  QString artistId;
  QString releaseGroupId;
  QString date;  // "1973-03-01", "1973" or empty
  QString country;
  QString label;
  QString catalogNumber;
  QString barcode;
  QString format;  // the medium's: "CD", "Enhanced CD"...
  QString genre;   // the most-voted genre, or empty
  int discNumber = 1;
  int discTotal = 1;  // the release's audio media; a video medium beside the disc does not count
  QList<MusicBrainzTrack> tracks;

  QString Year() const { return date.left(4); }
};

// The releases of a discid answer (JSON) whose media hold the disc, in the answer's order.
// Nothing for an answer that is not JSON or names no release with the disc.
QList<MusicBrainzRelease> ParseMusicBrainzReleases(const QByteArray& json, const QString& discId);

// Fills the record from the release: album, album artist, titles and artists of as many tracks
// as the record has, year, genre, disc number and the MusicBrainz ids. The disc is marked
// various artists when a track's artist differs from the album artist.
void ApplyMusicBrainzRelease(const MusicBrainzRelease& release, DiscInfo& info);
