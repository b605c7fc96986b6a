#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Frames AccurateRip leaves out at the disc's edges: on the first track the frames at
// positions below this one (1-based), on the last audio track those above count minus it.
constexpr uint32_t kAccurateRipEdgeFrames = 2940;

// The frames of a track that AccurateRip sums: 1-based positions first..last, inclusive.
struct ChecksumSpan {
  uint32_t first = 1;
  uint32_t last = 0;
};
ChecksumSpan AccurateRipSpan(uint32_t trackFrames, bool firstOnDisc, bool lastOnDisc);

// The CRC32 of bytes that follow those crc was taken over (0 before the first).
uint32_t Crc32Continued(uint32_t crc, const uint8_t* bytes, size_t count);

// The checksums of one track, taken while its PCM streams past: the CRC32 of every byte as
// written (the copy CRC) and AccurateRip's v1 and v2 over its stereo frames (32-bit
// little-endian words, left sample low), each frame weighted by its 1-based position; v1
// sums the low 32 bits of the products, v2 the low and the high ones. Chunks arrive in
// order and may end anywhere, even inside a frame.
class TrackChecksums {
 public:
  TrackChecksums(uint32_t trackFrames, bool firstOnDisc, bool lastOnDisc);

  void Add(const uint8_t* pcm, size_t bytes);

  uint32_t Crc32() const { return crc_; }
  uint32_t AccurateRipV1() const { return v1_; }
  uint32_t AccurateRipV2() const { return v2_; }
  uint32_t FramesSeen() const { return position_; }

 private:
  void AddFrame(uint32_t frame);

  ChecksumSpan span_;
  uint32_t position_ = 0;  // frames so far
  uint32_t crc_ = 0;
  uint32_t v1_ = 0;
  uint32_t v2_ = 0;
  uint8_t partial_[4] = {};
  size_t partialBytes_ = 0;
};

// The frames of a track as AccurateRip reads them: 32-bit words from little-endian PCM.
std::vector<uint32_t> FramesOf(const uint8_t* pcm, size_t bytes);

// The v1 checksum of a track of trackFrames frames at every shift from -margin to +margin:
// the result's entry margin + k is the checksum of the frames window[margin + k ...], where
// window holds the track's frames with margin more on either side (silence where there is
// no audio). A shift by one frame updates the sum from the frames that enter and leave, so
// the whole range costs one pass over the window.
std::vector<uint32_t> SlidingAccurateRipV1(std::span<const uint32_t> window, uint32_t trackFrames,
                                           int margin, bool firstOnDisc, bool lastOnDisc);
