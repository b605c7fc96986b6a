#pragma once
#include <array>
#include <cstdint>

// The table of contents as READ TOC (format 0, MSF addresses) returns it: a 4-byte header
// (data length, first and last track number) and up to 100 descriptors of 8 bytes, one per
// track and then the lead-out. Every question about it is answered here, from the raw bytes.
namespace Toc {

constexpr int kBufferSize = 804;
constexpr int kHeaderSize = 4;
constexpr int kDescriptorSize = 8;
constexpr int kMaxDescriptors = (kBufferSize - kHeaderSize) / kDescriptorSize;  // 100

using Buffer = std::array<uint8_t, kBufferSize>;

// Logical sector of an MSF address as drives report it (two seconds of lead-in included).
constexpr int MsfToLba(int m, int s, int f) { return m * 4500 + s * 75 + f - 150; }

// A read-only view over one TOC buffer. Track indices are 0-based positions in the
// descriptor list, whatever number the disc's first track has (a disc may start at track
// 3). Every accessor returns false when it cannot answer, and never reads outside the
// buffer, whatever the bytes say.
class View {
 public:
  explicit View(const Buffer& bytes) : b_(bytes) {}

  // The TOC counts as absent while its first four bytes are all zero.
  bool IsAbsent() const;
  int FirstTrack() const { return b_[2]; }
  int LastTrack() const { return b_[3]; }

  bool TrackCount(int& count) const;
  bool IsValidIndex(int index) const;
  bool IsDataTrack(int index, bool& data) const;
  bool TrackStart(int index, int& lba) const;
  // Where the track's INDEX 01 lies, as its descriptor says: where its audio proper begins
  // and where the database's checksums count it from. It differs from TrackStart only for
  // track 1 when audio lies before its INDEX 01 (a pregap, perhaps a hidden track), which
  // TrackStart counts from sector 0.
  bool Index01(int index, int& lba) const;
  // Last sector of the track, inclusive.
  bool TrackEnd(int index, int& lba) const;
  // The bytes and whole seconds of the sectors a rip of the track reads, start to end
  // inclusive.
  bool TrackSize(int index, int64_t& bytes) const;
  bool TrackSeconds(int index, int& seconds) const;
  // First sector of the lead-out: the descriptor after the last track's.
  bool LeadOut(int& lba) const;

  // The descriptor at a position (0..99); null beyond the buffer.
  const uint8_t* Descriptor(int position) const;

 private:
  bool DescriptorLba(int position, int& lba) const;
  bool TrackSectors(int index, int& sectors) const;
  static bool IsTrackNumber(int number) { return number >= 1 && number <= 99; }

  const Buffer& b_;
};

}  // namespace Toc
