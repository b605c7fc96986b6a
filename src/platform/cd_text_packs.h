#pragma once
#include <cstdint>

// The 18-byte CD-TEXT packs of the lead-in, as READ TOC format 5 returns them: type, track,
// sequence number, block and character position, 12 text bytes, CRC. Shared by the drive
// layer that reads them and the virtual drive that builds them.
namespace CdTextPacks {
constexpr int kPackSize = 18;
constexpr int kTextBytes = 12;
constexpr uint8_t kTitle = 0x80;
constexpr uint8_t kPerformer = 0x81;
}  // namespace CdTextPacks
