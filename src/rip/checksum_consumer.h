#pragma once
#include <optional>

#include "rip/pcm_consumer.h"
#include "rip/track_checksums.h"

// A track's checksums as a consumer of its PCM, beside its output file: the copy CRC32 and
// AccurateRip's v1 and v2, taken from the main pass as it streams past (no second read).
// firstOnDisc and lastOnDisc: the track is the disc's first or last audio track, whose edges
// AccurateRip leaves out.
class ChecksumConsumer : public PcmConsumer {
 public:
  ChecksumConsumer(bool firstOnDisc, bool lastOnDisc)
      : firstOnDisc_(firstOnDisc), lastOnDisc_(lastOnDisc) {}

  bool Begin(const TrackFacts& track) override;
  bool Consume(std::span<const uint8_t> pcm, bool prepass) override;
  bool Finish(bool) override { return true; }
  QString ErrorText() const override { return {}; }

  // The sums of every frame seen so far; those of the whole track once it came whole.
  const TrackChecksums& Sums() const { return *sums_; }

 private:
  bool firstOnDisc_;
  bool lastOnDisc_;
  std::optional<TrackChecksums> sums_;
};
