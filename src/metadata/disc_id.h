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

  // A table with 1 to 99 tracks; anything else means there is no usable disc.
  bool HasValidTrackCount() const;
};

// The freedb disc identifier: the digit sums of the track start seconds modulo 255, the
// playing length in seconds and the track count. Frames do not count. 0 when the table
// has no valid track count.
uint32_t ComputeDiscId(const TocAddresses& toc);

// Eight upper-case hexadecimal digits, the name of the disc's section in the disc cache.
QString DiscIdText(uint32_t discId);
