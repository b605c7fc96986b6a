#pragma once
#include "rip/disc_image_writer.h"

// An ISO image: the 2048 user bytes of every sector (READ(10)), 31 sectors a read.
class IsoImageWriter : public DiscImageWriter {
 public:
  IsoImageWriter() : DiscImageWriter(31, 2048) {}
  int Finish() override { return 0; }

 protected:
  bool ReadSectors(uint32_t first, int count, uint8_t* out) override;
};
