#include "drive/drive_context.h"

#include "drive/aspi_device.h"
#include "drive/drive_claim.h"
#include "drive/read_offset.h"
#include "drive/spti_device.h"
#include "settings/settings_store.h"

DriveContext& DriveContext::Instance() {
  static DriveContext context;
  return context;
}

QString DriveContext::DeviceName() const {
  std::lock_guard lock(mutex_);
  return deviceName_;
}

QString DriveContext::ProductName() const {
  std::lock_guard lock(mutex_);
  return productName_;
}

void DriveContext::SetStopPlaybackHook(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  stopPlayback_ = std::move(hook);
}

void DriveContext::StopPlayback() const {
  std::function<void()> hook;
  {
    std::lock_guard lock(mutex_);
    hook = stopPlayback_;
  }
  if (hook) hook();
}

bool DriveContext::SelectDriveByDisplayName(const QString& displayName) {
  if (DriveClaim::ReaderActive()) return false;
  present = 0;
  CdDevice* current = device.load();
  if (!current || displayName.isEmpty()) return false;
  current->ClearToc();
  const QString productName = ProductNameOf(displayName);
  const QString deviceName = DeviceNameOf(displayName);
  const bool selected = (!deviceName.isEmpty() && current->SelectDevice(deviceName, productName)) ||
                        current->SelectDrive(productName);
  if (!selected) return false;
  {
    std::lock_guard lock(mutex_);
    deviceName_ = current->CurrentDeviceName();
    productName_ = productName;
  }
  current->readOffset = StoredReadOffset(productName);
  present = 1;
  isDvd = current->IsDvd() ? 1 : 0;
  return true;
}

QString MakeDisplayName(const QString& deviceName, const QString& productName) {
  return QString("[%1] %2").arg(deviceName, productName).trimmed();
}

QString DeviceNameOf(const QString& displayName) {
  const QString text = displayName.trimmed();
  const qsizetype close = text.indexOf(']');
  if (!text.startsWith('[') || close < 0) return {};
  return text.mid(1, close - 1);
}

QString ProductNameOf(const QString& displayName) {
  const QString text = displayName.trimmed();
  const qsizetype close = text.indexOf(']');
  if (!text.startsWith('[') || close < 0) return text;
  return text.mid(close + 1).trimmed();
}

CdDevice& DeviceForAccessMethod(DriveAccess access) {
  if (access == DriveAccess::Generic) return AspiDevice::Instance();
  return SptiDevice::Instance();
}

bool UseConfiguredDevice() {
  const int stored = SettingsStore::Instance().ReadInt(Key::AccessMethod);
  CdDevice& chosen = DeviceForAccessMethod(FromStored<DriveAccess>(stored));
  DriveContext::Instance().device = &chosen;
  return chosen.Initialize();
}

QStringList ListDrives() {
  QStringList drives;
  UseConfiguredDevice();
  DriveContext::Instance().device.load()->EnumerateDrives(drives);
  return drives;
}

QString FindDrive(const QStringList& drives, const QString& wanted) {
  const QString text = wanted.trimmed();
  if (text.isEmpty()) return {};
  for (const QString& drive : drives) {
    if (drive.trimmed() == text || DeviceNameOf(drive) == text) return drive;
  }
  return {};
}

int StoredDriveIndex(qsizetype count) {
  const int index = SettingsStore::Instance().ReadInt(Key::CurrentDriveIndex);
  return index >= 0 && index < count ? index : 0;
}

bool StoreDriveChoice(const QStringList& drives, qsizetype index) {
  if (index < 0 || index >= drives.size()) return false;
  SettingsStore& store = SettingsStore::Instance();
  store.WriteInt(Key::CurrentDriveIndex, int(index));
  store.WriteString(Key::Device, drives[index]);
  return true;
}

DriveChoice SelectPreferredDrive(const QString& wanted, QString& displayName) {
  const QStringList drives = ListDrives();
  if (drives.isEmpty()) return DriveChoice::NoDrive;
  if (!wanted.trimmed().isEmpty()) {
    displayName = FindDrive(drives, wanted);
    if (displayName.isEmpty()) return DriveChoice::UnknownDrive;
  } else {
    displayName = FindDrive(drives, SettingsStore::Instance().ReadText(Key::Device));
    if (displayName.isEmpty()) displayName = drives[StoredDriveIndex(drives.size())];
  }
  return DriveContext::Instance().SelectDriveByDisplayName(displayName) ? DriveChoice::Selected
                                                                        : DriveChoice::NotSelected;
}
