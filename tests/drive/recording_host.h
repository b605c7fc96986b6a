#pragma once
#include <QList>
#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "platform/scsi_host.h"

// A SCSI host that records every command it is handed and answers like a plain CD drive
// ("[sr0] HL-DT-STDVDRAM GH24NSD1", SCSI address 0:0:0:0), or as `answer` says. Installed
// for one test with InstallScsiHost.
class RecordingHost : public ScsiHost {
 public:
  struct Sent {
    std::vector<uint8_t> cdb;  // cdbLength bytes
    ScsiCommand::Direction direction = ScsiCommand::Direction::None;
    unsigned length = 0;
    bool hasBuffer = false;
    int senseLength = 0;
    unsigned timeout = 0;
  };

  // Answers a command: fill it (status, sense, data) and return 0, or return -errno.
  using Answer = std::function<int(const uint8_t* cdb, ScsiCommand& command)>;

  RecordingHost();
  ~RecordingHost() override;

  int Open(const QString& path, bool readWrite) override;
  void Close(int handle) override;
  int SendCommand(int handle, ScsiCommand& command) override;
  int DriveStatus(int handle) override;
  QList<ScsiNode> BlockDevices() override { return blockDevices; }
  QList<ScsiNode> GenericDevices() override;

  // The default answers: INQUIRY of a CD drive, CHECK CONDITION 05/24/00 for READ DISC
  // STRUCTURE (not a DVD), the current read speed for MODE SENSE, GOOD for the rest.
  int DefaultAnswer(const uint8_t* cdb, ScsiCommand& command);
  static void CheckCondition(ScsiCommand& command, uint8_t key, uint8_t asc, uint8_t ascq);

  Answer answer;
  std::vector<Sent> sent;
  QList<ScsiNode> blockDevices;
  QList<ScsiNode> genericDevices;
  int genericListings = 0;
  int driveStatus = kDriveDiscPresent;
  uint16_t currentSpeedKBps = 7056;
  std::set<int> openHandles;
  int opens = 0;
  int lastOpenReadWrite = -1;

 private:
  int nextHandle_ = 3;
};
