#pragma once
#include <cstdint>

// Operation codes of the MMC commands Korvane sends, shared by the drive layer that sends
// them and the virtual drive that answers them.
namespace MmcOp {
inline constexpr uint8_t kTestUnitReady = 0x00;
inline constexpr uint8_t kInquiry = 0x12;
inline constexpr uint8_t kStartStopUnit = 0x1B;
inline constexpr uint8_t kPreventAllow = 0x1E;
inline constexpr uint8_t kReadCapacity = 0x25;
inline constexpr uint8_t kRead10 = 0x28;
inline constexpr uint8_t kReadToc = 0x43;
inline constexpr uint8_t kModeSense10 = 0x5A;
inline constexpr uint8_t kReadDiscStructure = 0xAD;
inline constexpr uint8_t kSetCdSpeed = 0xBB;
inline constexpr uint8_t kMechanismStatus = 0xBD;
inline constexpr uint8_t kReadCd = 0xBE;
}  // namespace MmcOp

// Bytes of a command block for its opcode's group (the opcode's top three bits): 6 for group 0,
// 10 for groups 1 and 2, 16 for group 4, 12 for group 5. Groups 3 (reserved) and 6, 7 (vendor
// specific) define no length of their own; the vendor commands of CD drives are 12-byte blocks,
// so those groups are sent as 12 bytes too.
constexpr uint8_t CdbLength(uint8_t opcode) {
  switch (opcode >> 5) {
    case 0: return 6;
    case 1:
    case 2: return 10;
    case 4: return 16;
    default: return 12;
  }
}
