#include "drive/transport.h"

#include <QByteArray>
#include <cstring>

#include "platform/log.h"
#include "platform/mmc_opcodes.h"
#include "platform/scsi_host.h"

namespace {
QByteArray CommandHex(const unsigned char* cdb, int length) {
  return QByteArray(reinterpret_cast<const char*>(cdb), length).toHex(' ');
}

ScsiCommand::Direction DirectionOf(const ScsiRequest& request) {
  if (request.length == 0) return ScsiCommand::Direction::None;
  return request.writeDirection ? ScsiCommand::Direction::ToDevice
                                : ScsiCommand::Direction::FromDevice;
}
}  // namespace

ScsiOutcome SendScsiRequest(ScsiHost& host, int handle, const ScsiRequest& request) {
  ScsiOutcome outcome;
  unsigned char cdb[CdDevice::kCdbSize];
  std::memcpy(cdb, request.cdb, sizeof cdb);

  ScsiCommand command;
  command.cdb = cdb;
  command.cdbLength = CdbLength(cdb[0]);
  command.direction = DirectionOf(request);
  command.data = request.length == 0 ? nullptr : request.buffer;
  command.dataLength = request.length;
  command.sense = outcome.sense;
  command.senseCapacity = request.senseLength;
  command.timeoutMs = CdDevice::kTimeoutMs;

  const int result = host.SendCommand(handle, command);
  if (result < 0) {
    outcome.systemError = -result;
    std::memset(outcome.sense, 0, sizeof outcome.sense);
    qCDebug(lcDrive).nospace() << "command [" << CommandHex(cdb, command.cdbLength)
                               << "] refused by the system: " << strerror(-result);
    return outcome;
  }
  outcome.completed = command.status == kScsiGood && !command.transportFailed;
  if (!outcome.completed) {
    const SenseSummary sense = ParseSense(outcome.sense);
    qCDebug(lcDrive).nospace() << "command [" << CommandHex(cdb, command.cdbLength)
                               << "] failed: status " << int(command.status)
                               << (command.transportFailed ? ", transport failed" : "") << Qt::hex
                               << ", sense " << int(sense.senseKey) << '/' << int(sense.asc) << '/'
                               << int(sense.ascq);
  }
  return outcome;
}
