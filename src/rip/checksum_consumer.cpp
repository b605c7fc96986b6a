#include "rip/checksum_consumer.h"

#include "platform/cd_sector.h"

bool ChecksumConsumer::Begin(const TrackFacts& track) {
  sums_.emplace(track.sectorCount * uint32_t(kCdSectorFrames), firstOnDisc_, lastOnDisc_);
  return true;
}

bool ChecksumConsumer::Consume(std::span<const uint8_t> pcm, bool prepass) {
  if (!prepass) sums_->Add(pcm.data(), pcm.size());
  return true;
}
