#include "rip/rip_worker.h"

#include <system_error>

#include "platform/clock.h"

RipWorker::~RipWorker() { Join(); }

int RipWorker::StartImage(const QString&) { return 0; }

int RipWorker::StartTrack(int, const QString&, uint32_t, uint32_t) { return 0; }

int RipWorker::Finish() { return 0; }

void RipWorker::Join() {
  if (thread_.joinable()) thread_.join();
}

void RipWorker::SetTrack(int index, const QString& path, uint32_t firstOverride,
                         uint32_t lastOverride) {
  Join();
  trackIndex = index;
  outputPath = path;
  firstSectorOverride = firstOverride;
  lastSectorOverride = lastOverride;
  stopRequested = 0;
  failedSectors = 0;
  failed = false;
  errorText.clear();
}

bool RipWorker::StartThread(std::function<void()> body) {
  Join();
  try {
    thread_ = std::thread(std::move(body));
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void RipWorker::Fail(const QString& why) {
  if (!failed) errorText = why;
  failed = true;
}

void RipWorker::SampleSpeed(uint32_t sector, uint32_t bytesPerSector) {
  speed = 0.0;
  if (refSector == 0 || refTick == 0) {
    refSector = sector;
    refTick = MonotonicMs();
    return;
  }
  const uint64_t elapsed = MonotonicMs() - refTick;
  if (elapsed == 0) return;
  speed = double(uint64_t(bytesPerSector) * (sector - refSector) / elapsed);
}

void RipWorker::ResetSpeedReference() {
  refSector = 0;
  refTick = 0;
}
