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

int RecordingHost::SendCommand(int handle, ScsiCommand& command) {
  if (!openHandles.count(handle)) return -EBADF;
  Sent s;
  s.cdb.assign(command.cdb, command.cdb + command.cdbLength);
  s.direction = command.direction;
  s.length = command.dataLength;
  s.hasBuffer = command.data != nullptr;
  s.senseLength = command.senseCapacity;
  s.timeout = command.timeoutMs;
  sent.push_back(s);
  return answer ? answer(command.cdb, command) : DefaultAnswer(command.cdb, command);
}

void RecordingHost::CheckCondition(ScsiCommand& command, uint8_t key, uint8_t asc, uint8_t ascq) {
  command.status = kScsiCheckCondition;
  uint8_t* sense = command.sense;
  std::memset(sense, 0, size_t(command.senseCapacity));
  sense[0] = 0x70;
  sense[2] = key;
  sense[7] = 10;
  sense[12] = asc;
  sense[13] = ascq;
  command.senseWritten = command.senseCapacity;
}

int RecordingHost::DefaultAnswer(const uint8_t* cdb, ScsiCommand& command) {
  auto* data = static_cast<uint8_t*>(command.data);
  switch (cdb[0]) {
    case 0x12: {
      const char id[] = "HL-DT-STDVDRAM GH24NSD1 ";
      data[0] = 5;
      std::memcpy(data + 8, id, 24);
      break;
    }
    case 0xAD: CheckCondition(command, 5, 0x24, 0); break;
    case 0x5A:
      data[22] = static_cast<uint8_t>(currentSpeedKBps >> 8);
      data[23] = static_cast<uint8_t>(currentSpeedKBps);
      break;
    default: break;
  }
  return 0;
}
