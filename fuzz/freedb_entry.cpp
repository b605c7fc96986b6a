// The xmcd entry parser over arbitrary bytes; the first byte gives the disc's track count.
#include <cstddef>
#include <cstdint>

#include "metadata/disc_info.h"
#include "metadata/freedb_client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int trackCount = data[0] % 101;
  DiscInfo info;
  info.ResetToDefaults(trackCount);
  const qsizetype before = info.trackTitles.size();
  const QByteArray entry(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  const int parsed = ParseFreeDbEntry(entry, trackCount, info);
  // Titles are only replaced or added up to the track count.
  if (parsed == 1 && info.trackTitles.size() > std::max<qsizetype>(before, trackCount))
    __builtin_trap();
  if (parsed == 0 && (trackCount >= 1 && trackCount <= 99)) __builtin_trap();
  return 0;
}
