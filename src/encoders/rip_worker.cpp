#include "encoders/rip_worker.h"

int RipWorker::StartImage(const QString&) { return 0; }

int RipWorker::StartTrack(int, const QString&, uint32_t, uint32_t) { return 0; }

int RipWorker::Finish() { return 0; }

void RipWorker::SetTrack(int index, const QString& path, uint32_t firstOverride,
                         uint32_t lastOverride) {
  trackIndex = index;
  outputPath = path;
  firstSectorOverride = firstOverride;
  lastSectorOverride = lastOverride;
  stopRequested = 0;
}
