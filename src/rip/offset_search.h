#pragma once
#include <cstdint>
#include <map>
#include <vector>

struct AccurateRipAnswer;

// The read offset a drive has, found from tracks the database knows: every offset from
// -kMaxReadOffset to +kMaxReadOffset is tried on each track, and the offset at which the
// most tracks' checksums equal a database entry wins (then the highest confidence).
struct OffsetFinding {
  bool found = false;
  int offset = 0;
  int matchingTracks = 0;
  int confidence = 0;  // the highest among the matching entries
};

// One track as the drive delivered it, uncorrected: its frames with `margin` more on either
// side (window[margin] is the frame the drive gave for the track's first position).
struct OffsetTrack {
  int audioIndex = 0;  // among the disc's audio tracks, 0-based: the database's numbering
  uint32_t frames = 0;
  bool firstOnDisc = false;
  bool lastOnDisc = false;
  int margin = 0;
  std::vector<uint32_t> window;
};

class OffsetSearch {
 public:
  explicit OffsetSearch(const AccurateRipAnswer& answer) : answer_(answer) {}

  // Tries every shift the track's margin allows against the track's database entries.
  void AddTrack(const OffsetTrack& track);
  OffsetFinding Best() const;

 private:
  struct Tally {
    int tracks = 0;
    int confidence = 0;
  };
  const AccurateRipAnswer& answer_;
  std::map<int, Tally> tallies_;  // by offset
};
