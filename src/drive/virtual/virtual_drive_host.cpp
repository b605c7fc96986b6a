#include "drive/virtual/virtual_drive.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <optional>
#include <vector>

VirtualDriveHost& VirtualDriveHost::Instance() {
  // Never destroyed: the system's list of emulated hosts keeps a pointer to it until the end.
  static VirtualDriveHost* const host = [] {
    auto* created = new VirtualDriveHost;
    AddEmulatedHost(created);
    return created;
  }();
  return *host;
}

VirtualDriveHost::VirtualDriveHost() { CreateDrive(); }

VirtualDrive& VirtualDriveHost::AddDrive() {
  listed_ = true;
  return CreateDrive();
}

VirtualDrive& VirtualDriveHost::CreateDrive() {
  std::lock_guard lock(mutex_);
  const QString name = QStringLiteral("vcd%1").arg(drives_.size());
  drives_.push_back(std::make_unique<VirtualDrive>(
      name, [this](const QString& device, bool arrived) { RaiseMediaEvent(device, arrived); }));
  return *drives_.back();
}

VirtualDrive& VirtualDriveHost::Drive(int index) {
  while (DriveCount() <= index) CreateDrive();
  std::lock_guard lock(mutex_);
  return *drives_[size_t(std::max(index, 0))];
}

int VirtualDriveHost::DriveCount() const {
  std::lock_guard lock(mutex_);
  return int(drives_.size());
}

int VirtualDriveHost::AddMediaListener(std::function<void(const QString&, bool)> listener) {
  std::lock_guard lock(mutex_);
  listeners_[nextListener_] = std::move(listener);
  return nextListener_++;
}

void VirtualDriveHost::RemoveMediaListener(int id) {
  std::lock_guard lock(mutex_);
  listeners_.erase(id);
}

void VirtualDriveHost::RaiseMediaEvent(const QString& device, bool arrived) {
  if (arrived) listed_ = true;  // a disc put in a virtual drive asks for it
  std::vector<std::function<void(const QString&, bool)>> listeners;
  {
    std::lock_guard lock(mutex_);
    for (const auto& entry : listeners_) listeners.push_back(entry.second);
  }
  for (const auto& listener : listeners) listener(device, arrived);
}

int VirtualDriveHost::Open(const QString& path, bool /*readWrite*/) {
  std::lock_guard lock(mutex_);
  for (const auto& drive : drives_) {
    if (drive->DeviceName() == path) {
      handles_[nextHandle_] = drive.get();
      return nextHandle_++;
    }
  }
  return -ENOENT;
}

void VirtualDriveHost::Close(int handle) {
  std::lock_guard lock(mutex_);
  handles_.erase(handle);
}

VirtualDrive* VirtualDriveHost::DriveFor(int handle) {
  std::lock_guard lock(mutex_);
  const auto found = handles_.find(handle);
  return found == handles_.end() ? nullptr : found->second;
}

int VirtualDriveHost::SendCommand(int handle, ScsiCommand& command) {
  VirtualDrive* drive = DriveFor(handle);
  return drive ? drive->Execute(command) : -EBADF;
}

int VirtualDriveHost::DriveStatus(int handle) {
  VirtualDrive* drive = DriveFor(handle);
  return drive ? drive->DriveStatus() : -EBADF;
}

QList<ScsiNode> VirtualDriveHost::BlockDevices() {
  std::lock_guard lock(mutex_);
  QList<ScsiNode> nodes;
  if (!listed_) return nodes;
  for (size_t i = 0; i < drives_.size(); ++i) {
    ScsiNode node;
    node.path = node.name = drives_[i]->DeviceName();
    node.host = kScsiHost;
    node.target = int(i);
    node.peripheralType = kCdDvdPeripheralType;
    nodes.append(node);
  }
  return nodes;
}

QList<ScsiNode> VirtualDriveHost::GenericDevices() { return BlockDevices(); }

// ---- set-up from the environment -------------------------------------------------------------

