#include "platform/sg_io.h"

#include <linux/cdrom.h>

#include <cstring>

namespace {
constexpr unsigned short kDriverErrorMask = 0x07;  // driver_status without the "sense" flag

int DirectionOf(ScsiCommand::Direction direction) {
  switch (direction) {
    case ScsiCommand::Direction::FromDevice: return SG_DXFER_FROM_DEV;
    case ScsiCommand::Direction::ToDevice: return SG_DXFER_TO_DEV;
    case ScsiCommand::Direction::None: break;
  }
  return SG_DXFER_NONE;
}
}  // namespace

sg_io_hdr_t SgIoHeader(ScsiCommand& command) {
  sg_io_hdr_t header;
  std::memset(&header, 0, sizeof header);
  header.interface_id = 'S';
  header.cmdp = const_cast<unsigned char*>(command.cdb);
  header.cmd_len = static_cast<unsigned char>(command.cdbLength);
  header.dxfer_direction = DirectionOf(command.direction);
  header.dxferp = command.data;
  header.dxfer_len = command.dataLength;
  header.sbp = command.sense;
  header.mx_sb_len = static_cast<unsigned char>(command.senseCapacity);
  header.timeout = command.timeoutMs;
  return header;
}

void TakeSgIoReply(const sg_io_hdr_t& header, ScsiCommand& command) {
  command.status = header.status;
  command.transportFailed =
      header.host_status != 0 || (header.driver_status & kDriverErrorMask) != 0;
  command.senseWritten = header.sb_len_wr;
  command.residue = header.resid;
  command.durationMs = header.duration;
}

int DriveStateOfCdromStatus(int cdromStatus) {
  switch (cdromStatus) {
    case CDS_NO_DISC: return kDriveNoDisc;
    case CDS_TRAY_OPEN: return kDriveTrayOpen;
    case CDS_DRIVE_NOT_READY: return kDriveNotReady;
    case CDS_DISC_OK: return kDriveDiscPresent;
    default: return kDriveStateUnknown;
  }
}
