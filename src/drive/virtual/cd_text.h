#pragma once
#include <QByteArray>

#include <cstdint>

#include "platform/cd_text_packs.h"

class DiscImage;

// CD-TEXT as the lead-in carries it: 18-byte packs (type, track, sequence number,
// block and character position, 12 text bytes, CRC), titles (80h) then performers (81h),
// each kind one run of zero-terminated Windows-1252 strings: the disc's, then each track's.
namespace CdTextPacks {

// All packs of the disc, back to back; empty when the disc has no title or performer text.
QByteArray BuildPacks(const DiscImage& disc);

// CRC-16 with x^16 + x^12 + x^5 + 1 over a pack's first 16 bytes, inverted: the value
// stored most significant byte first in bytes 16 and 17.
uint16_t PackCrc(const uint8_t* pack);

}  // namespace CdTextPacks
