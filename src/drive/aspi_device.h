#pragma once
#include <QList>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>

#include "drive/cd_device.h"
#include "platform/scsi_host.h"

// The SCSI generic driver (/dev/sgN), with drives addressed by host adapter and target.
class AspiDevice final : public CdDevice {
 public:
  static constexpr int kLastAdapter = 10;
  static constexpr int kLastTarget = 8;

  static AspiDevice& Instance();

  // Ready once the generic driver lists at least one device; stays ready after that.
  bool Initialize() override;
  bool EnumerateDrives(QStringList& displayNames) override;
  bool SelectDrive(const QString& productName) override;
  bool SelectDevice(const QString& deviceName, const QString& productName) override;
  QString CurrentDeviceName() const override;
  bool Execute(const uint8_t* cdb, void* buffer, bool closeAfter, uint32_t length,
               bool writeDirection, SenseSummary* sense) override;

  bool IsReady() const { return ready_.load(); }
  // How many times Initialize listed the generic devices.
  int DriverProbes() const { return probes_.load(); }

  std::atomic<int> adapterId{0};
  std::atomic<int> targetId{0};

 private:
  static constexpr unsigned char kAspiSenseBytes = 16;

  AspiDevice() = default;
  void RefreshNodes();
  // Steps adapterId and targetId over every address until visit returns true.
  bool VisitAddresses(const std::function<bool()>& visit);
  // The generic device at the current address, if the driver lists one.
  bool NodeAtCurrentAddress(ScsiNode& node) const;
  bool InquiryName(QString& productName);
  int HandleFor(const QString& path);

  std::atomic<bool> ready_{false};
  std::atomic<int> probes_{0};
  mutable std::mutex mutex_;
  QList<ScsiNode> nodes_;
  int handle_ = -1;
  QString handlePath_;
};
