#pragma once
#include <QObject>
#include <QString>

#include "platform/call_queue.h"

class DeviceWatch;

// Disc arrival and removal in every drive, real (udev) or virtual, delivered as a signal on
// the thread that owns this object, whatever thread caused the change.
class MediaWatch : public QObject {
  Q_OBJECT
 public:
  explicit MediaWatch(QObject* parent = nullptr);
  ~MediaWatch() override;

 signals:
  void MediaChanged(const QString& deviceName, bool arrived);

 private:
  int virtualListener_ = -1;
  DeviceWatch* deviceWatch_ = nullptr;
  CallQueue calls_;
};
