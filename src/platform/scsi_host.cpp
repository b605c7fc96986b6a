#include "platform/scsi_host.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>
#include <vector>

#include "platform/sg_io.h"

namespace {

constexpr int kMaxBlockDevice = 31;  // /dev/sr0 .. /dev/sr31

int OpenNode(const QString& path, bool readWrite) {
  const int fd = ::open(QFile::encodeName(path).constData(),
                        (readWrite ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
  return fd >= 0 ? fd : -errno;
}

QString ReadSysfsLine(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromLatin1(file.readLine()).trimmed();
}

// "/sys/.../device" links to a folder named "H:C:T:L".
void FillAddressFromSysfs(const QString& deviceLink, ScsiNode& node) {
  const QStringList parts = QFileInfo(deviceLink).canonicalFilePath().section('/', -1).split(':');
  if (parts.size() != 4) return;
  node.host = parts[0].toInt();
  node.channel = parts[1].toInt();
  node.target = parts[2].toInt();
  node.lun = parts[3].toInt();
}

// The nodes "<prefix>N" under /dev in number order.
QList<int> NumberedNodes(const QString& prefix) {
  QList<int> numbers;
  const QRegularExpression pattern('^' + prefix + "(\\d+)$");
  for (const QString& entry : QDir("/dev").entryList(QDir::System | QDir::Files)) {
    const QRegularExpressionMatch match = pattern.match(entry);
    if (match.hasMatch()) numbers.append(match.captured(1).toInt());
  }
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

// The block device (srM) that the sysfs tree shows under a generic device, if any.
QString BlockNameOfGeneric(const QString& sgName) {
  const QStringList blocks = QDir("/sys/class/scsi_generic/" + sgName + "/device/block")
                                 .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  return blocks.isEmpty() ? QString() : blocks.first();
}

// The real device nodes of this machine.
class SystemScsiHost final : public ScsiHost {
 public:
  int Open(const QString& path, bool readWrite) override { return OpenNode(path, readWrite); }
  void Close(int handle) override {
    if (handle >= 0) ::close(handle);
  }
  int SendCommand(int handle, ScsiCommand& command) override {
    sg_io_hdr_t header = SgIoHeader(command);
    if (::ioctl(handle, SG_IO, &header) != 0) return -errno;
    TakeSgIoReply(header, command);
    return 0;
  }
  int DriveStatus(int handle) override {
    const int status = ::ioctl(handle, CDROM_DRIVE_STATUS, CDSL_CURRENT);
    return status >= 0 ? DriveStateOfCdromStatus(status) : -errno;
  }

  QList<ScsiNode> BlockDevices() override {
    QList<ScsiNode> nodes;
    for (int n = 0; n <= kMaxBlockDevice; ++n) {
      ScsiNode node;
      node.name = QString("sr%1").arg(n);
      node.path = "/dev/" + node.name;
      if (!QFileInfo::exists(node.path)) continue;
      const QString device = "/sys/class/block/" + node.name + "/device";
      FillAddressFromSysfs(device, node);
      bool known = false;
      const int type = ReadSysfsLine(device + "/type").toInt(&known);
      if (known) node.peripheralType = type;
      nodes.append(node);
    }
    return nodes;
  }

  QList<ScsiNode> GenericDevices() override {
    QList<ScsiNode> nodes;
    for (int n : NumberedNodes("sg")) {
      ScsiNode node;
      node.path = QString("/dev/sg%1").arg(n);
      const QString sgName = node.path.mid(5);
      const int fd = OpenNode(node.path, false);
      if (fd < 0) continue;
      sg_scsi_id id{};
      const bool known = ::ioctl(fd, SG_GET_SCSI_ID, &id) == 0;
      ::close(fd);
      if (!known) continue;
      node.host = id.host_no;
      node.channel = id.channel;
      node.target = id.scsi_id;
      node.lun = id.lun;
      node.peripheralType = id.scsi_type;
      // A generic device is known to the user by its block device; one without is
      // known by its own name.
      const QString block = BlockNameOfGeneric(sgName);
      node.name = block.isEmpty() ? sgName : block;
      nodes.append(node);
    }
    return nodes;
  }
};

// The system's nodes plus those of the emulated hosts. Handles are this host's own; each
// maps to the host that opened the node and that host's handle.
class CompositeScsiHost final : public ScsiHost {
 public:
  void Add(ScsiHost* host) {
    std::lock_guard lock(mutex_);
    if (std::find(emulated_.begin(), emulated_.end(), host) == emulated_.end())
      emulated_.push_back(host);
  }
  void Remove(ScsiHost* host) {
    std::lock_guard lock(mutex_);
    std::erase(emulated_, host);
    std::erase_if(open_, [host](const auto& entry) { return entry.second.host == host; });
    std::erase_if(emulatedPaths_, [host](const auto& entry) { return entry.second == host; });
  }

  int Open(const QString& path, bool readWrite) override {
    ScsiHost* owner = OwnerOfPath(path);
    const int inner = owner->Open(path, readWrite);
    if (inner < 0) return inner;
    std::lock_guard lock(mutex_);
    const int handle = nextHandle_++;
    if (nextHandle_ < 0) nextHandle_ = 0;
    open_[handle] = {owner, inner};
    return handle;
  }
  void Close(int handle) override {
    Route entry;
    {
      std::lock_guard lock(mutex_);
      auto it = open_.find(handle);
      if (it == open_.end()) return;
      entry = it->second;
      open_.erase(it);
    }
    entry.host->Close(entry.inner);
  }
  int SendCommand(int handle, ScsiCommand& command) override {
    const Route entry = Find(handle);
    return entry.host ? entry.host->SendCommand(entry.inner, command) : -EBADF;
  }
  int DriveStatus(int handle) override {
    const Route entry = Find(handle);
    return entry.host ? entry.host->DriveStatus(entry.inner) : -EBADF;
  }
  QList<ScsiNode> BlockDevices() override { return Collect(&ScsiHost::BlockDevices); }
  QList<ScsiNode> GenericDevices() override { return Collect(&ScsiHost::GenericDevices); }

 private:
  struct Route {
    ScsiHost* host = nullptr;
    int inner = -1;
  };

  Route Find(int handle) {
    std::lock_guard lock(mutex_);
    auto it = open_.find(handle);
    return it == open_.end() ? Route{} : it->second;
  }

  // Paths under /dev belong to the system; any other path to the emulated host that
  // listed it (asking the hosts again when the path is new).
  ScsiHost* OwnerOfPath(const QString& path) {
    if (path.startsWith('/')) return &system_;
    {
      std::lock_guard lock(mutex_);
      auto it = emulatedPaths_.find(path);
      if (it != emulatedPaths_.end()) return it->second;
    }
    Collect(&ScsiHost::BlockDevices);
    Collect(&ScsiHost::GenericDevices);
    std::lock_guard lock(mutex_);
    auto it = emulatedPaths_.find(path);
    return it != emulatedPaths_.end() ? it->second : &system_;
  }

  QList<ScsiNode> Collect(QList<ScsiNode> (ScsiHost::*list)()) {
    QList<ScsiNode> nodes = (system_.*list)();
    std::vector<ScsiHost*> hosts;
    {
      std::lock_guard lock(mutex_);
      hosts = emulated_;
    }
    for (ScsiHost* host : hosts) {
      const QList<ScsiNode> own = (host->*list)();
      std::lock_guard lock(mutex_);
      for (const ScsiNode& node : own) emulatedPaths_[node.path] = host;
      nodes += own;
    }
    return nodes;
  }

  SystemScsiHost system_;
  std::mutex mutex_;
  std::vector<ScsiHost*> emulated_;
  std::map<QString, ScsiHost*> emulatedPaths_;
  std::map<int, Route> open_;
  int nextHandle_ = 0;
};

CompositeScsiHost& Composite() {
  static CompositeScsiHost composite;
  return composite;
}

std::atomic<ScsiHost*>& Installed() {
  static std::atomic<ScsiHost*> installed{nullptr};
  return installed;
}

}  // namespace

ScsiHost& CurrentScsiHost() {
  ScsiHost* installed = Installed().load();
  return installed ? *installed : Composite();
}

void AddEmulatedHost(ScsiHost* host) { Composite().Add(host); }

void RemoveEmulatedHost(ScsiHost* host) { Composite().Remove(host); }

void InstallScsiHost(ScsiHost* host) { Installed().store(host); }
