#include "drive/cd_device.h"

#include <algorithm>
#include <vector>

#include "drive/drive_context.h"
#include "platform/big_endian.h"
#include "platform/cd_sector.h"
#include "platform/codepage.h"
#include "platform/mmc_opcodes.h"

namespace {

using namespace MmcOp;

constexpr uint8_t kReadCdAudio = 0xF0;       // sync, all headers, user data: the whole sector
constexpr uint8_t kReadCdRaw = 0xF8;         // the same plus EDC and ECC
constexpr uint8_t kReadCdC2Pointers = 0x02;  // the error field: C2 error pointers
constexpr uint8_t kCapabilitiesPage = 0x2A;
constexpr uint8_t kDoorOpenBit = 0x10;
constexpr int kSmallReply = 255;
constexpr int kShortReply = 12;
constexpr int kModeSenseReply = 256;
constexpr int kCurrentSpeedOffset = 22;  // 8-byte header, then page 2Ah offset 14
constexpr int kC2PointersOffset = 13;    // page 2Ah offset 5
constexpr uint8_t kC2PointersBit = 0x10;
constexpr uint8_t kIllegalRequest = 0x05;  // sense key
constexpr int kDiscStructureReply = 2048;
constexpr uint32_t kMaxSpeedValue = 0xFFFF;
constexpr int kMaxSpeedFactor = 255;

QByteArray FieldUpToNul(const uint8_t* at, int length) {
  const uint8_t* end = std::find(at, at + length, 0);
  return QByteArray(reinterpret_cast<const char*>(at), end - at);
}

}  // namespace

SenseSummary ParseSense(const uint8_t* sense) {
  SenseSummary summary;
  summary.senseKey = sense[2];
  summary.information = GetBigEndian(sense + 3, 4);
  summary.asc = sense[12];
  summary.ascq = sense[13];
  return summary;
}

QString InquiryProductName(const uint8_t* inquiry) {
  return Ansi::Decode(FieldUpToNul(inquiry + 8, 8) + FieldUpToNul(inquiry + 16, 16)).trimmed();
}

// ---- command helpers ----

bool CdDevice::SendSelfOpening(const Cdb& cdb, void* buffer, uint32_t length) {
  if (!Open()) return false;
  return Execute(cdb.data(), buffer, true, length, false, nullptr);
}

bool CdDevice::SendGuarded(const Cdb& cdb, void* buffer, uint32_t length, SenseSummary* sense) {
  if (!TestUnitReady() || !Open()) return false;
  return Execute(cdb.data(), buffer, true, length, false, sense);
}

// ---- commands ----

bool CdDevice::TestUnitReady() {
  Cdb cdb{kTestUnitReady};
  std::array<uint8_t, kSmallReply> reply{};
  SenseSummary sense;
  if (!Open()) return false;
  // The sense data alone tells: a drive that is not ready answers with a sense key.
  Execute(cdb.data(), reply.data(), true, reply.size(), false, &sense);
  return sense.senseKey == 0 && sense.asc == 0;
}

bool CdDevice::ReadToc() {
  Cdb cdb{kReadToc, 0x02};
  PutBigEndian(&cdb[7], 2, Toc::kBufferSize);
  if (!TestUnitReady() || !Open()) return false;
  tocBuffer.fill(0);
  if (Execute(cdb.data(), tocBuffer.data(), true, tocBuffer.size(), false, nullptr)) return true;
  // Whatever a failed read left behind is not a TOC; the next question reads it again.
  tocBuffer.fill(0);
  return false;
}

bool CdDevice::ReadCdText(uint8_t* buffer, int& dataLength) {
  if (!buffer) return false;
  Cdb cdb{kReadToc, 0x00, 0x05};
  PutBigEndian(&cdb[7], 2, kCdTextBufferSize);
  if (!SendSelfOpening(cdb, buffer, kCdTextBufferSize)) return false;
  const int length = static_cast<int>(GetBigEndian(buffer, 2));
  if (length < 4) return false;
  dataLength = length;
  return true;
}

bool CdDevice::IsTrayClosed(bool& closed) {
  Cdb cdb{kMechanismStatus};
  cdb[9] = 0xFF;
  std::array<uint8_t, kShortReply> reply{};
  if (SendSelfOpening(cdb, reply.data(), reply.size())) {
    closed = (reply[1] & kDoorOpenBit) == 0;
    return true;
  }
  return SystemTrayClosed(closed);
}

bool CdDevice::StartStop(uint8_t immediate, uint8_t operation, bool withBuffer) {
  Cdb cdb{kStartStopUnit, immediate};
  cdb[4] = operation;
  std::array<uint8_t, kSmallReply> reply{};
  return SendSelfOpening(cdb, withBuffer ? reply.data() : nullptr, withBuffer ? kSmallReply : 0);
}

