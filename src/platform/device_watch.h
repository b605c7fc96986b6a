#pragma once
#include <QObject>
#include <QString>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// What a block-device event from udev means for an optical drive.
struct MediaEvent {
  enum class Kind { None, Arrived, Removed };
  Kind kind = Kind::None;
  QString deviceName;  // "sr0"
};

// Decides from an event's action and properties: a "change" with DISK_MEDIA_CHANGE=1 is an
// arrival when ID_CDROM_MEDIA=1 and a removal otherwise; everything else is no media event.
MediaEvent ClassifyMediaEvent(const QString& action, const QString& sysName,
                              const QString& mediaChange, const QString& cdromMedia);

// Reports disc arrival and removal in real optical drives from udev's block-device events,
// in the thread that owns it (its event loop must run).
class DeviceWatch : public QObject {
  Q_OBJECT
 public:
  explicit DeviceWatch(QObject* parent = nullptr);
  ~DeviceWatch() override;

  // False when udev cannot be reached (no events will come; nothing else changes).
  bool Start();

 signals:
  void MediaChanged(const QString& deviceName, bool arrived);

 private:
  void ReadEvent();

  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
};
