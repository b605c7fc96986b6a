#pragma once
#include <QString>
#include <cstdint>

#include "platform/socket.h"

class CAsyncSocketEx;
struct LayerStatus;

// One link in a socket's layer chain. Calls go down (toward the network) through the
// lower layer and end at the system socket; events come up from the socket's event loop
// through the upper layers to the socket's handlers. The base class passes everything
// straight through.
class SocketLayer {
 public:
  enum State { kNone = 0, kUnconnected, kConnecting, kListening, kConnected, kClosed, kAborted };

  SocketLayer() = default;
  virtual ~SocketLayer() = default;
  SocketLayer(const SocketLayer&) = delete;
  SocketLayer& operator=(const SocketLayer&) = delete;

  int LayerState() const { return state_; }

 protected:
  friend class CAsyncSocketEx;
  friend class SocketDispatcher;

  virtual void OnAccept(int error);
  virtual void OnClose(int error);
  virtual void OnConnect(int error);
  virtual void OnReceive(int error);
  virtual void OnSend(int error);

  virtual bool Accept(CAsyncSocketEx& connected);
  virtual void Close();
  virtual bool Connect(const Ipv4Endpoint& address);
  virtual bool Connect(const QString& host, uint16_t port);
  virtual bool Create(int eventMask);
  virtual bool GetPeerName(QString& address, uint16_t& port);
  virtual bool GetPeerName(Ipv4Endpoint& address);
  virtual bool Listen(int backlog);
  virtual int Receive(void* buffer, int length, int flags);
  virtual int Send(const void* buffer, int length, int flags);
  virtual bool ShutDown(int how);

  // The next layer down, or the system socket at the bottom.
  bool ConnectNext(const Ipv4Endpoint& address);
  bool ConnectNext(const QString& host, uint16_t port);
  int ReceiveNext(void* buffer, int length, int flags);
  int SendNext(const void* buffer, int length, int flags);

  // Passes an event up to the upper layer, or to the socket's handler, through the event
  // loop.
  void TriggerEvent(int event, int error);
  // Reports to the socket's OnLayerStatus with the last error kept.
  int DoLayerCallback(const LayerStatus& status);
  void SetState(int state);

  CAsyncSocketEx* socket_ = nullptr;
  SocketLayer* lower_ = nullptr;
  SocketLayer* upper_ = nullptr;

 private:
  // An event from the layer below or the event loop.
  void CallEvent(int event, int error);
  bool CheckUsable();

  int state_ = kNone;
  int pendingError_ = 0;
};

// Resolves a dotted address or a host name (narrow text) with a blocking lookup (first IPv4
// address, network byte order).
bool ResolveIpv4(const QString& host, uint32_t& address);
