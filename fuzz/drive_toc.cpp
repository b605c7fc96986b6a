// Every TOC accessor over an arbitrary 804-byte READ TOC response.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "drive/toc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Toc::Buffer buffer{};
  std::memcpy(buffer.data(), data, size < buffer.size() ? size : buffer.size());
  const Toc::View toc(buffer);
  int count = 0;
  int value = 0;
  int64_t bytes = 0;
  bool flag = false;
  const bool counted = toc.TrackCount(count);
  toc.LeadOut(value);
  for (int index = -1; index <= 100; ++index) {
    // Every valid index lies inside the counted tracks.
    if (toc.IsValidIndex(index) && (!counted || index >= count)) __builtin_trap();
    toc.IsDataTrack(index, flag);
    toc.TrackStart(index, value);
    toc.TrackEnd(index, value);
    toc.TrackSize(index, bytes);
    toc.TrackSeconds(index, value);
  }
  return 0;
}