bool CdDevice::LoadTray() { return StartStop(0x01, 0x03, true); }
bool CdDevice::EjectTray() { return StartStop(0x01, 0x02, false); }
bool CdDevice::StartUnit() { return StartStop(0x00, 0x01, false); }
bool CdDevice::StopUnit() { return StartStop(0x00, 0x00, false); }

bool CdDevice::PreventAllow(uint8_t prevent) {
  Cdb cdb{kPreventAllow};
  cdb[4] = prevent;
  std::array<uint8_t, kSmallReply> reply{};
  return SendSelfOpening(cdb, reply.data(), reply.size());
}

bool CdDevice::LockTray() { return PreventAllow(0x01); }
bool CdDevice::UnlockTray() { return PreventAllow(0x00); }

bool CdDevice::SetMaxSpeed() {
  Cdb cdb{kSetCdSpeed};
  PutBigEndian(&cdb[2], 2, kMaxSpeedValue);
  std::array<uint8_t, kShortReply> reply{};
  return SendSelfOpening(cdb, reply.data(), reply.size());
}

bool CdDevice::SetSpeedKBps(uint32_t kbps) {
  Cdb cdb{kSetCdSpeed};
  // The field is 16 bits; anything above it is the drive's highest speed anyway.
  PutBigEndian(&cdb[2], 2, std::min(kbps, kMaxSpeedValue));
  std::array<uint8_t, kShortReply> reply{};
  return SendGuarded(cdb, reply.data(), reply.size());
}

bool CdDevice::SetSpeed(int factor) {
  if (factor < 0) return false;
  return SetSpeedKBps(static_cast<uint32_t>(factor) * speedUnitSet.load());
}

bool CdDevice::ReadSpeedKBps(uint32_t& kbps) {
  Cdb cdb{kModeSense10, 0x00, kCapabilitiesPage};
  PutBigEndian(&cdb[7], 2, kModeSenseReply);
  std::array<uint8_t, kModeSenseReply> reply{};
  if (!SendGuarded(cdb, reply.data(), reply.size())) return false;
  kbps = GetBigEndian(&reply[kCurrentSpeedOffset], 2);
  return true;
}

int CdDevice::GetMaxReadSpeed() {
  uint32_t kbps = 0;
  if (!ReadSpeedKBps(kbps)) return 0;
  return static_cast<int>(kbps / speedUnitQuery.load());
}

bool CdDevice::IsDvd() {
  Cdb cdb{kReadDiscStructure};
  PutBigEndian(&cdb[8], 2, kDiscStructureReply);
  std::vector<uint8_t> reply(kDiscStructureReply);
  SenseSummary sense;
  return SendGuarded(cdb, reply.data(), reply.size(), &sense) && sense.senseKey == 0 &&
         sense.asc == 0;
}

uint32_t CdDevice::ReadCapacity() {
  Cdb cdb{kReadCapacity};
  std::array<uint8_t, 8> reply{};
  if (!SendGuarded(cdb, reply.data(), reply.size())) return 0;
  return GetBigEndian(reply.data(), 4);
}

bool CdDevice::Inquiry(uint8_t* buffer) {
  Cdb cdb{kInquiry};
  cdb[4] = 0xFF;
  return Execute(cdb.data(), buffer, true, kInquiryBytes, false, nullptr);
}

void CdDevice::SetSpeedUnits() {
  const bool dvd = IsDvd();
  speedUnitSet = dvd ? kDvdSpeedUnit : kCdSpeedUnitSet;
  speedUnitQuery = dvd ? kDvdSpeedUnit : kCdSpeedUnitQuery;
}

bool CdDevice::SelectDrive(const QString&) {
  SetSpeedUnits();
  return true;
}

// ---- sector reads ----

