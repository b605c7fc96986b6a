#pragma once
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "platform/status_report.h"

class CdDevice;

// How a worker's thread reports its progress and its end.
using StatusCallback = std::function<void(StatusReport report)>;

// What the rip job drives: the track worker and every disc-image writer. Each run moves its
// data on a thread of its own; the job and that thread share stopRequested, speed and
// failedSectors, each written by one side only. The rest of the outcome is the thread's
// until Join returns.
class RipWorker {
 public:
  virtual ~RipWorker();

  // Starts writing a disc image to path; 0 when this worker does not write images.
  virtual int StartImage(const QString& path);
  // Starts ripping one track to path; the overrides, when not 0, replace the track's first
  // and last sector. 0 when this worker does not rip tracks.
  virtual int StartTrack(int trackIndex, const QString& path, uint32_t firstSectorOverride,
                         uint32_t lastSectorOverride);
  virtual int Finish();

  // Waits for the thread of the last run to end. After it the outcome below is complete.
  void Join();

  // Remembers the track a run is about to write, clears the stop request and the outcome.
  void SetTrack(int trackIndex, const QString& path, uint32_t firstSectorOverride,
                uint32_t lastSectorOverride);

  // One speed sample at sector s of bytesPerSector bytes: the average since the first
  // sample of the run. A sample at sector 0 never becomes the reference.
  void SampleSpeed(uint32_t sector, uint32_t bytesPerSector);
  void ResetSpeedReference();

  CdDevice* drive = nullptr;      // the drive sectors come from; not owned
  StatusCallback statusCallback;  // set before each start
  std::atomic<int> stopRequested{0};
  std::atomic<double> speed{0.0};  // bytes a millisecond
  QString outputPath;  // after the run, the name the file got (another when this was taken)
  int trackIndex = 0;
  uint32_t firstSectorOverride = 0;
  uint32_t lastSectorOverride = 0;
  uint32_t refSector = 0;  // first sample of the run; 0 = none yet
  uint64_t refTick = 0;

  // The outcome of the last run.
  std::atomic<int> failedSectors{0};  // sectors written as silence because they could not be read
  std::atomic<bool> failed{false};    // the file could not be created, written, closed or kept
  QString errorText;                  // why it failed, for the user; read it after Join

 protected:
  // Runs body on the run's thread after the previous one ended; false when no thread started.
  bool StartThread(std::function<void()> body);
  // Marks the run failed with the reason the user reads.
  void Fail(const QString& why);

 private:
  std::thread thread_;
};
