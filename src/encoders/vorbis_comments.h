#pragma once
#include <QByteArray>
#include <utility>
#include <vector>

struct TagRecord;
struct TrackFacts;

// One Vorbis comment: the field name and its value in UTF-8.
using VorbisComment = std::pair<const char*, QByteArray>;

// The Vorbis comments of a track (TITLE, ARTIST, ALBUM, DATE, GENRE, TRACKNUMBER, TRACKTOTAL,
// COMMENT, ALBUMARTIST) and its release comments, for the formats that carry them. Only what is
// known is written: an empty text gives no comment. The front cover is left to the format: FLAC
// keeps it in a PICTURE block, the Ogg formats in the METADATA_BLOCK_PICTURE comment.
std::vector<VorbisComment> VorbisComments(const TagRecord& tags, const TrackFacts& track);

// The disc's place in a set (DISCNUMBER, DISCTOTAL) and the MusicBrainz ids under the names
// players look for.
std::vector<VorbisComment> ReleaseComments(const TagRecord& tags);

// The front cover as the METADATA_BLOCK_PICTURE comment's value; empty when there is none.
QByteArray PictureCommentValue(const TagRecord& tags);
