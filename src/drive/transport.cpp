#include "drive/transport.h"

#include <cstring>

#include "platform/scsi_host.h"

namespace {
constexpr unsigned char kGoodStatus = 0;
constexpr unsigned short kDriverErrorMask = 0x07;  // driver_status without the "sense" flag
}  // namespace

ScsiOutcome SendScsiRequest(ScsiHost& host, int handle, const ScsiRequest& request) {
  ScsiOutcome outcome;
  unsigned char cdb[CdDevice::kCdbSize];
  std::memcpy(cdb, request.cdb, sizeof cdb);

  sg_io_hdr_t hdr;
  std::memset(&hdr, 0, sizeof hdr);
  hdr.interface_id = 'S';
  hdr.cmdp = cdb;
  hdr.cmd_len = CdbLength(cdb[0]);
  hdr.dxfer_direction = request.length == 0 ? SG_DXFER_NONE
                        : request.writeDirection ? SG_DXFER_TO_DEV
                                                 : SG_DXFER_FROM_DEV;
  hdr.dxferp = request.length == 0 ? nullptr : request.buffer;
  hdr.dxfer_len = request.length;
  hdr.sbp = outcome.sense;
  hdr.mx_sb_len = request.senseLength;
  hdr.timeout = CdDevice::kTimeoutMs;

  const int result = host.SendCommand(handle, hdr);
  if (result < 0) {
    outcome.systemError = -result;
    std::memset(outcome.sense, 0, sizeof outcome.sense);
    return outcome;
  }
  outcome.completed = hdr.status == kGoodStatus && hdr.masked_status == kGoodStatus &&
                      hdr.host_status == 0 && (hdr.driver_status & kDriverErrorMask) == 0;
  return outcome;
}
