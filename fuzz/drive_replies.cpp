// A drive that answers anything: every reply, status and sense record comes from the input,
// and the drive layer's commands must read only what a reply holds and give sane results.
// The input is a run of replies, one per command sent: a flags byte (bit 0 GOOD status,
// bit 1 sense data follows), a 16-bit big-endian length, that many reply bytes, then the
// sense data when flagged.
#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "drive/cd_device.h"
#include "drive/cd_text.h"
#include "drive/disc_type.h"
#include "drive/drive_context.h"

namespace {

class ScriptedDrive : public CdDevice {
 public:
  ScriptedDrive(const uint8_t* data, size_t size) : at_(data), end_(data + size) {}

  bool EnumerateDrives(QStringList& names) override {
    names.append("[fz0] FUZZ");
    return true;
  }
  bool SelectDevice(const QString&, const QString&) override { return true; }
  QString CurrentDeviceName() const override { return "fz0"; }

  bool Execute(const uint8_t*, void* buffer, bool, uint32_t length, bool,
               SenseSummary* sense) override {
    if (sense) *sense = SenseSummary{};
    if (end_ - at_ < 3) return false;
    const uint8_t flags = at_[0];
    const size_t replyBytes = size_t(at_[1]) << 8 | at_[2];
    at_ += 3;
    const size_t taken = std::min({replyBytes, size_t(end_ - at_), size_t(length)});
    if (buffer) std::memcpy(buffer, at_, taken);
    at_ += std::min(replyBytes, size_t(end_ - at_));
    if (flags & 2) {
      // Copied, so a read past the drive's sense bytes is caught.
      std::vector<uint8_t> senseBytes(kSenseBytes, 0);
      const size_t senseTaken = std::min(size_t(kSenseBytes), size_t(end_ - at_));
      std::memcpy(senseBytes.data(), at_, senseTaken);
      at_ += senseTaken;
      if (sense) *sense = ParseSense(senseBytes.data());
    }
    return (flags & 1) != 0;
  }

 private:
  const uint8_t* at_;
  const uint8_t* end_;
};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ScriptedDrive drive(data, size);
  DriveContext& context = DriveContext::Instance();
  context.device = &drive;
  context.present = 1;
  context.isDvd = 0;

  std::vector<uint8_t> inquiry(CdDevice::kInquiryBytes, 0);
  if (drive.Inquiry(inquiry.data())) {
    const QString name = InquiryProductName(inquiry.data());
    Check(name.size() <= 24 && name == name.trimmed());
  }
  drive.TestUnitReady();
  bool closed = false;
  drive.IsTrayClosed(closed);
  Check(drive.GetMaxReadSpeed() >= 0);
  drive.IsDvd();
  drive.ReadCapacity();
  std::vector<uint8_t> cdText(CdDevice::kCdTextBufferSize, 0);
  int length = 0;
  if (drive.ReadCdText(cdText.data(), length)) {
    Check(length >= 4 && length <= 0xFFFF);
    ParseCdText(cdText.data(), int(cdText.size()), length, 99);
  }
  // The disc's name: READ TOC, then the ISO 9660 primary volume descriptor of a data track.
  QString label;
  if (GetVolumeLabel(label))
    Check(!label.isEmpty() && label.size() <= 32 && label == label.trimmed());
  DetectDiscType();

  context.device = nullptr;
  context.present = 0;
  return 0;
}
