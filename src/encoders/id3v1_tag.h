#pragma once
#include <QByteArray>

struct TagRecord;

// The 128-byte ID3v1 tag appended to MP3 and AAC files, from the Windows-1252 texts of a
// track's tag record; each text is cut at its field's size.
namespace Id3v1 {

constexpr int kTagBytes = 128;
constexpr int kUnknownGenre = 255;

QByteArray Tag(const TagRecord& tags, int trackIndex);

// The ID3v1 number of a genre text: the genre table's name that equals the text, both folded
// to upper case; 255 ("no genre") when none does, an empty text included.
int GenreNumber(const char* genre);

}  // namespace Id3v1
