#include "drive/drive_claim.h"

#include <atomic>

namespace {

std::atomic<DriveUse>& Holder() {
  static std::atomic<DriveUse> holder{DriveUse::None};
  return holder;
}

QString Describe(DriveUse use) {
  switch (use) {
    case DriveUse::Rip: return QStringLiteral("a rip is reading it");
    case DriveUse::Image: return QStringLiteral("a disc image is being read from it");
    case DriveUse::Player: return QStringLiteral("the player is playing from it");
    case DriveUse::Refresh: return QStringLiteral("its disc is being read");
    case DriveUse::Tray: return QStringLiteral("its tray is moving");
    case DriveUse::OffsetDetection: return QStringLiteral("its read offset is being detected");
    case DriveUse::None: break;
  }
  return {};
}

}  // namespace

DriveClaim::DriveClaim(DriveUse use) {
  DriveUse expected = DriveUse::None;
  held_ = Holder().compare_exchange_strong(expected, use);
  holder_ = held_ ? use : expected;
}

DriveClaim::~DriveClaim() {
  if (held_) Holder().store(DriveUse::None);
}

QString DriveClaim::Reason() const {
  if (held_) return {};
  return QStringLiteral("the drive is busy: %1").arg(Describe(holder_));
}

DriveUse DriveClaim::CurrentUse() { return Holder().load(); }

bool DriveClaim::ReaderActive() {
  const DriveUse use = CurrentUse();
  return use == DriveUse::Rip || use == DriveUse::Image || use == DriveUse::Player ||
         use == DriveUse::OffsetDetection;
}
