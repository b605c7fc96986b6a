#pragma once
#include <scsi/sg.h>
#include <QList>
#include <QString>

#include <memory>

// The operating-system boundary of the drive layer: open a device node, send one SG_IO
// request, ask the tray state, close; list the nodes of a kind. Everything above it talks
// MMC through this interface and never knows whether a drive is real or emulated.
//
// Handles are small non-negative integers owned by the host that issued them; -1 is
// "not open". Errors are negative errno values.
// INQUIRY byte 0 & 0x1F of a CD or DVD drive.
constexpr int kCdDvdPeripheralType = 5;

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

  // O_RDONLY or O_RDWR, always O_NONBLOCK so an empty drive opens. Returns a handle or -errno.
  virtual int Open(const QString& path, bool readWrite) = 0;
  virtual void Close(int handle) = 0;
  // ioctl(SG_IO). 0 when the request was delivered (the drive's status, sense and residue
  // are in hdr), -errno when the system refused it (EPERM for a command a user may not send).
  virtual int SendCommand(int handle, sg_io_hdr_t& hdr) = 0;
  // ioctl(CDROM_DRIVE_STATUS): CDS_NO_INFO, CDS_NO_DISC, CDS_TRAY_OPEN, CDS_DRIVE_NOT_READY,
  // CDS_DISC_OK, or -errno.
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
