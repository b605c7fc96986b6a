#include "rip/track_checksums.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

ChecksumSpan AccurateRipSpan(uint32_t trackFrames, bool firstOnDisc, bool lastOnDisc) {
  ChecksumSpan span{1, trackFrames};
  if (firstOnDisc) span.first = kAccurateRipEdgeFrames;
  if (lastOnDisc)
    span.last = trackFrames > kAccurateRipEdgeFrames ? trackFrames - kAccurateRipEdgeFrames : 0;
  return span;
}

uint32_t Crc32Continued(uint32_t crc, const uint8_t* bytes, size_t count) {
  for (size_t done = 0; done < count;) {
    const size_t piece = std::min<size_t>(count - done, 1u << 30);
    crc = uint32_t(crc32(crc, bytes + done, uInt(piece)));
    done += piece;
  }
  return crc;
}

TrackChecksums::TrackChecksums(uint32_t trackFrames, bool firstOnDisc, bool lastOnDisc)
    : span_(AccurateRipSpan(trackFrames, firstOnDisc, lastOnDisc)) {}

void TrackChecksums::AddFrame(uint32_t frame) {
  ++position_;
  if (position_ < span_.first || position_ > span_.last) return;
  const uint64_t product = uint64_t(frame) * position_;
  v1_ += uint32_t(product);
  v2_ += uint32_t(product) + uint32_t(product >> 32);
}

void TrackChecksums::Add(const uint8_t* pcm, size_t bytes) {
  crc_ = Crc32Continued(crc_, pcm, bytes);
  while (partialBytes_ > 0 && bytes > 0) {
    partial_[partialBytes_++] = *pcm++;
    --bytes;
    if (partialBytes_ == 4) {
      AddFrame(uint32_t(partial_[0]) | uint32_t(partial_[1]) << 8 | uint32_t(partial_[2]) << 16 |
               uint32_t(partial_[3]) << 24);
      partialBytes_ = 0;
    }
  }
  for (; bytes >= 4; bytes -= 4, pcm += 4)
    AddFrame(uint32_t(pcm[0]) | uint32_t(pcm[1]) << 8 | uint32_t(pcm[2]) << 16 |
             uint32_t(pcm[3]) << 24);
  std::memcpy(partial_ + partialBytes_, pcm, bytes);
  partialBytes_ += bytes;
}

std::vector<uint32_t> FramesOf(const uint8_t* pcm, size_t bytes) {
  std::vector<uint32_t> frames(bytes / 4);
  for (size_t i = 0; i < frames.size(); ++i, pcm += 4)
    frames[i] =
        uint32_t(pcm[0]) | uint32_t(pcm[1]) << 8 | uint32_t(pcm[2]) << 16 | uint32_t(pcm[3]) << 24;
  return frames;
}

std::vector<uint32_t> SlidingAccurateRipV1(std::span<const uint32_t> window, uint32_t trackFrames,
                                           int margin, bool firstOnDisc, bool lastOnDisc) {
  if (margin < 0 || window.size() < size_t(trackFrames) + 2 * size_t(margin)) return {};
  const ChecksumSpan span = AccurateRipSpan(trackFrames, firstOnDisc, lastOnDisc);
  std::vector<uint32_t> sums(2 * size_t(margin) + 1, 0);
  if (span.first > span.last) return sums;
  // For entry k, the frame at 1-based position p is window[k + p - 1]. weighted is the sum
  // of p x frame and plain the sum of the frames over first..last. A shift by one moves every
  // frame down one position (weighted loses plain), drops position first and takes last + 1.
  const uint32_t a = span.first;
  const uint32_t b = span.last;
  uint32_t weighted = 0;
  uint32_t plain = 0;
  for (uint32_t p = a; p <= b; ++p) {
    weighted += p * window[p - 1];
    plain += window[p - 1];
  }
  for (size_t k = 0;; ++k) {
    sums[k] = weighted;
    if (k + 1 == sums.size()) break;
    const uint32_t leaving = window[k + a - 1];
    const uint32_t entering = window[k + b];
    weighted = weighted - plain - (a - 1) * leaving + b * entering;
    plain += entering - leaving;
  }
  return sums;
}
