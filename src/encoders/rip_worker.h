#pragma once
#include <QString>
#include <atomic>
#include <cstdint>

#include "drive/drive_context.h"

class CdDevice;

// What the rip job drives: every audio encoder and every disc-image writer. The job and
// the worker thread share stopRequested and speed, each written by one side only.
class RipWorker {
 public:
  virtual ~RipWorker() = default;

  // Starts writing a disc image to path; 0 when this worker does not write images.
  virtual int StartImage(const QString& path);
  // Starts ripping one track to path; the overrides, when not 0, replace the track's first
  // and last sector. 0 when this worker does not rip tracks.
  virtual int StartTrack(int trackIndex, const QString& path, uint32_t firstSectorOverride,
                         uint32_t lastSectorOverride);
  virtual int Finish();

  // Remembers the track a run is about to write, and clears the stop request.
  void SetTrack(int trackIndex, const QString& path, uint32_t firstSectorOverride,
                uint32_t lastSectorOverride);

  // One speed sample at sector s of bytesPerSector bytes: the average since the first
  // sample of the run. A sample at sector 0 never becomes the reference.
  void SampleSpeed(uint32_t sector, uint32_t bytesPerSector);
  void ResetSpeedReference();

  CdDevice* drive = nullptr;  // the drive sectors come from; not owned
  StatusCallback statusCallback;  // copied from DriveContext before each start
  std::atomic<int> stopRequested{0};
  std::atomic<double> speed{0.0};  // bytes a millisecond
  QString outputPath;
  int trackIndex = 0;
  uint32_t firstSectorOverride = 0;
  uint32_t lastSectorOverride = 0;
  uint32_t refSector = 0;  // first sample of the run; 0 = none yet
  uint64_t refTick = 0;
};
