#pragma once
#include <cstddef>
#include <cstdint>

// Sample index of raw CD audio (16-bit little-endian, left and right interleaved), read
// byte by byte: the data need not be aligned.
inline int16_t PcmSample(const char* data, size_t index) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(data) + 2 * index;
  return int16_t(uint16_t(bytes[0] | bytes[1] << 8));
}

// The same sample as a float in -1 .. 1 (times 2^-15).
inline float PcmFloat(const char* data, size_t index) {
  return float(PcmSample(data, index)) * (1.0f / 32768.0f);
}
