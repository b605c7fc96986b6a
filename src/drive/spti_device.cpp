#include "drive/spti_device.h"

#include "drive/drive_context.h"
#include "drive/transport.h"
#include "platform/scsi_host.h"

bool QueryDriveName(const QString& path, bool readWrite, QString& productName) {
  ScsiHost& host = CurrentScsiHost();
  const int handle = host.Open(path, readWrite);
  if (handle < 0) return false;
  uint8_t reply[CdDevice::kInquiryBytes] = {};
  const uint8_t cdb[CdDevice::kCdbSize] = {0x12, 0, 0, 0, 0xFF};
  const ScsiOutcome outcome = SendScsiRequest(host, handle, {cdb, reply, sizeof reply});
  host.Close(handle);
  if (!outcome.completed || (reply[0] & 0x1F) != kCdDvdPeripheralType) return false;
  productName = InquiryProductName(reply);
  return true;
}

SptiDevice& SptiDevice::Instance() {
  static SptiDevice device;
  return device;
}

bool SptiDevice::EnumerateDrives(QStringList& displayNames) {
  for (const ScsiNode& node : CurrentScsiHost().BlockDevices()) {
    QString name;
    if (!QueryDriveName(node.path, true, name)) continue;
    displayNames.append(MakeDisplayName(node.name, name));
  }
  return true;
}

bool SptiDevice::SelectDrive(const QString& productName) {
  for (const ScsiNode& node : CurrentScsiHost().BlockDevices()) {
    QString name;
    if (QueryDriveName(node.path, false, name) && name == productName) {
      SetCurrent(node.path, node.name);
      return CdDevice::SelectDrive(productName);
    }
  }
  return false;
}

bool SptiDevice::SelectDevice(const QString& deviceName, const QString& productName) {
  for (const ScsiNode& node : CurrentScsiHost().BlockDevices()) {
    if (node.name != deviceName) continue;
    QString name;
    if (!QueryDriveName(node.path, false, name) || name != productName) return false;
    SetCurrent(node.path, node.name);
    return CdDevice::SelectDrive(productName);
  }
  return false;
}

void SptiDevice::SetCurrent(const QString& path, const QString& name) {
  Close();
  std::lock_guard lock(pathMutex_);
  devicePath_ = path;
  deviceName_ = name;
}

QString SptiDevice::CurrentDeviceName() const {
  std::lock_guard lock(pathMutex_);
  return deviceName_;
}

QString SptiDevice::DevicePath() const {
  std::lock_guard lock(pathMutex_);
  return devicePath_;
}

bool SptiDevice::OpenCurrent(bool readWrite) {
  Close();
  const QString path = DevicePath();
  if (path.isEmpty()) return false;
  const int handle = CurrentScsiHost().Open(path, readWrite);
  if (handle < 0) return false;
  handle_ = handle;
  return true;
}

bool SptiDevice::Close() {
  const int handle = handle_.exchange(-1);
  if (handle >= 0) CurrentScsiHost().Close(handle);
  return true;
}

bool SptiDevice::Execute(const uint8_t* cdb, void* buffer, bool closeAfter, uint32_t length,
                         bool writeDirection, SenseSummary* sense) {
  const int handle = handle_.load();
  if (handle < 0) return false;
  const ScsiOutcome outcome =
      SendScsiRequest(CurrentScsiHost(), handle, {cdb, buffer, length, writeDirection});
  lastSystemError_ = outcome.systemError;
  if (closeAfter) Close();
  if (sense) *sense = ParseSense(outcome.sense);
  return outcome.completed;
}

// Users other than root may not send every command through a block device (MECHANISM
// STATUS is refused with EPERM); the tray state then comes from the CD-ROM driver.
bool SptiDevice::SystemTrayClosed(bool& closed) {
  if (lastSystemError_.load() == 0 || !Open()) return false;
  ScsiHost& host = CurrentScsiHost();
  const int status = host.DriveStatus(handle_.load());
  Close();
  if (status < 0) return false;
  closed = status != kDriveTrayOpen;
  return true;
}
