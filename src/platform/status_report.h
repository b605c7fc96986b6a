#pragma once
#include <QString>
#include <utility>

#include "platform/ids.h"

// One report from a worker to the front end. It travels by value, so the text is the
// receiver's own copy and never points into the worker. A report is progress (a percentage
// with an optional text; the player's state is its text) or the end of a track rip or a
// disc image, which carries nothing else.
struct StatusReport {
  StatusKind kind = StatusKind::TrackProgress;
  double value = 0;
  QString text;
  bool done = false;

  static StatusReport Progress(StatusKind kind, double value, QString text = QString()) {
    return {kind, value, std::move(text), false};
  }
  // kind: TrackProgress or ImageProgress.
  static StatusReport Done(StatusKind kind) { return {kind, 0, QString(), true}; }

  bool IsDone() const { return done; }
  bool operator==(const StatusReport&) const = default;
};
