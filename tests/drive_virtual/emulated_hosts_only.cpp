// The platform's host list for builds whose platform layer has no system back end yet: a
// machine without optical drives, where only the emulated hosts list and answer nodes.
#include <QList>
#include <algorithm>

#include "platform/scsi_host.h"

namespace {

class EmulatedHostsOnly : public ScsiHost {
 public:
  QList<ScsiHost*> hosts;

  int Open(const QString& path, bool readWrite) override {
    for (int i = 0; i < hosts.size(); ++i) {
      const int handle = hosts[i]->Open(path, readWrite);
      if (handle >= 0) {
        opened_.append({handle, hosts[i]});
        return int(opened_.size()) - 1;
      }
    }
    return -2;  // ENOENT
  }
  void Close(int handle) override {
    if (Valid(handle)) opened_[handle].second->Close(opened_[handle].first);
  }
  int SendCommand(int handle, sg_io_hdr_t& hdr) override {
    return Valid(handle) ? opened_[handle].second->SendCommand(opened_[handle].first, hdr) : -9;
  }
  int DriveStatus(int handle) override {
    return Valid(handle) ? opened_[handle].second->DriveStatus(opened_[handle].first) : -9;
  }
  QList<ScsiNode> BlockDevices() override {
    QList<ScsiNode> nodes;
    for (ScsiHost* host : hosts) nodes += host->BlockDevices();
    return nodes;
  }
  QList<ScsiNode> GenericDevices() override {
    QList<ScsiNode> nodes;
    for (ScsiHost* host : hosts) nodes += host->GenericDevices();
    return nodes;
  }

 private:
  bool Valid(int handle) const { return handle >= 0 && handle < opened_.size(); }
  QList<std::pair<int, ScsiHost*>> opened_;
};

EmulatedHostsOnly& Composite() {
  static EmulatedHostsOnly composite;
  return composite;
}

}  // namespace

ScsiHost& CurrentScsiHost() { return Composite(); }
void AddEmulatedHost(ScsiHost* host) { Composite().hosts.append(host); }
void RemoveEmulatedHost(ScsiHost* host) { Composite().hosts.removeAll(host); }
