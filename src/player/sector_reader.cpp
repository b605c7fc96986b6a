#include "player/sector_reader.h"

#include <cstring>

#include "drive/cd_device.h"

namespace {

bool ReadWithTries(CdDevice& drive, int lba, int count, uint8_t* out, int tries) {
  for (int attempt = 0; attempt < tries; ++attempt) {
    int length = count * CdDevice::kAudioSectorBytes;
    if (drive.ReadAudio(lba, count, out, length)) return true;
  }
  return false;
}

}  // namespace

int ReadAudioOrSilence(CdDevice& drive, int lba, int count, uint8_t* out) {
  if (ReadWithTries(drive, lba, count, out, kRequestTries)) return 0;
  int silent = 0;
  for (int i = 0; i < count; ++i) {
    uint8_t* sector = out + size_t(i) * CdDevice::kAudioSectorBytes;
    if (ReadWithTries(drive, lba + i, 1, sector, kSectorTries)) continue;
    std::memset(sector, 0, CdDevice::kAudioSectorBytes);
    ++silent;
  }
  return silent;
}