std::optional<QList<SectorFault>> ParseFaultList(const QString& text, QString* error) {
  QList<SectorFault> faults;
  for (const QString& entry : text.split(',', Qt::SkipEmptyParts)) {
    const bool sameWrongAudio = entry.contains('^');
    const bool wrongAudio = sameWrongAudio || entry.contains('~');
    const QStringList parts = entry.trimmed().split(sameWrongAudio ? '^' : wrongAudio ? '~' : ':');
    bool lbaOk = false;
    bool timesOk = parts.size() == 1 && !wrongAudio;
    const int lba = parts[0].toInt(&lbaOk);
    const int times = parts.size() == 2 ? parts[1].toInt(&timesOk) : -1;
    if (!lbaOk || !timesOk || lba < 0 || parts.size() > 2 || (parts.size() == 2 && times < 1)) {
      if (error)
        *error = QStringLiteral(
                     "KORVANE_VIRTUAL_FAULTS: \"%1\" is not LBA, LBA:count, LBA~count or LBA^count")
                     .arg(entry.trimmed());
      return std::nullopt;
    }
    faults.append({lba, times, wrongAudio, sameWrongAudio});
  }
  return faults;
}

namespace {

bool SystemHasRealDrive(VirtualDriveHost& virtualHost) {
  QStringList ours;
  for (const ScsiNode& node : virtualHost.BlockDevices()) ours.append(node.path);
  const QList<ScsiNode> all = CurrentScsiHost().BlockDevices();
  return std::any_of(all.begin(), all.end(),
                     [&](const ScsiNode& node) { return !ours.contains(node.path); });
}

}  // namespace

bool SetUpVirtualDriveFromEnvironment(QString* error) {
  std::optional<QList<SectorFault>> faults;
  if (qEnvironmentVariableIsSet("KORVANE_VIRTUAL_FAULTS")) {
    faults = ParseFaultList(qEnvironmentVariable("KORVANE_VIRTUAL_FAULTS"), error);
    if (!faults) return false;
  }
  std::optional<double> speed;
  if (qEnvironmentVariableIsSet("KORVANE_VIRTUAL_SPEED")) {
    bool ok = false;
    speed = qEnvironmentVariable("KORVANE_VIRTUAL_SPEED").trimmed().toDouble(&ok);
    if (!ok || *speed < 0 || !std::isfinite(*speed)) {
      if (error)
        *error = QStringLiteral("KORVANE_VIRTUAL_SPEED: \"%1\" is not an x-speed")
                     .arg(qEnvironmentVariable("KORVANE_VIRTUAL_SPEED"));
      return false;
    }
  }

  std::optional<int> offset;
  if (qEnvironmentVariableIsSet("KORVANE_VIRTUAL_OFFSET")) {
    bool ok = false;
    offset = qEnvironmentVariable("KORVANE_VIRTUAL_OFFSET").trimmed().toInt(&ok);
    if (!ok) {
      if (error)
        *error = QStringLiteral("KORVANE_VIRTUAL_OFFSET: \"%1\" is not a number of frames")
                     .arg(qEnvironmentVariable("KORVANE_VIRTUAL_OFFSET"));
      return false;
    }
  }

  VirtualDriveHost& host = VirtualDriveHost::Instance();
  VirtualDrive& drive = host.Drive(0);
  const QString disc = qEnvironmentVariable("KORVANE_VIRTUAL_DISC").trimmed();
  if (disc.compare("demo", Qt::CaseInsensitive) == 0) {
    drive.LoadDemo();
  } else if (!disc.isEmpty()) {
    if (!drive.LoadCue(disc, error)) return false;
  } else if (!SystemHasRealDrive(host)) {
    if (!drive.HasDisc()) drive.LoadDemo();
    host.SetListed(true);
  }
  if (faults) {
    drive.ClearFaults();
    for (const SectorFault& fault : *faults) {
      if (fault.wrongAudio) {
        drive.CorruptSector(fault.lba, fault.times, fault.sameWrongAudio);
      } else {
        drive.FailSector(fault.lba, fault.times);
      }
    }
  }
  if (speed) drive.SetReadThrottleX(*speed);
  if (offset) drive.SetReadOffset(*offset);
  if (qEnvironmentVariableIsSet("KORVANE_VIRTUAL_C2"))
    drive.SetC2Pointers(qEnvironmentVariable("KORVANE_VIRTUAL_C2").trimmed() == "1");
  return true;
}
