#pragma once
#include <cstdint>
#include "platform/cd_sector.h"

// Raw 2352-byte CD sectors as the disc carries them (ECMA-130): 12 sync bytes, a 4-byte
// header with the sector's absolute time in BCD and its mode, then the mode's payload.
namespace RawSector {

constexpr int kUserSize = 2048;
constexpr int kMode1UserOffset = 16;
constexpr int kMode2Form1UserOffset = 24;  // after the 8-byte subheader

// Completes a Mode 1 sector whose 2048 user bytes are already at out + 16: sync, header,
// EDC over bytes 0..2063, eight zero bytes, then the P and Q parity of the ECC.
void FinishMode1(int lba, uint8_t* out);

// A Mode 2 sector with sync, header and 2336 zero bytes (the filler of a gap in a Mode 2 track).
void MakeMode2Blank(int lba, uint8_t* out);

// The EDC of ECMA-130: CRC-32 with P(x) = (x^16 + x^15 + x^2 + 1)(x^16 + x^2 + x + 1),
// least significant bit first, no inversion.
uint32_t Edc(const uint8_t* bytes, int length);

}  // namespace RawSector
