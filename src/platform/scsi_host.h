#pragma once
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>

// The operating-system boundary of the drive layer: open a device node, send one command
// block, ask the tray state, close; list the nodes of a kind. Everything above it talks
// MMC through this interface and never knows whether a drive is real or emulated.
//
// Handles are small non-negative integers owned by the host that issued them; -1 is
// "not open". Errors are negative errno values.
// INQUIRY byte 0 & 0x1F of a CD or DVD drive.
constexpr int kCdDvdPeripheralType = 5;

// One command block for a drive and what came back, in no system's terms: the system host
// turns it into its own request (SG_IO on Linux), an emulated host answers it itself.
struct ScsiCommand {
  enum class Direction { None, FromDevice, ToDevice };

  const uint8_t* cdb = nullptr;
  int cdbLength = 0;
  Direction direction = Direction::None;
  void* data = nullptr;  // dataLength bytes; null when there is no data
  uint32_t dataLength = 0;
  uint8_t* sense = nullptr;  // room for senseCapacity bytes of sense data
  int senseCapacity = 0;
  unsigned timeoutMs = 0;

  // Filled by the host when it delivered the command.
  uint8_t status = 0;            // the drive's SCSI status: kScsiGood, kScsiCheckCondition...
  bool transportFailed = false;  // the adapter or its driver failed the command
  int senseWritten = 0;          // bytes of sense data the drive returned
  int residue = 0;               // bytes of data not transferred
  unsigned durationMs = 0;
};

constexpr uint8_t kScsiGood = 0x00;
constexpr uint8_t kScsiCheckCondition = 0x02;

// What DriveStatus reports of the tray and the medium.
enum DriveState : int {
  kDriveStateUnknown,
  kDriveNoDisc,
  kDriveTrayOpen,
  kDriveNotReady,
  kDriveDiscPresent,
};

struct ScsiNode {
  QString path;   // what Open takes: "/dev/sr0", "/dev/sg1", or "vcd0" for a virtual drive
  QString name;   // device name for display names and settings: "sr0", "vcd0"
  int host = -1;  // SCSI address (generic devices and virtual drives)
  int channel = 0;
  int target = -1;
  int lun = 0;
  int peripheralType = -1;  // INQUIRY byte 0 & 0x1F when known (5 = CD/DVD), else -1
};

class ScsiHost {
 public:
  virtual ~ScsiHost() = default;

  // Read-only or read-write, never waiting for a medium, so an empty drive opens. Returns a
  // handle or -errno.
  virtual int Open(const QString& path, bool readWrite) = 0;
  virtual void Close(int handle) = 0;
  // 0 when the command was delivered (the drive's status, sense and residue are in command),
  // -errno when the system refused it (EPERM for a command a user may not send, EINVAL for a
  // malformed command).
  virtual int SendCommand(int handle, ScsiCommand& command) = 0;
  // A DriveState, or -errno.
  virtual int DriveStatus(int handle) = 0;
  // /dev/srN block devices in number order, then the virtual drives.
  virtual QList<ScsiNode> BlockDevices() = 0;
  // /dev/sgN generic devices with their SCSI address, then the virtual drives.
  virtual QList<ScsiNode> GenericDevices() = 0;
};

// The host every transport uses: the system's nodes, then the nodes of every emulated host
// added with AddEmulatedHost (paths that are not system paths are routed to the emulated
// host that listed them).
ScsiHost& CurrentScsiHost();

// Adds an emulated host (the virtual drive). The caller keeps it alive until RemoveEmulatedHost.
void AddEmulatedHost(ScsiHost* host);
void RemoveEmulatedHost(ScsiHost* host);

// Replaces the current host (a recording or emulated-only host in tests); null restores
// the default. The caller keeps ownership and keeps the host alive while it is installed.
void InstallScsiHost(ScsiHost* host);
