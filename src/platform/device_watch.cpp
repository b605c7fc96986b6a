#include "platform/device_watch.h"

#include <libudev.h>
#include <QSocketNotifier>

MediaEvent ClassifyMediaEvent(const QString& action, const QString& sysName,
                              const QString& mediaChange, const QString& cdromMedia) {
  if (action != "change" || mediaChange != "1" || sysName.isEmpty()) return {};
  return {cdromMedia == "1" ? MediaEvent::Kind::Arrived : MediaEvent::Kind::Removed, sysName};
}

DeviceWatch::DeviceWatch(QObject* parent) : QObject(parent) {}

DeviceWatch::~DeviceWatch() {
  delete notifier_;
  if (monitor_) udev_monitor_unref(monitor_);
  if (udev_) udev_unref(udev_);
}

bool DeviceWatch::Start() {
  if (monitor_) return true;
  udev_ = udev_new();
  if (!udev_) return false;
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "block", "disk") < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    return false;
  }
  notifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
  connect(notifier_, &QSocketNotifier::activated, this, &DeviceWatch::ReadEvent);
  return true;
}

void DeviceWatch::ReadEvent() {
  udev_device* device = udev_monitor_receive_device(monitor_);
  if (!device) return;
  auto text = [](const char* value) { return QString::fromUtf8(value ? value : ""); };
  const MediaEvent event = ClassifyMediaEvent(
      text(udev_device_get_action(device)), text(udev_device_get_sysname(device)),
      text(udev_device_get_property_value(device, "DISK_MEDIA_CHANGE")),
      text(udev_device_get_property_value(device, "ID_CDROM_MEDIA")));
  udev_device_unref(device);
  if (event.kind != MediaEvent::Kind::None) {
    emit MediaChanged(event.deviceName, event.kind == MediaEvent::Kind::Arrived);
  }
}
