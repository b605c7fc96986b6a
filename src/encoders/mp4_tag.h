#pragma once
#include <QString>

struct TagRecord;

namespace Mp4Tag {

// Writes the tags into the MP4 file at path (title, artist, album, year, track n of total,
// genre, comment; only the texts that are known). Returns an empty string on success, else
// why the file could not be tagged.
QString Write(const QString& path, const TagRecord& tags, int trackCount);

}  // namespace Mp4Tag