bool CdDevice::ReadAudio(int lba, int count, uint8_t* buffer, int& length, bool* c2Errors) {
  if (!buffer || lba < 0 || count < 1 || count > kMaxSectorsPerRead) return false;
  int leadOut = 0;
  // A request may reach the last sector before the lead-out, never beyond it.
  if (!TocView().LeadOut(leadOut) || lba + count > leadOut) return false;
  if (length < count * kCdSectorBytes) return false;
  length = count * kCdSectorBytes;
  Cdb cdb{kReadCd};
  PutBigEndian(&cdb[3], 3, static_cast<uint32_t>(lba));
  cdb[8] = static_cast<uint8_t>(count);
  cdb[9] = kReadCdAudio;
  if (!c2Errors)
    return Execute(cdb.data(), buffer, false, static_cast<uint32_t>(length), false, nullptr);
  // Each sector comes followed by its error block.
  cdb[9] = kReadCdAudio | kReadCdC2Pointers;
  constexpr int kStride = kCdSectorBytes + kC2BlockBytes;
  std::vector<uint8_t> reply(size_t(count) * kStride);
  SenseSummary sense;
  if (!Execute(cdb.data(), reply.data(), false, uint32_t(reply.size()), false, &sense)) {
    if (sense.senseKey != kIllegalRequest) return false;
    // A drive that claims C2 pointers but refuses the field still gives the audio alone.
    std::fill(c2Errors, c2Errors + count, false);
    cdb[9] = kReadCdAudio;
    return Execute(cdb.data(), buffer, false, static_cast<uint32_t>(length), false, nullptr);
  }
  for (int i = 0; i < count; ++i) {
    const uint8_t* sector = reply.data() + size_t(i) * kStride;
    std::copy(sector, sector + kCdSectorBytes, buffer + size_t(i) * kCdSectorBytes);
    c2Errors[i] = std::any_of(sector + kCdSectorBytes, sector + kStride,
                              [](uint8_t bits) { return bits != 0; });
  }
  return true;
}

bool CdDevice::ReportsC2Errors() {
  Cdb cdb{kModeSense10, 0x00, kCapabilitiesPage};
  PutBigEndian(&cdb[7], 2, kModeSenseReply);
  std::array<uint8_t, kModeSenseReply> reply{};
  return Execute(cdb.data(), reply.data(), false, reply.size(), false, nullptr) &&
         (reply[kC2PointersOffset] & kC2PointersBit) != 0;
}

bool CdDevice::ReadSectors(uint8_t opcode, int lba, int count, int sectorSize, uint8_t* buffer,
                           SenseSummary* sense) {
  if (!buffer || lba < 0 || count < 1 || count > kMaxSectorsPerRead || sectorSize < 1) return false;
  Cdb cdb{opcode};
  PutBigEndian(&cdb[2], 4, static_cast<uint32_t>(lba));
  cdb[8] = static_cast<uint8_t>(count);
  if (opcode == kReadCd) cdb[9] = kReadCdRaw;
  const uint32_t length = static_cast<uint32_t>(count) * static_cast<uint32_t>(sectorSize);
  return Execute(cdb.data(), buffer, false, length, false, sense);
}

bool CdDevice::ReadData(int lba, int count, int sectorSize, uint8_t* buffer, SenseSummary* sense) {
  return ReadSectors(kRead10, lba, count, sectorSize, buffer, sense);
}

bool CdDevice::ReadRaw(int lba, int count, int sectorSize, uint8_t* buffer, SenseSummary* sense) {
  return ReadSectors(kReadCd, lba, count, sectorSize, buffer, sense);
}

bool CdDevice::ApplyReadSpeed(const QString& setting) {
  int factor = 0;
  if (setting == "MAX") {
    factor = kMaxSpeedFactor;
  } else if (setting != "DEFAULT") {
    factor = setting.toInt();  // text that is not a number reads as 0, like "DEFAULT"
  }
  if (factor <= 0) return true;
  if (factor >= kMaxSpeedFactor) return SetMaxSpeed();
  return SetSpeed(factor);
}

// ---- table of contents ----

bool CdDevice::EnsureToc() {
  if (!DriveContext::Instance().present.load()) return false;
  return !TocView().IsAbsent() || ReadToc();
}

bool CdDevice::GetTrackCount(int& count) { return EnsureToc() && TocView().TrackCount(count); }

bool CdDevice::IsDataTrack(int index, bool& data) {
  return EnsureToc() && TocView().IsDataTrack(index, data);
}

bool CdDevice::GetTrackStart(int index, int& lba) {
  return EnsureToc() && TocView().TrackStart(index, lba);
}

bool CdDevice::GetTrackIndex01(int index, int& lba) {
  return EnsureToc() && TocView().Index01(index, lba);
}

bool CdDevice::GetTrackEnd(int index, int& lba) {
  return EnsureToc() && TocView().TrackEnd(index, lba);
}

bool CdDevice::GetTrackSize(int index, int64_t& bytes) {
  return EnsureToc() && TocView().TrackSize(index, bytes);
}

bool CdDevice::GetTrackSeconds(int index, int& seconds) {
  return EnsureToc() && TocView().TrackSeconds(index, seconds);
}

bool CdDevice::GetDiscSize(int index, int64_t& bytes) {
  const DriveContext& context = DriveContext::Instance();
  if (!context.present.load()) return false;
  if (context.isDvd.load()) {
    // ReadCapacity answers 0 when it fails; no disc has its last block at 0.
    const uint32_t lastBlock = ReadCapacity();
    if (lastBlock == 0) return false;
    bytes = static_cast<int64_t>(lastBlock) * 2048;
    return true;
  }
  return GetTrackSize(index, bytes);
}
