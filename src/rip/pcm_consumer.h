#pragma once
#include <QString>
#include <cstdint>
#include <span>

#include "encoders/audio_encoder.h"

// One consumer of a track's PCM (raw CD audio, 2352 bytes a sector): the track's output file,
// or anything else that wants the track's audio as it is read. The rip gives each consumer
// the chunks of its track in order, every sector once a pass, on one thread; a consumer
// knows nothing of drives, threads or the other tracks.
class PcmConsumer {
 public:
  virtual ~PcmConsumer() = default;

  // Readies the consumer for the track; false fails the track before anything is read.
  virtual bool Begin(const TrackFacts& track) = 0;
  // Whether the track is to come twice: a preparation pass, then the main pass.
  virtual bool NeedsPreparationPass() const { return false; }
  // One chunk, in order; false fails the track and stops its reading.
  virtual bool Consume(std::span<const uint8_t> pcm, bool prepass) = 0;
  // The end of the track, also after a failed Begin or Consume. complete: every sector came
  // and the rip was not cancelled. False when the consumer's own end failed.
  virtual bool Finish(bool complete) = 0;
  // Why Begin, Consume or Finish failed, for the user; empty when nothing failed.
  virtual QString ErrorText() const = 0;
};
