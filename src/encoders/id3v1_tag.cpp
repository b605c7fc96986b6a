#include "encoders/id3v1_tag.h"

#include <algorithm>
#include <cstring>

#include "encoders/tag_record.h"

namespace Id3v1 {
namespace {

struct Genre {
  const char* name;
  int number;
};

// The names of the published ID3v1 genre list with their numbers.
constexpr Genre kGenres[] = {
    {"A Kapella", 123},
    {"Acid", 34},
    {"Acid Jazz", 74},
    {"Acid Pank", 73},
    {"Acoustic", 99},
    {"Alt. Rock", 40},
    {"Alternative", 20},
    {"Ambient", 26},
    {"Anime", 145},
    {"Avantgarde", 90},
    {"Ballad", 116},
    {"Bass", 41},
    {"Beat", 135},
    {"Bebob", 85},
    {"Big Band", 96},
    {"Black Metal", 138},
    {"BlueGrass", 89},
    {"Blues", 0},
    {"Booty Bass", 107},
    {"BritPop", 132},
    {"Cabaret", 65},
    {"Celtic", 88},
    {"Chamber Music", 104},
    {"Chanson", 102},
    {"Chorus", 97},
    {"Christian Gangsta Rap", 136},
    {"Christian Rap", 61},
    {"Christian Rock", 141},
    {"Classic Rock", 1},
    {"Classical", 32},
    {"Club", 112},
    {"Club House", 128},
    {"Comedy", 57},
    {"Contemporary", 140},
    {"Country", 2},
    {"Crossover", 139},
    {"Cult", 58},
    {"Danse", 3},
    {"Danse Hall", 125},
    {"Darkwave", 50},
    {"Death Metal", 22},
    {"Disco", 4},
    {"Dream", 55},
    {"Drum & Bass", 127},
    {"Drum Solo", 122},
    {"Duet", 120},
    {"Easy Listening", 98},
    {"Electronic", 52},
    {"Ethnic", 48},
    {"Euro-Dance", 54},
    {"Euro-Hause", 124},
    {"Euro Techno", 25},
    {"Fast-Fusion", 84},
    {"Folk", 80},
    {"Folk/Rock", 81},
    {"Folklore", 115},
    {"Freestyle", 119},
    {"Funk", 5},
    {"Fusion", 30},
    {"Game", 36},
    {"Gangsta Rap", 59},
    {"Goa", 126},
    {"Gospel", 38},
    {"Gothic", 49},
    {"Gothic Rock", 91},
    {"Grunge", 6},
    {"Hard Rock", 79},
    {"Hardcore", 129},
    {"Heavy Metal", 137},
    {"Hip-Hop", 7},
    {"House", 35},
    {"Humour", 100},
    {"Indie", 131},
    {"Industrial", 19},
    {"Instrumental", 33},
    {"Instr Pop", 46},
    {"Instr Rock", 47},
    {"Jazz", 8},
    {"Jazz+Funk", 29},
    {"JPop", 146},
    {"Jungle", 63},
    {"Latin", 86},
    {"Lo-Fi", 71},
    {"Meditative", 45},
    {"Merengue", 142},
    {"Metal", 9},
    {"Musical", 77},
    {"National Folk", 82},
    {"Native American", 64},
    {"NegerPunk", 133},
    {"New Age", 10},
    {"New Wave", 66},
    {"Noise", 39},
    {"Oldies", 11},
    {"Opera", 103},
    {"Other", 12},
    {"Polka", 75},
    {"Polsk Punk", 134},
    {"Pop", 13},
    {"Pop/Funk", 62},
    {"Pop/Folk", 53},
    {"Porn Groove", 109},
    {"Power Ballad", 117},
    {"Pranks", 23},
    {"Primus", 108},
    {"Progressive Rock", 92},
    {"Psychedelic", 67},
    {"Psychedelic Rock", 93},
    {"Punk", 43},
    {"Punk Rock", 121},
    {"R & B", 14},
    {"Rap", 15},
    {"Rave", 68},
    {"Reggae", 16},
    {"Retro", 76},
    {"Revival", 87},
    {"Rhythmic Soul", 118},
    {"Rock", 17},
    {"Rock & Roll", 78},
    {"Salsa", 143},
    {"Samba", 114},
    {"Satire", 110},
    {"Showtunes", 69},
    {"Ska", 21},
    {"Slow Jam", 111},
    {"Slow Rock", 95},
    {"Sonata", 105},
    {"Soul", 42},
    {"Sound Clip", 37},
    {"Sound Track", 24},
    {"Southern Rock", 56},
    {"Space", 44},
    {"Speech", 101},
    {"Swing", 83},
    {"Simphonick Rock", 94},
    {"Simphony", 106},
    {"Sinthpop", 147},
    {"Tango", 113},
    {"Techno", 18},
    {"TechnoIndustr", 51},
    {"Terror", 130},
    {"Trash Metal", 144},
    {"Top40", 60},
    {"Trailer", 70},
    {"Trance", 31},
    {"Tribal", 72},
    {"Trip-Hop", 27},
    {"Vocal", 28},
};
static_assert(std::size(kGenres) == 148);

constexpr int kCompareBytes = 62;

QByteArray Folded(const char* text) {
  return QByteArray(text, qsizetype(strnlen(text, kCompareBytes))).toUpper();
}

// Copies text into a zero-padded field of size bytes, cut at the field's end.
void PutField(QByteArray& tag, int offset, int size, const char* text) {
  const size_t length = strnlen(text, size_t(size));
  std::memcpy(tag.data() + offset, text, length);
}

}  // namespace

int GenreNumber(const char* genre) {
  // The whole name: a part of one would turn "Jazz" into "Acid Jazz" and "" into the first.
  const QByteArray wanted = Folded(genre);
  for (const Genre& g : kGenres) {
    if (Folded(g.name) == wanted) return g.number;
  }
  return kUnknownGenre;
}

QByteArray Tag(const TagRecord& tags, int trackIndex) {
  QByteArray tag(kTagBytes, '\0');
  std::memcpy(tag.data(), "TAG", 3);
  PutField(tag, 3, 30, tags.Text(TagRecord::Title));
  PutField(tag, 33, 30, tags.Text(TagRecord::Artist));
  PutField(tag, 63, 30, tags.Text(TagRecord::Album));
  PutField(tag, 93, 4, tags.Text(TagRecord::Year));
  PutField(tag, 97, 28, tags.Text(TagRecord::Comment));
  tag[125] = 0;  // marks the byte after it as the track number
  tag[126] = char(uint8_t(trackIndex + 1));
  tag[127] = char(uint8_t(GenreNumber(tags.Text(TagRecord::Genre))));
  return tag;
}

}  // namespace Id3v1
