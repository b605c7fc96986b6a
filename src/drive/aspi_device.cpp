#include "drive/aspi_device.h"

#include "drive/drive_context.h"
#include "drive/transport.h"

namespace {
bool IsAt(const ScsiNode& node, int adapter, int target) {
  return node.host == adapter && node.target == target && node.lun == 0;
}
}  // namespace

AspiDevice& AspiDevice::Instance() {
  static AspiDevice device;
  return device;
}

bool AspiDevice::Initialize() {
  if (ready_.load()) return true;
  ++probes_;
  QList<ScsiNode> nodes = CurrentScsiHost().GenericDevices();
  if (nodes.isEmpty()) return false;
  std::lock_guard lock(mutex_);
  nodes_ = std::move(nodes);
  ready_ = true;
  return true;
}

void AspiDevice::RefreshNodes() {
  QList<ScsiNode> nodes = CurrentScsiHost().GenericDevices();
  std::lock_guard lock(mutex_);
  nodes_ = std::move(nodes);
}

bool AspiDevice::NodeAtCurrentAddress(ScsiNode& node) const {
  std::lock_guard lock(mutex_);
  for (const ScsiNode& candidate : nodes_) {
    if (IsAt(candidate, adapterId.load(), targetId.load())) {
      node = candidate;
      return true;
    }
  }
  return false;
}

int AspiDevice::HandleFor(const QString& path) {
  std::lock_guard lock(mutex_);
  if (handle_ >= 0 && handlePath_ == path) return handle_;
  if (handle_ >= 0) CurrentScsiHost().Close(handle_);
  handle_ = CurrentScsiHost().Open(path, true);
  handlePath_ = handle_ >= 0 ? path : QString();
  return handle_;
}

bool AspiDevice::Execute(const uint8_t* cdb, void* buffer, bool, uint32_t length,
                         bool writeDirection, SenseSummary* sense) {
  // A command without data (eject, start, stop) has no buffer and still goes out.
  if (!ready_.load() || (!buffer && length > 0)) return false;
  ScsiNode node;
  if (!NodeAtCurrentAddress(node)) return false;
  const int handle = HandleFor(node.path);
  if (handle < 0) return false;
  const ScsiOutcome outcome = SendScsiRequest(
      CurrentScsiHost(), handle, {cdb, buffer, length, writeDirection, kAspiSenseBytes});
  if (sense) *sense = ParseSense(outcome.sense);
  return outcome.completed;
}

bool AspiDevice::InquiryName(QString& productName) {
  uint8_t reply[kInquiryBytes] = {};
  if (!Inquiry(reply)) return false;
  productName = InquiryProductName(reply);
  return true;
}

bool AspiDevice::VisitAddresses(const std::function<bool()>& visit) {
  for (int adapter = 0; adapter <= kLastAdapter; ++adapter) {
    for (int target = 0; target <= kLastTarget; ++target) {
      adapterId = adapter;
      targetId = target;
      if (visit()) return true;
    }
  }
  return false;
}

bool AspiDevice::EnumerateDrives(QStringList& displayNames) {
  if (!ready_.load()) return false;
  RefreshNodes();
  VisitAddresses([&] {
    ScsiNode node;
    QString name;
    if (NodeAtCurrentAddress(node) && node.peripheralType == kCdDvdPeripheralType &&
        InquiryName(name)) {
      displayNames.append(MakeDisplayName(node.name, name));
    }
    return false;
  });
  adapterId = kLastAdapter + 1;
  targetId = kLastTarget + 1;
  return true;
}

bool AspiDevice::SelectDrive(const QString& productName) {
  RefreshNodes();
  const bool found = VisitAddresses([&] {
    QString name;
    return InquiryName(name) && name == productName;
  });
  return found && CdDevice::SelectDrive(productName);
}

bool AspiDevice::SelectDevice(const QString& deviceName, const QString& productName) {
  RefreshNodes();
  QList<ScsiNode> nodes;
  {
    std::lock_guard lock(mutex_);
    nodes = nodes_;
  }
  for (const ScsiNode& node : nodes) {
    if (node.name != deviceName || node.lun != 0 || node.host < 0 || node.host > kLastAdapter ||
        node.target < 0 || node.target > kLastTarget) {
      continue;
    }
    adapterId = node.host;
    targetId = node.target;
    QString name;
    if (!InquiryName(name) || name != productName) return false;
    return CdDevice::SelectDrive(productName);
  }
  return false;
}

QString AspiDevice::CurrentDeviceName() const {
  ScsiNode node;
  return NodeAtCurrentAddress(node) ? node.name : QString();
}
