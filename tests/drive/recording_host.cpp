#include "recording_host.h"

#include <cerrno>
#include <cstring>

RecordingHost::RecordingHost() {
  ScsiNode node;
  node.path = "rec-sr0";
  node.name = "sr0";
  node.host = 0;
  node.target = 0;
  node.peripheralType = 5;
  blockDevices = {node};
  node.path = "rec-sg0";
  genericDevices = {node};
  InstallScsiHost(this);
}

RecordingHost::~RecordingHost() { InstallScsiHost(nullptr); }

int RecordingHost::Open(const QString& path, bool readWrite) {
  bool known = false;
  for (const ScsiNode& node : blockDevices + genericDevices) known = known || node.path == path;
  if (!known) return -ENOENT;
  ++opens;
  lastOpenReadWrite = readWrite;
  openHandles.insert(nextHandle_);
  return nextHandle_++;
}

void RecordingHost::Close(int handle) { openHandles.erase(handle); }

QList<ScsiNode> RecordingHost::GenericDevices() {
  ++genericListings;
  return genericDevices;
}

int RecordingHost::DriveStatus(int handle) {
  return openHandles.count(handle) ? driveStatus : -EBADF;
}

int RecordingHost::SendCommand(int handle, sg_io_hdr_t& hdr) {
  if (!openHandles.count(handle)) return -EBADF;
  Sent s;
  s.cdb.assign(hdr.cmdp, hdr.cmdp + hdr.cmd_len);
  s.direction = hdr.dxfer_direction;
  s.length = hdr.dxfer_len;
  s.hasBuffer = hdr.dxferp != nullptr;
  s.senseLength = hdr.mx_sb_len;
  s.timeout = hdr.timeout;
  s.interfaceId = hdr.interface_id;
  sent.push_back(s);
  return answer ? answer(hdr.cmdp, hdr) : DefaultAnswer(hdr.cmdp, hdr);
}

void RecordingHost::CheckCondition(sg_io_hdr_t& hdr, uint8_t key, uint8_t asc, uint8_t ascq) {
  hdr.status = 2;
  hdr.masked_status = 1;
  hdr.driver_status = 0x08;
  uint8_t* sense = hdr.sbp;
  std::memset(sense, 0, hdr.mx_sb_len);
  sense[0] = 0x70;
  sense[2] = key;
  sense[7] = 10;
  sense[12] = asc;
  sense[13] = ascq;
  hdr.sb_len_wr = hdr.mx_sb_len;
}

int RecordingHost::DefaultAnswer(const uint8_t* cdb, sg_io_hdr_t& hdr) {
  auto* data = static_cast<uint8_t*>(hdr.dxferp);
  switch (cdb[0]) {
    case 0x12: {
      const char id[] = "HL-DT-STDVDRAM GH24NSD1 ";
      data[0] = 5;
      std::memcpy(data + 8, id, 24);
      break;
    }
    case 0xAD: CheckCondition(hdr, 5, 0x24, 0); break;
    case 0x5A:
      data[22] = static_cast<uint8_t>(currentSpeedKBps >> 8);
      data[23] = static_cast<uint8_t>(currentSpeedKBps);
      break;
    default: break;
  }
  return 0;
}
