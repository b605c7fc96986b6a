#pragma once
#include <QByteArray>
#include <utility>
#include <vector>

struct TagRecord;
struct TrackFacts;

// One Vorbis comment: the field name and its value in UTF-8.
using VorbisComment = std::pair<const char*, QByteArray>;

// The Vorbis comments of a track (TITLE, ARTIST, ALBUM, DATE, GENRE, TRACKNUMBER, TRACKTOTAL,
// COMMENT), for the formats that carry them. Only what is known is written: an empty text
// gives no comment.
std::vector<VorbisComment> VorbisComments(const TagRecord& tags, const TrackFacts& track);
