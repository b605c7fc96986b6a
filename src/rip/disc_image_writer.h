#pragma once
#include <cstdint>

#include "rip/rip_worker.h"

class CodecFile;
class PartFile;

// Copies a whole disc, sector 0 to its last sector, into one image file. A writer is made
// for each run; StartImage starts its thread with StartThread, and the job joins it (Join)
// before reading the outcome and destroying the writer. The thread calls Finish itself at
// the end of the run.
//
// The image and its CUE sheet are each written through a PartFile: under a temporary name,
// renamed to the final name only when complete (the CUE sheet names the image's final
// file, which outputPath holds after the commit). A cancelled or failed run leaves nothing:
// its temporary files go, an image whose CUE sheet failed goes too, and the final names
// stay as they were; the job never removes a file itself.
//
// A chunk that cannot be read is read again, then sector by sector; a sector that still
// fails is stored as zeros at its place and counted in failedSectors.
class DiscImageWriter : public RipWorker {
 public:
  static constexpr int kChunkRetries = 3;  // more reads of a failed chunk
  static constexpr int kSectorTries = 3;   // reads of each sector of a chunk that still fails

  int StartImage(const QString& path) override;
  int StartTrack(int, const QString&, uint32_t, uint32_t) override { return 0; }
  // Runs once the image has its final name (outputPath), to write what goes beside it; a
  // failure names its reason with Fail, and the image is removed then.
  int Finish() override = 0;
  // Reads count sectors from first into out, retrying and zero-filling as above; 0 when
  // stopped.
  virtual int ReadChunk(uint32_t first, int count, uint8_t* out);

  int SectorsPerChunk() const { return sectorsPerChunk_; }
  int SectorBytes() const { return sectorBytes_; }

  // The sectors of the chunk at first of a disc whose last sector is last: a full chunk, or
  // the rest of the disc through its last sector (one more than a chunk at most).
  static int ChunkSectors(uint32_t first, uint32_t last, int sectorsPerChunk);

 protected:
  DiscImageWriter(int sectorsPerChunk, int sectorBytes);
  // One read of count sectors from the drive; false when it failed.
  virtual bool ReadSectors(uint32_t first, int count, uint8_t* out) = 0;

 private:
  void Run();
  bool WriteImage(PartFile& part);
  bool CopyDisc(CodecFile& file);
  void Report(double value);

  int sectorsPerChunk_;
  int sectorBytes_;
};
