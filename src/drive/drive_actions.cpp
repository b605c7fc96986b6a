#include "drive/drive_actions.h"

#include "drive/cd_device.h"
#include "drive/drive_claim.h"
#include "drive/drive_context.h"

namespace {
constexpr int kFirstFactor = 2;
constexpr int kLastFactor = 64;
}  // namespace

bool DetectSpeeds(QList<int>& factors) {
  factors.clear();
  const DriveContext& context = DriveContext::Instance();
  CdDevice* device = context.device.load();
  bool closed = false;
  if (!device || !context.present.load() || !device->IsTrayClosed(closed)) return false;
  if (!closed) return true;
  // The exact speed in kB/s, so the drive ends where it was rather than at a rounded factor.
  uint32_t savedKBps = 0;
  if (!device->ReadSpeedKBps(savedKBps)) return false;
  for (int factor = kFirstFactor; factor <= kLastFactor; factor += 2) {
    device->SetSpeed(factor);
    const int readBack = device->GetMaxReadSpeed();
    if (readBack == 0) return false;
    if (readBack == factor) factors.append(factor);
  }
  device->SetSpeedKBps(savedKBps);
  return true;
}

bool ToggleTray() {
  const DriveContext& context = DriveContext::Instance();
  context.StopPlayback();
  const DriveClaim claim(DriveUse::Tray);
  CdDevice* device = context.device.load();
  bool closed = false;
  if (!claim.Held() || !device || !device->IsTrayClosed(closed)) return false;
  return closed ? device->EjectTray() : device->LoadTray();
}

DiscState CurrentDiscState() {
  const DriveContext& context = DriveContext::Instance();
  CdDevice* device = context.device.load();
  if (!device || !context.present.load()) return DiscState::NoDrive;
  bool closed = true;
  // A drive that cannot tell its tray state is asked for the disc all the same.
  if (device->IsTrayClosed(closed) && !closed) return DiscState::TrayOpen;
  int count = 0;
  if (!device->TestUnitReady() || !device->GetTrackCount(count)) return DiscState::NoDisc;
  return DiscState::Ready;
}
