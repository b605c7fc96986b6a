#include "drive/transport.h"

#include <QByteArray>
#include <cstring>

#include "platform/log.h"
#include "platform/mmc_opcodes.h"
#include "platform/scsi_host.h"

namespace {
constexpr unsigned char kGoodStatus = 0;
constexpr unsigned short kDriverErrorMask = 0x07;  // driver_status without the "sense" flag

QByteArray CommandHex(const unsigned char* cdb, int length) {
  return QByteArray(reinterpret_cast<const char*>(cdb), length).toHex(' ');
}
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
  hdr.dxfer_direction = request.length == 0      ? SG_DXFER_NONE
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
    qCDebug(lcDrive).nospace() << "command [" << CommandHex(cdb, hdr.cmd_len)
                               << "] refused by the system: " << strerror(-result);
    return outcome;
  }
  outcome.completed = hdr.status == kGoodStatus && hdr.masked_status == kGoodStatus &&
                      hdr.host_status == 0 && (hdr.driver_status & kDriverErrorMask) == 0;
  if (!outcome.completed) {
    const SenseSummary sense = ParseSense(outcome.sense);
    qCDebug(lcDrive).nospace() << "command [" << CommandHex(cdb, hdr.cmd_len) << "] failed: status "
                               << int(hdr.status) << ", host " << hdr.host_status << ", driver "
                               << hdr.driver_status << Qt::hex << ", sense " << int(sense.senseKey)
                               << '/' << int(sense.asc) << '/' << int(sense.ascq);
  }
  return outcome;
}
