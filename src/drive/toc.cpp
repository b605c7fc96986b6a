#include "drive/toc.h"

#include <algorithm>

#include "platform/cd_sector.h"

namespace Toc {

namespace {
constexpr uint8_t kDataTrackControlBit = 0x04;
}

bool View::IsAbsent() const { return b_[0] == 0 && b_[1] == 0 && b_[2] == 0 && b_[3] == 0; }

bool View::TrackCount(int& count) const {
  if (FirstTrack() == 0 && LastTrack() == 0) return false;
  const int n = LastTrack() - FirstTrack() + 1;
  if (n < 1 || n > 99) return false;
  count = n;
  return true;
}

bool View::IsValidIndex(int index) const {
  if (FirstTrack() == 0 && LastTrack() == 0) return false;
  // Unsigned, as a last track below the first wraps to a huge span and fails.
  const unsigned span = static_cast<unsigned>(LastTrack() - FirstTrack());
  return span <= 98 && index >= 0 && static_cast<unsigned>(index) <= span;
}

const uint8_t* View::Descriptor(int position) const {
  if (position < 0 || position >= kMaxDescriptors) return nullptr;
  return b_.data() + kHeaderSize + position * kDescriptorSize;
}

bool View::DescriptorLba(int position, int& lba) const {
  const uint8_t* d = Descriptor(position);
  if (!d) return false;
  lba = MsfToLba(d[5], d[6], d[7]);
  return true;
}

bool View::IsDataTrack(int index, bool& data) const {
  if (!IsValidIndex(index)) return false;
  data = (Descriptor(index)[1] & kDataTrackControlBit) != 0;
  return true;
}

// Descriptors are found by position, so a disc whose first track is not 1 reads right.
// Track 1 always starts at sector 0; another first track where its descriptor says.
bool View::TrackStart(int index, int& lba) const {
  if (!IsValidIndex(index) || !IsTrackNumber(Descriptor(index)[2])) return false;
  if (Descriptor(index)[2] == 1) {
    lba = 0;
    return true;
  }
  return DescriptorLba(index, lba);
}

bool View::Index01(int index, int& lba) const {
  if (!IsValidIndex(index) || !IsTrackNumber(Descriptor(index)[2]) || !DescriptorLba(index, lba))
    return false;
  lba = std::max(lba, 0);  // a first descriptor inside the lead-in
  return true;
}

bool View::TrackEnd(int index, int& lba) const {
  if (!IsValidIndex(index) || !IsTrackNumber(Descriptor(index)[2])) return false;
  int next = 0;
  if (!DescriptorLba(index + 1, next)) return false;
  lba = next - 1;
  return true;
}

// The sectors a rip of the track reads: from its start to its end, both included.
bool View::TrackSectors(int index, int& sectors) const {
  int start = 0;
  int end = 0;
  if (!TrackStart(index, start) || !TrackEnd(index, end) || end < start) return false;
  sectors = end - start + 1;
  return true;
}

bool View::TrackSize(int index, int64_t& bytes) const {
  int sectors = 0;
  if (!TrackSectors(index, sectors)) return false;
  bytes = static_cast<int64_t>(sectors) * kCdSectorBytes;
  return true;
}

bool View::TrackSeconds(int index, int& seconds) const {
  int sectors = 0;
  if (!TrackSectors(index, sectors)) return false;
  seconds = sectors / 75;
  return true;
}

bool View::LeadOut(int& lba) const {
  int count = 0;
  // A disc's track numbers are 1 to 99; the lead-out follows the last track's descriptor.
  return TrackCount(count) && IsTrackNumber(FirstTrack()) && IsTrackNumber(LastTrack()) &&
         DescriptorLba(count, lba);
}

}  // namespace Toc
