#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

#include "net/socket_error.h"
#include "platform/socket.h"

class SocketDispatcher;
class SocketLayer;
class QSocketNotifier;

// What a layer reports to its socket's OnLayerStatus.
struct LayerStatus {
  enum Kind { kStateChange = 0, kProxyStatus = 1 };
  int kind = kStateChange;
  int param1 = 0;  // new state, or the proxy status code
  int param2 = 0;  // old state
  QString text;    // proxy code 2: the HTTP proxy's status line, when there is one
  // Proxy code 8: where the proxy listens for us, network byte order.
  uint32_t address = 0;
  uint16_t port = 0;
};

// A non-blocking IPv4 TCP socket whose network events arrive as calls of its On* handlers
// on the thread that created it, from that thread's event loop. A chain of layers
// (a proxy, say) can sit between the socket and the network.
//
// Failures return false (or -1 for Receive/Send) and leave the reason in Net::LastError();
// a connection still being made fails with kSocketWouldBlock and completes with OnConnect.
class CAsyncSocketEx {
 public:
  CAsyncSocketEx();
  virtual ~CAsyncSocketEx();
  CAsyncSocketEx(const CAsyncSocketEx&) = delete;
  CAsyncSocketEx& operator=(const CAsyncSocketEx&) = delete;

  virtual bool Accept(CAsyncSocketEx& connected);
  virtual void Close();
  virtual bool Connect(const Ipv4Endpoint& address);
  // host: narrow (Windows-1252) text, a dotted address or a name to look up.
  virtual bool Connect(const QByteArray& host, uint16_t port);
  virtual int Receive(void* buffer, int length, int flags = 0);
  virtual int Send(const void* buffer, int length, int flags = 0);

  // A stream socket bound to any address and port 0, with every event requested.
  bool Create(int eventMask = Net::FD_ALL_EVENTS);
  // Only while no socket exists. The layer is not owned; it must outlive the socket's use.
  bool AttachLayer(SocketLayer* layer);
  bool Listen(int backlog = 5);
  bool GetPeerName(QString& address, uint16_t& port);
  bool ShutDown(int how = kShutDownSending);

  int Handle() const { return handle_; }
  int Slot() const { return slot_; }
  int EventMask() const { return eventMask_; }
  bool HasLayers() const { return firstLayer_ != nullptr; }

 protected:
  virtual void OnAccept(int error) { (void)error; }
  virtual void OnClose(int error) { (void)error; }
  virtual void OnConnect(int error) { (void)error; }
  virtual void OnReceive(int error) { (void)error; }
  virtual void OnSend(int error) { (void)error; }
  virtual int OnLayerStatus(SocketLayer* layer, const LayerStatus& status) {
    (void)layer;
    (void)status;
    return 1;
  }

 private:
  friend class SocketDispatcher;
  friend class SocketLayer;

  // The system socket under the chain, shared by the socket and its lowest layer.
  // adopted: an accepted descriptor to take over instead of a new one.
  bool CreateHandle(int eventMask, int adopted = -1);
  bool RawConnect(const Ipv4Endpoint& address);
  int RawReceive(void* buffer, int length, int flags);
  int RawSend(const void* buffer, int length, int flags);
  bool RawAccept(CAsyncSocketEx& connected);
  bool RawListen(int backlog);
  bool AttachDispatcher();
  void ArmRead(bool on);
  void ArmWrite(bool on);
  void DeliverToHandler(int event, int error);
  void CancelLookup();
  void StartLookup(const QString& host, uint16_t port);

  int handle_ = -1;
  int slot_ = -1;
  uint64_t serial_ = 0;  // tells this socket's events from those of an earlier one in the slot
  int eventMask_ = 0;
  SocketDispatcher* dispatcher_ = nullptr;
  std::unique_ptr<QSocketNotifier> readNotifier_;
  std::unique_ptr<QSocketNotifier> writeNotifier_;
  bool connecting_ = false;
  bool listening_ = false;
  bool peerClosed_ = false;
  int lookupId_ = -1;
  uint16_t lookupPort_ = 0;
  SocketLayer* firstLayer_ = nullptr;
  SocketLayer* lastLayer_ = nullptr;
};
