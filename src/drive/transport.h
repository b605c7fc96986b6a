#pragma once
#include <cstdint>

#include "drive/cd_device.h"

class ScsiHost;

// One command block through the SCSI host layer, as both transports send it.
struct ScsiRequest {
  const uint8_t* cdb = nullptr;
  void* buffer = nullptr;
  uint32_t length = 0;
  bool writeDirection = false;
  unsigned char senseLength = CdDevice::kSenseBytes;  // bytes the drive may write
};

struct ScsiOutcome {
  bool completed = false;  // delivered, and the drive answered GOOD
  int systemError = 0;     // errno when the system refused the request itself
  uint8_t sense[CdDevice::kSenseBytes] = {};
};

// Fills a ScsiCommand (command block sized by its opcode's group, data direction none when
// there is no data, sense buffer, 8-second timeout) and sends it on an open handle.
ScsiOutcome SendScsiRequest(ScsiHost& host, int handle, const ScsiRequest& request);
