#include "drive/virtual/raw_sector.h"

#include <array>
#include <cstring>

namespace RawSector {
namespace {

constexpr uint8_t kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                               0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr int kEdcOffset = 2064;
constexpr int kParityPOffset = 2076;
constexpr int kParityQOffset = 2248;

struct Tables {
  std::array<uint32_t, 256> edc{};
  std::array<uint8_t, 256> exp{};  // alpha^i in GF(2^8) with x^8 + x^4 + x^3 + x^2 + 1
  std::array<uint8_t, 256> log{};

  Tables() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t crc = i;
      for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (crc & 1 ? 0xD8018001u : 0u);
      edc[i] = crc;
    }
    unsigned value = 1;
    for (int i = 0; i < 255; ++i) {
      exp[i] = uint8_t(value);
      log[value] = uint8_t(i);
      value = MultiplyByAlpha(uint8_t(value));
    }
    exp[255] = exp[0];
  }

  static uint8_t MultiplyByAlpha(uint8_t a) { return uint8_t(a & 0x80 ? (a << 1) ^ 0x1D : a << 1); }
  uint8_t Divide(uint8_t a, uint8_t b) const {
    return a == 0 ? 0 : exp[(log[a] + 255 - log[b]) % 255];
  }
};

const Tables& GetTables() {
  static const Tables tables;
  return tables;
}

uint8_t Bcd(int value) { return uint8_t((value / 10) << 4 | (value % 10)); }

void WriteSyncAndHeader(int lba, uint8_t mode, uint8_t* out) {
  std::memcpy(out, kSync, sizeof kSync);
  const int frames = lba + 150;
  out[12] = Bcd(frames / 4500);
  out[13] = Bcd(frames / 75 % 60);
  out[14] = Bcd(frames % 75);
  out[15] = mode;
}

// One Reed-Solomon code word of the ECC: `length` data symbols at stride `step` (in 16-bit
// words, wrapping at `wrap` words) followed by two parity symbols. The parity p, q makes both
// checks vanish: the plain sum of all symbols, and the sum weighted by alpha^(n-1-i).
// With p at weight alpha and q at weight 1 that gives p = (S0 + S1) / (alpha + 1), q = S0 + p.
void EncodeWords(uint8_t* plane, int length, int first, int step, int wrap, int pOut, int qOut) {
  uint8_t s0 = 0;
  uint8_t s1 = 0;  // by Horner's rule; the two parity places add two more factors of alpha
  int word = first;
  for (int i = 0; i < length; ++i) {
    const uint8_t symbol = plane[2 * word];
    s0 ^= symbol;
    s1 = Tables::MultiplyByAlpha(s1) ^ symbol;
    word += step;
    if (word >= wrap) word -= wrap;
  }
  s1 = Tables::MultiplyByAlpha(Tables::MultiplyByAlpha(s1));
  const uint8_t p = GetTables().Divide(uint8_t(s0 ^ s1), uint8_t(Tables::MultiplyByAlpha(1) ^ 1));
  plane[2 * pOut] = p;
  plane[2 * qOut] = uint8_t(s0 ^ p);
}

// The ECC covers bytes 12..2351 as 16-bit words; the even and odd bytes form two planes
// coded separately. P: 43 columns of 24 words; Q: 26 diagonals of 43 words over the
// 1118 words that include the P parity.
void WriteEcc(uint8_t* out) {
  for (int planeIndex = 0; planeIndex < 2; ++planeIndex) {
    uint8_t* plane = out + 12 + planeIndex;
    for (int column = 0; column < 43; ++column) {
      EncodeWords(plane, 24, column, 43, 1032, 1032 + column, 1075 + column);
    }
    for (int diagonal = 0; diagonal < 26; ++diagonal) {
      EncodeWords(plane, 43, 43 * diagonal, 44, 1118, 1118 + diagonal, 1144 + diagonal);
    }
  }
}

}  // namespace

uint32_t Edc(const uint8_t* bytes, int length) {
  const auto& table = GetTables().edc;
  uint32_t crc = 0;
  for (int i = 0; i < length; ++i) crc = (crc >> 8) ^ table[(crc ^ bytes[i]) & 0xFF];
  return crc;
}

void FinishMode1(int lba, uint8_t* out) {
  WriteSyncAndHeader(lba, 0x01, out);
  const uint32_t edc = Edc(out, kEdcOffset);
  for (int i = 0; i < 4; ++i) out[kEdcOffset + i] = uint8_t(edc >> (8 * i));
  std::memset(out + kEdcOffset + 4, 0, 8);
  WriteEcc(out);
  static_assert(kParityPOffset == 12 + 2 * 1032 && kParityQOffset == 12 + 2 * 1118);
}

void MakeMode2Blank(int lba, uint8_t* out) {
  WriteSyncAndHeader(lba, 0x02, out);
  std::memset(out + 16, 0, kCdSectorBytes - 16);
}

}  // namespace RawSector
