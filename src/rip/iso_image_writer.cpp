#include "rip/iso_image_writer.h"

#include "drive/cd_device.h"

bool IsoImageWriter::ReadSectors(uint32_t first, int count, uint8_t* out) {
  return drive->ReadData(int(first), count, SectorBytes(), out, nullptr);
}
