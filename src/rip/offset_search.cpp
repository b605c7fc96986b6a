#include "rip/offset_search.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

#include "metadata/accuraterip.h"
#include "rip/track_checksums.h"

void OffsetSearch::AddTrack(const OffsetTrack& track) {
  // The track's entries by checksum, with their best confidence. A checksum of 0 is left
  // out: a silent track sums to 0 at every offset and tells none apart.
  std::unordered_map<uint32_t, int> entries;
  for (const AccurateRipResponse& response : answer_.responses) {
    if (size_t(track.audioIndex) >= response.tracks.size()) continue;
    const AccurateRipResponse::Track& entry = response.tracks[size_t(track.audioIndex)];
    if (entry.confidence == 0 || entry.checksum == 0) continue;
    int& best = entries[entry.checksum];
    best = std::max(best, entry.confidence);
  }
  if (entries.empty()) return;
  const std::vector<uint32_t> sums = SlidingAccurateRipV1(track.window, track.frames, track.margin,
                                                          track.firstOnDisc, track.lastOnDisc);
  for (size_t k = 0; k < sums.size(); ++k) {
    const auto match = entries.find(sums[k]);
    if (match == entries.end()) continue;
    Tally& tally = tallies_[int(k) - track.margin];
    ++tally.tracks;
    tally.confidence = std::max(tally.confidence, match->second);
  }
}

OffsetFinding OffsetSearch::Best() const {
  OffsetFinding best;
  for (const auto& [offset, tally] : tallies_) {
    const bool better =
        !best.found || tally.tracks > best.matchingTracks ||
        (tally.tracks == best.matchingTracks &&
         (tally.confidence > best.confidence ||
          (tally.confidence == best.confidence && std::abs(offset) < std::abs(best.offset))));
    if (better) best = {true, offset, tally.tracks, tally.confidence};
  }
  return best;
}
