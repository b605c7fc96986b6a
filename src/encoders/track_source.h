#pragma once
#include <cstdint>

// The disc an encoder reads from, as far as the encoder needs to know it: where each track
// begins and ends. The rip job hands in the current drive.
class TrackSource {
 public:
  virtual ~TrackSource() = default;
  // First and last sector (inclusive, logical block addresses) of the track at a 0-based
  // index; false when the disc has no such track.
  virtual bool TrackBounds(int trackIndex, uint32_t& firstSector, uint32_t& lastSector) = 0;
};
