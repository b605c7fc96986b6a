#pragma once
#include <QByteArray>
#include <QString>
#include <vector>

#include "net/async_socket.h"

// A socket that records what happens to it: events with their errors, proxy statuses, and
// the bytes received. It can send a line once connected.
class ProbeSocket : public CAsyncSocketEx {
 public:
  struct Event {
    int event;
    int error;
    bool operator==(const Event&) const = default;
  };

  std::vector<Event> events;
  std::vector<LayerStatus> proxyStatuses;
  std::vector<std::pair<int, int>> stateChanges;  // (new, old)
  QByteArray received;
  QByteArray sendOnConnect;
  bool closeOnReceive = false;

  bool Connected() const { return Saw(Net::FD_CONNECT, 0); }
  bool Failed() const {
    for (const Event& e : events) {
      if (e.event == Net::FD_CONNECT && e.error != 0) return true;
    }
    return false;
  }
  bool Saw(int event, int error) const {
    for (const Event& e : events) {
      if (e.event == event && e.error == error) return true;
    }
    return false;
  }

 protected:
  void OnConnect(int error) override {
    events.push_back({Net::FD_CONNECT, error});
    if (!error && !sendOnConnect.isEmpty()) Send(sendOnConnect.constData(), sendOnConnect.size());
  }
  void OnReceive(int error) override {
    events.push_back({Net::FD_READ, error});
    char buffer[4096];
    int got;
    while ((got = Receive(buffer, sizeof buffer)) > 0) received.append(buffer, got);
    if (closeOnReceive) Close();
  }
  void OnSend(int error) override { events.push_back({Net::FD_WRITE, error}); }
  void OnClose(int error) override { events.push_back({Net::FD_CLOSE, error}); }
  int OnLayerStatus(SocketLayer*, const LayerStatus& status) override {
    if (status.kind == LayerStatus::kProxyStatus) proxyStatuses.push_back(status);
    if (status.kind == LayerStatus::kStateChange)
      stateChanges.emplace_back(status.param1, status.param2);
    return 1;
  }
};
