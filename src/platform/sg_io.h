#pragma once
#include <scsi/sg.h>

#include "platform/scsi_host.h"

// Linux's SG_IO request for a ScsiCommand, and the reply read back into it: the system host
// sends every command block through these two.
sg_io_hdr_t SgIoHeader(ScsiCommand& command);
void TakeSgIoReply(const sg_io_hdr_t& header, ScsiCommand& command);

// CDROM_DRIVE_STATUS's answer as a DriveState.
int DriveStateOfCdromStatus(int cdromStatus);
