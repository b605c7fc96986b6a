#include "drive/media_watch.h"

#include "drive/virtual/virtual_drive.h"
#include "platform/device_watch.h"

MediaWatch::MediaWatch(QObject* parent) : QObject(parent) {
  virtualListener_ =
      VirtualDriveHost::Instance().AddMediaListener([this](const QString& device, bool arrived) {
        calls_.Post([this, device, arrived] { emit MediaChanged(device, arrived); });
      });
  deviceWatch_ = new DeviceWatch(this);
  connect(deviceWatch_, &DeviceWatch::MediaChanged, this, &MediaWatch::MediaChanged);
  deviceWatch_->Start();
}

MediaWatch::~MediaWatch() { VirtualDriveHost::Instance().RemoveMediaListener(virtualListener_); }
