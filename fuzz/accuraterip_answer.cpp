// The AccurateRip answer parser over arbitrary bytes, asked for the disc its first header
// names, so that the parsing goes past the first header.
#include <cstddef>
#include <cstdint>

#include "metadata/accuraterip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 13) return 0;
  const auto word = [&](size_t at) {
    return uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 | uint32_t(data[at + 2]) << 16 |
           uint32_t(data[at + 3]) << 24;
  };
  const AccurateRipId disc{data[0], word(1), word(5), word(9)};
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const AccurateRipAnswer answer = ParseAccurateRipAnswer(bytes, disc);
  if (!answer.Usable() && !answer.responses.empty()) __builtin_trap();
  size_t consumed = 0;
  for (const AccurateRipResponse& response : answer.responses) {
    if (response.tracks.size() != size_t(disc.audioTracks)) __builtin_trap();
    consumed += 13 + 9 * response.tracks.size();
  }
  if (answer.Usable() && consumed != size) __builtin_trap();
  for (int track = -1; track <= disc.audioTracks; ++track) {
    const TrackVerdict verdict = VerifyTrack(answer, track, word(1), word(5));
    if (verdict.status != AccurateRipStatus::Accurate && verdict.confidence != 0) __builtin_trap();
  }
  return 0;
}
