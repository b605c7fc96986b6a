#pragma once
#include "encoders/rip_worker.h"

// Copies a whole disc into one image file. A writer is made for each run; StartImage starts
// its thread with StartThread, and the job joins it (Join) before reading the outcome and
// destroying the writer. The thread calls Finish itself at the end of the run.
//
// The image and its CUE sheet are each written through a PartFile: under a temporary name,
// renamed to the final name only when complete (the CUE sheet names the image's final
// file). A cancelled or failed run leaves its temporary files removed and the final names as
// they were; the job never removes a file itself.
class DiscImageWriter : public RipWorker {
 public:
  int StartImage(const QString& path) override = 0;
  int StartTrack(int, const QString&, uint32_t, uint32_t) override { return 0; }
  int Finish() override = 0;
  // Reads the next part of the disc into the image; 0 on failure.
  virtual int ReadChunk() = 0;
};
