#pragma once
#include <QList>
#include <QString>
#include <array>

#include "metadata/cover_store.h"

class DiscInfo;

// The tag texts of one track for the encoders that write tags: one zero-terminated
// Windows-1252 string of at most kMaxTextBytes bytes a slot (for tags that hold only that code
// page, such as ID3v1), and the same texts whole, for tags that hold Unicode. An empty slot is
// not known and gets no tag. A new kind of text joins as a slot in front of SlotCount.
struct TagRecord {
  enum Slot { Title, Artist, Album, Year, Genre, Comment, TrackNumber, AlbumArtist, SlotCount };
  static constexpr int kSlotBytes = 512;
  static constexpr int kMaxTextBytes = kSlotBytes - 1;

  const char* Text(Slot slot) const { return texts[slot].data(); }
  const QString& Wide(Slot slot) const { return wide[slot]; }

  std::array<std::array<char, kSlotBytes>, SlotCount> texts{};
  std::array<QString, SlotCount> wide;

  // Where the track is in MusicBrainz, empty when unknown; the disc's place in a set (0 for a
  // single disc); and the front cover to embed, empty when there is none or the "Cover"
  // setting keeps it out of the files.
  struct MusicBrainzIds {
    QString albumId;
    QString artistId;  // the album artist's
    QString releaseGroupId;
    QString releaseTrackId;
    QString recordingId;
  } musicBrainz;
  int discNumber = 0;
  int discTotal = 0;
  CoverImage cover;
};

// Clears the record and fills it for the track at a 0-based index: its title and artist,
// the album and album artist, the year, genre and comment of the disc where they are known,
// the 1-based track number, the MusicBrainz ids, the disc number and the stored front cover.
void FillTagRecord(TagRecord& record, const DiscInfo& info, int trackIndex);
// Puts one text into its slot, in place of what it held.
void FillSlot(TagRecord& record, TagRecord::Slot slot, const QString& text);

// Whether the "Cover" setting puts the front cover into the files' tags, and whether it saves
// it as a file in the album folder.
bool EmbedsCover();
bool SavesCoverFile();

// One MusicBrainz id of a track under the names each format's taggers and players use (null:
// the format keeps it elsewhere, as MP3 keeps the recording id in its UFID frame).
struct MusicBrainzTag {
  const char* id3;     // the TXXX frame's description
  const char* vorbis;  // the Vorbis comment's name
  const char* wma;     // the ASF attribute's name
  QString value;
};
// The record's MusicBrainz ids that are known, in one order for every format.
QList<MusicBrainzTag> MusicBrainzTags(const TagRecord& tags);
