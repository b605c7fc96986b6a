#pragma once
#include <QByteArray>

struct TagRecord;

// An ID3v2.4 tag for the front of an MP3 file, from the whole (Unicode) texts of a track's tag
// record, in UTF-8: title, artist, album, year, track number "n/total", genre, comment, disc
// number, the MusicBrainz ids (TXXX frames and the recording's UFID) and the front cover.
// trackCount 0 leaves the total out. Empty texts get no frame.
namespace Id3v2 {

QByteArray Tag(const TagRecord& tags, int trackCount);

}  // namespace Id3v2
