#pragma once
#include "encoders/rip_worker.h"

// Copies a whole disc into one image file. A writer is made for each run.
class DiscImageWriter : public RipWorker {
 public:
  int StartImage(const QString& path) override = 0;
  int StartTrack(int, const QString&, uint32_t, uint32_t) override { return 0; }
  int Finish() override = 0;
  // Reads the next part of the disc into the image; 0 on failure.
  virtual int ReadChunk() = 0;
};
