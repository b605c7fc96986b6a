#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "rip/track_checksums.h"

namespace {

// The reference computations, written plainly from the definitions: a bitwise CRC-32
// (reflected, polynomial EDB88320, initial and final inversion) and the AccurateRip sums
// frame by frame.
uint32_t BitwiseCrc32(const std::vector<uint8_t>& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

struct Reference {
  uint32_t v1 = 0;
  uint32_t v2 = 0;
};

Reference ReferenceAccurateRip(const std::vector<uint8_t>& pcm, bool first, bool last) {
  const int64_t count = int64_t(pcm.size() / 4);
  Reference sums;
  for (int64_t position = 1; position <= count; ++position) {
    if (first && position < 2940) continue;
    if (last && position > count - 2940) continue;
    const uint8_t* f = pcm.data() + (position - 1) * 4;
    const uint64_t frame = f[0] + (f[1] << 8) + (f[2] << 16) + (uint64_t(f[3]) << 24);
    const uint64_t product = frame * uint64_t(position);
    sums.v1 += uint32_t(product & 0xFFFFFFFFu);
    sums.v2 += uint32_t(product & 0xFFFFFFFFu) + uint32_t(product >> 32);
  }
  return sums;
}

// A stereo signal of whole sectors: two tones with noise, loud enough that products exceed
// 32 bits, and negative samples (words with the top bit set) throughout.
std::vector<uint8_t> Signal(int sectors, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> noise(-2000, 2000);
  std::vector<uint8_t> pcm;
  for (int i = 0; i < sectors * 588; ++i) {
    const int16_t left = int16_t(20000 * std::sin(i * 0.031) + noise(random));
    const int16_t right = int16_t(20000 * std::sin(i * 0.017 + 1) + noise(random));
    for (int16_t sample : {left, right}) {
      pcm.push_back(uint8_t(sample & 0xFF));
      pcm.push_back(uint8_t((sample >> 8) & 0xFF));
    }
  }
  return pcm;
}

// Feeds the PCM in chunks of random sizes, odd ones included, so frames split across chunks.
TrackChecksums Stream(const std::vector<uint8_t>& pcm, bool first, bool last, unsigned seed) {
  TrackChecksums sums(uint32_t(pcm.size() / 4), first, last);
  std::mt19937 random(seed);
  std::uniform_int_distribution<size_t> size(1, 27 * 2352);
  for (size_t at = 0; at < pcm.size();) {
    const size_t n = std::min(size(random), pcm.size() - at);
    sums.Add(pcm.data() + at, n);
    at += n;
  }
  return sums;
}

TEST(TrackChecksums, KnownAnswers) {
  const std::vector<uint8_t> check{'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  TrackChecksums crc(2, false, false);
  crc.Add(check.data(), check.size());
  EXPECT_EQ(crc.Crc32(), 0xCBF43926u);  // the CRC-32 check value

  // Frames 1, FFFFFFFF, 3 at positions 1..3: v1 = 1 + 1FFFFFFFE (low half) + 9, v2 adds the
  // product's high half 1.
  const std::vector<uint8_t> pcm{1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0};
  TrackChecksums sums(3, false, false);
  sums.Add(pcm.data(), pcm.size());
  EXPECT_EQ(sums.AccurateRipV1(), uint32_t(1 + 0xFFFFFFFEull + 9));
  EXPECT_EQ(sums.AccurateRipV2(), uint32_t(1 + 0xFFFFFFFEull + 1 + 9));
  EXPECT_EQ(sums.FramesSeen(), 3u);
}

struct Place {
  const char* name;
  bool first;
  bool last;
};

class TrackPlace : public testing::TestWithParam<Place> {};

TEST_P(TrackPlace, StreamedSumsEqualThePlainComputation) {
  const Place place = GetParam();
  for (int sectors : {300, 11, 3}) {  // a long track, and tracks shorter than the excluded edges
    SCOPED_TRACE(sectors);
    const std::vector<uint8_t> pcm = Signal(sectors, unsigned(sectors));
    const TrackChecksums sums = Stream(pcm, place.first, place.last, 7);
    const Reference expected = ReferenceAccurateRip(pcm, place.first, place.last);
    EXPECT_EQ(sums.Crc32(), BitwiseCrc32(pcm));
    EXPECT_EQ(sums.AccurateRipV1(), expected.v1);
    EXPECT_EQ(sums.AccurateRipV2(), expected.v2);
    if (sectors == 300) {
      EXPECT_NE(expected.v1, expected.v2);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(OnTheDisc, TrackPlace,
                         testing::Values(Place{"only", true, true}, Place{"first", true, false},
                                         Place{"middle", false, false}, Place{"last", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TrackChecksums, EdgeExclusionsChangeTheSums) {
  const std::vector<uint8_t> pcm = Signal(20, 3);
  const TrackChecksums middle = Stream(pcm, false, false, 1);
  const TrackChecksums first = Stream(pcm, true, false, 2);
  const TrackChecksums last = Stream(pcm, false, true, 3);
  EXPECT_NE(middle.AccurateRipV1(), first.AccurateRipV1());
  EXPECT_NE(middle.AccurateRipV1(), last.AccurateRipV1());
  EXPECT_EQ(middle.Crc32(), first.Crc32());  // the copy CRC covers every byte
}

TEST_P(TrackPlace, SlidingSumsEqualTheSumsOfShiftedTracks) {
  const Place place = GetParam();
  constexpr int kMargin = 37;
  constexpr uint32_t kTrackFrames = 7000;
  const std::vector<uint8_t> pcm = Signal(13, 5);  // 7644 frames: the track and both margins
  const std::vector<uint32_t> window = FramesOf(pcm.data(), pcm.size());
  const std::vector<uint32_t> sliding =
      SlidingAccurateRipV1(window, kTrackFrames, kMargin, place.first, place.last);
  ASSERT_EQ(sliding.size(), size_t(2 * kMargin + 1));
  for (int shift = -kMargin; shift <= kMargin; ++shift) {
    const auto begin = pcm.begin() + (kMargin + shift) * 4;
    const std::vector<uint8_t> shifted(begin, begin + kTrackFrames * 4);
    EXPECT_EQ(sliding[size_t(kMargin + shift)],
              ReferenceAccurateRip(shifted, place.first, place.last).v1)
        << "shift " << shift;
  }
}

TEST(SlidingAccurateRipV1, AWindowTooShortGivesNothing) {
  const std::vector<uint32_t> window(100, 1);
  EXPECT_TRUE(SlidingAccurateRipV1(window, 90, 6, false, false).empty());
  EXPECT_EQ(SlidingAccurateRipV1(window, 90, 5, false, false).size(), 11u);
}

}  // namespace
