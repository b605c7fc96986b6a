// The CD-TEXT pack walk over any READ TOC format 5 response a drive could return.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "drive/cd_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the track count; the rest is the response, copied so that any
  // read past its end is caught.
  const int tracks = data[0] % 100;
  std::vector<uint8_t> response(data + 1, data + size);
  if (response.size() < 2) response.resize(2, 0);
  const int length = (response[0] << 8) | response[1];
  const CdText text =
      ParseCdText(response.data(), static_cast<int>(response.size()), length, tracks);
  if (text.records.size() != static_cast<qsizetype>(tracks) + 1) __builtin_trap();
  for (const CdTextRecord& record : text.records) {
    if (record.title.size() > CdTextPacks::kMaxFieldBytes ||
        record.performer.size() > CdTextPacks::kMaxFieldBytes) {
      __builtin_trap();
    }
  }
  return 0;
}
