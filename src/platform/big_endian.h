#pragma once
#include <cstdint>

// Multi-byte fields of command blocks and drive replies, most significant byte first.

// The value of the `bytes` bytes (1 to 4) at `at`.
inline uint32_t GetBigEndian(const uint8_t* at, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | at[i];
  return value;
}

// Writes the low `bytes` bytes (1 to 4) of `value` at `at`.
inline void PutBigEndian(uint8_t* at, int bytes, uint32_t value) {
  for (int i = bytes - 1; i >= 0; --i) {
    at[i] = static_cast<uint8_t>(value);
    value >>= 8;
  }
}
