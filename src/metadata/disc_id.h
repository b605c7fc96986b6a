#pragma once
#include <QString>
#include <cstdint>
#include <vector>

// A disc address in minutes, seconds and frames (1/75 s), exactly as the drive reports it:
// the two-second lead-in is included.
struct MsfAddress {
  int minute = 0;
  int second = 0;
  int frame = 0;
};

// The start addresses of a disc's tracks, in order, and of the lead-out after them.
struct TocAddresses {
  std::vector<MsfAddress> trackStarts;
  MsfAddress leadOut;
  int firstTrack = 1;            // the number of the first track: a disc may start later
  bool lastTrackIsData = false;  // a data track after audio tracks: an enhanced CD

  // A table with 1 to 99 tracks; anything else means there is no usable disc.
  bool HasValidTrackCount() const;
};

// The freedb disc identifier: the digit sums of the track start seconds modulo 255, the
// playing length in seconds and the track count. Frames do not count. 0 when the table
// has no valid track count.
uint32_t ComputeDiscId(const TocAddresses& toc);

// Eight upper-case hexadecimal digits, the name of the disc's section in the disc cache.
QString DiscIdText(uint32_t discId);

// The MusicBrainz disc identifier: 28 characters of base64 (with ".", "_" and "-" for "+",
// "/" and "=") of the SHA-1 over the first and last track numbers and the lead-out and 99
// track offsets of the first session, in upper-case hexadecimal. On an enhanced CD the data
// track after the audio belongs to a later session: it is left out, and the lead-out is its
// start minus the gap between sessions (unless it starts too soon after the audio for such a
// gap). Empty when the table has no valid track count.
QString MusicBrainzDiscId(const TocAddresses& toc);

// The address where a person adds the disc to MusicBrainz: the server's
// "/cdtoc/attach?id=ID&tracks=N&toc=FIRST+LAST+LEADOUT+OFFSETS...". Empty when the table has no
// valid track count.
QString MusicBrainzSubmissionUrl(const QString& server, const TocAddresses& toc);

// The first session as MusicBrainz counts it: the first and last track number, and the
// sector offsets (lead-in included) of the lead-out and of each track.
struct FirstSession {
  int firstTrack = 0;
  int lastTrack = 0;
  int leadOut = 0;
  std::vector<int> trackOffsets;
};
FirstSession FirstSessionOf(const TocAddresses& toc);
