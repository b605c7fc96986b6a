#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "drive/cd_text.h"
#include "metadata/disc_id.h"

class IniFile;

// What Korvane knows of the disc in the current drive: disc artist, album, year, genre,
// comment, a title and an artist per track, and the freedb disc identifier. The record is
// kept in the local disc cache "discs.ini" in the settings folder, one section per disc
// identifier, holding only the values that differ from the defaults below.
//
// The various-artists mark is not a field: it is the key "VA" of the disc's section and is
// read from the file whenever it is asked for.
class DiscInfo {
 public:
  static constexpr const char* kCacheFileName = "discs.ini";
  static constexpr const char* kUnknownArtist = "Unknown Artist";
  static constexpr const char* kUnknownAlbum = "Unknown Album";
  static constexpr const char* kDefaultYear = "2008";
  static constexpr const char* kDefaultGenre = "Rock";
  static constexpr const char* kDefaultComment = "Korvane";
  static constexpr const char* kNoDiscId = "00000000";
  // The album artist of a various-artists disc that names none.
  static constexpr const char* kVariousArtists = "Various Artists";

  // The details a disc may lack. Until one is known it holds its placeholder default above,
  // which the window shows but no file is tagged with.
  enum Detail { Year = 1, Genre = 2, Comment = 4 };

  // Every text starts empty; the first disc sets the defaults. Nothing is stored in the
  // cache unless SaveToCache is called: reading a disc's information never writes it.
  DiscInfo() = default;
  DiscInfo(const DiscInfo&) = delete;
  DiscInfo& operator=(const DiscInfo&) = delete;

  // "Track 01", "Track 02", ... for the 1-based track number.
  static QString DefaultTrackTitle(int trackNumber);

  // Back to the defaults with one default title and artist per track. With a track count
  // outside 1..99 both lists stay empty and the result is false.
  bool ResetToDefaults(int trackCount);
  // ResetToDefaults, the identifier of the table, then LoadFromCache. True when the disc
  // was found in the cache.
  bool InitForDisc(const TocAddresses& toc);

  // True when the cache has a section with at least one key for discId.
  bool IsInCache() const;
  // Reads the disc's section over the defaults; false, with the record untouched, when
  // the disc is not in the cache.
  bool LoadFromCache();
  // Writes every value that differs from its default. Keys whose value went back to the
  // default stay in the file. False when the cache could not be written (a full disk).
  bool SaveToCache() const;
  // Where the disc cache is.
  static QString CachePath();

  // The "VA" key of the disc's section: 1 when every track has an artist of its own. A mark
  // set with MarkVariousArtists and not yet saved counts instead.
  int GetVariousArtists() const;
  // Writes the mark into the cache at once (the disc dialog's check box does).
  bool SetVariousArtists(int various);
  // Sets the mark for this record only; SaveToCache stores it with the rest.
  void MarkVariousArtists(int various) { unsavedVarious_ = various; }

  // A detail is known when it differs from its placeholder, or was read from the cache, found
  // by a lookup or typed by the user as it stands.
  bool IsKnown(Detail detail) const;
  void SetKnown(Detail detail) { known_ |= detail; }
  // The detail's text for a file's tags: empty while it is not known.
  QString TagText(Detail detail) const;

  // The artist the album belongs to, which names its folder: the disc artist; on a
  // various-artists disc without one, "Various Artists".
  QString AlbumArtist() const;

  // The title of the track at a 0-based index; empty for an index outside the list.
  const QString& GetTrackTitle(int index) const;
  // The track's own artist on a various-artists disc, else the disc artist; empty for an
  // index outside the list.
  const QString& GetTrackArtist(int index) const;

  // Takes the disc's CD-TEXT when the disc is not in the cache: album and disc artist from
  // record 0 and each track's title and artist from record t. Nothing is written to the cache:
  // the same disc gives the same record on every reading. The disc is marked various artists
  // (until saved, see MarkVariousArtists) only when its tracks name performers other than the
  // disc's (or different ones); a disc of one performer keeps that artist. A text the disc
  // does not carry leaves the field as it was.
  void ImportCdText(const CdText& text, int trackCount);

  QString artist;
  QString album;
  QString year;
  QString genre;
  QString comment;
  QStringList trackTitles;   // index 0 = first track
  QStringList trackArtists;  // index 0 = first track
  QString discId;            // eight upper-case hexadecimal digits

  // What MusicBrainz calls the disc's release and its parts; empty when it was not looked up
  // there. Cached as "MB_Release", "MB_ReleaseGroup", "MB_AlbumArtist", "MB_RecordingN" and
  // "MB_TrackN".
  struct MusicBrainzIds {
    QString release;
    QString releaseGroup;
    QString albumArtist;
    QStringList recordings;  // index 0 = first track
    QStringList tracks;      // index 0 = first track
  };
  MusicBrainzIds musicBrainz;
  // The disc's place in a set of several ("Disc_Number", "Disc_Total"); 0 for a single disc.
  int discNumber = 0;
  int discTotal = 0;

  // Drops the MusicBrainz ids and the place in a set, once the texts come from another source;
  // the next SaveToCache forgets them in the disc cache too.
  void ForgetRelease();

  // The MusicBrainz id of a track's recording or of its track on the release; empty when
  // unknown.
  QString RecordingId(int index) const { return musicBrainz.recordings.value(index); }
  QString TrackId(int index) const { return musicBrainz.tracks.value(index); }

 private:
  void LoadMusicBrainz(const IniFile& cache);
  void AddMusicBrainzKeys(QList<std::pair<QString, QString>>& entries) const;
  const QString& DetailText(Detail detail) const;
  static const char* Placeholder(Detail detail);
  static void AddNumberedKeys(QList<std::pair<QString, QString>>& entries, const char* prefix,
                              int count, const std::function<QString(int)>& value,
                              const std::function<QString(int)>& defaultValue);

  int known_ = 0;                      // the Detail bits known although at their placeholder
  std::optional<int> unsavedVarious_;  // the various-artists mark until SaveToCache
};
