#pragma once
#include <QString>
#include <atomic>
#include <mutex>

#include "drive/cd_device.h"

// SCSI pass-through on the block device of a drive (/dev/srN, or a virtual drive's node).
class SptiDevice final : public CdDevice {
 public:
  static SptiDevice& Instance();

  // Every block device whose INQUIRY reports a CD/DVD drive, as "[srN] NAME".
  bool EnumerateDrives(QStringList& displayNames) override;
  bool SelectDrive(const QString& productName) override;
  bool SelectDevice(const QString& deviceName, const QString& productName) override;
  QString CurrentDeviceName() const override;
  bool OpenReadOnly() override { return OpenCurrent(false); }
  bool Open() override { return OpenCurrent(true); }
  bool Close() override;
  bool Execute(const uint8_t* cdb, void* buffer, bool closeAfter, uint32_t length,
               bool writeDirection, SenseSummary* sense) override;

  QString DevicePath() const;
  bool IsOpen() const { return handle_.load() >= 0; }

 protected:
  bool SystemTrayClosed(bool& closed) override;

 private:
  SptiDevice() = default;
  bool OpenCurrent(bool readWrite);
  void SetCurrent(const QString& path, const QString& name);

  std::atomic<int> handle_{-1};
  std::atomic<int> lastSystemError_{0};
  mutable std::mutex pathMutex_;
  QString devicePath_;
  QString deviceName_;
};

// The product name of the drive at a node, from INQUIRY; false when the node does not open,
// does not answer, or is not a CD/DVD drive.
bool QueryDriveName(const QString& path, bool readWrite, QString& productName);
