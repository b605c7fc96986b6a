#include "net/socket_layer.h"

#include "net/async_socket.h"
#include "net/socket_dispatcher.h"
#include "platform/codepage.h"

namespace {

bool Fail(int error) {
  Net::SetLastError(error);
  return false;
}

}  // namespace

bool ResolveIpv4(const QString& host, uint32_t& address) {
  return ResolveIpv4(Ansi::Encode(host), address);
}

// ---- calls going down -------------------------------------------------------------

bool SocketLayer::Create(int eventMask) {
  const bool created = lower_ ? lower_->Create(eventMask) : socket_->CreateHandle(eventMask);
  if (created) SetState(kUnconnected);
  return created;
}

void SocketLayer::Close() {
  if (lower_) lower_->Close();
  pendingError_ = 0;
  SetState(kNone);
}

bool SocketLayer::ConnectNext(const Ipv4Endpoint& address) {
  return lower_ ? lower_->Connect(address) : socket_->RawConnect(address);
}

bool SocketLayer::ConnectNext(const QString& host, uint16_t port) {
  if (lower_) return lower_->Connect(host, port);
  Ipv4Endpoint address{0, port};
  if (!ResolveIpv4(host, address.address)) return Fail(kSocketInvalidArgument);
  return socket_->RawConnect(address);
}

bool SocketLayer::Connect(const Ipv4Endpoint& address) {
  const bool connected = ConnectNext(address);
  if (connected || Net::LastError() == kSocketWouldBlock) SetState(kConnecting);
  return connected;
}

bool SocketLayer::Connect(const QString& host, uint16_t port) {
  const bool connected = ConnectNext(host, port);
  if (connected || Net::LastError() == kSocketWouldBlock) SetState(kConnecting);
  return connected;
}

bool SocketLayer::CheckUsable() {
  if (pendingError_) return Fail(pendingError_);
  if (state_ == kNone) return Fail(kSocketNotOpen);
  if (state_ >= kUnconnected && state_ <= kListening) return Fail(kSocketNotConnected);
  return true;
}

int SocketLayer::ReceiveNext(void* buffer, int length, int flags) {
  return lower_ ? lower_->Receive(buffer, length, flags)
                : socket_->RawReceive(buffer, length, flags);
}

int SocketLayer::SendNext(const void* buffer, int length, int flags) {
  return lower_ ? lower_->Send(buffer, length, flags) : socket_->RawSend(buffer, length, flags);
}

int SocketLayer::Receive(void* buffer, int length, int flags) {
  if (!CheckUsable()) return -1;
  return ReceiveNext(buffer, length, flags);
}

int SocketLayer::Send(const void* buffer, int length, int flags) {
  if (!CheckUsable()) return -1;
  return SendNext(buffer, length, flags);
}

bool SocketLayer::Listen(int backlog) {
  const bool listening = lower_ ? lower_->Listen(backlog) : socket_->RawListen(backlog);
  if (listening) SetState(kListening);
  return listening;
}

bool SocketLayer::Accept(CAsyncSocketEx& connected) {
  return lower_ ? lower_->Accept(connected) : socket_->RawAccept(connected);
}

bool SocketLayer::ShutDown(int how) {
  for (SocketLayer* layer = this; layer; layer = layer->lower_) {
    if (layer->pendingError_) return Fail(layer->pendingError_);
    if (layer->state_ == kNone) return Fail(kSocketNotOpen);
    if (layer->state_ != kConnected) return Fail(kSocketNotConnected);
  }
  const int error = ShutDownSocket(socket_->Handle(), how);
  return error == 0 || Fail(error);
}

bool SocketLayer::GetPeerName(Ipv4Endpoint& address) {
  if (lower_) return lower_->GetPeerName(address);
  const int error = PeerOfSocket(socket_->Handle(), address);
  return error == 0 || Fail(error);
}

bool SocketLayer::GetPeerName(QString& address, uint16_t& port) {
  Ipv4Endpoint peer;
  if (!GetPeerName(peer)) return false;
  address = DottedIpv4(peer.address);
  port = peer.port;
  return true;
}

// ---- events going up --------------------------------------------------------------

void SocketLayer::CallEvent(int event, int error) {
  if (pendingError_) return;
  if (error) pendingError_ = error;
  switch (event) {
    case Net::FD_CONNECT:
      if (state_ != kConnecting) return;
      SetState(error ? kAborted : kConnected);
      return OnConnect(error);
    case Net::FD_CLOSE:
      if (state_ != kConnected) return;
      SetState(error ? kAborted : kClosed);
      return OnClose(error);
    case Net::FD_READ:
    case Net::FD_FORCEREAD:
      if (state_ != kConnected) return;
      if (error) SetState(kAborted);
      return OnReceive(error);
    case Net::FD_WRITE:
      if (state_ != kConnected) return;
      if (error) SetState(kAborted);
      return OnSend(error);
    case Net::FD_ACCEPT:
      if (state_ != kListening) return;
      SetState(error ? kAborted : kConnected);
      return OnAccept(error);
    default: return;
  }
}

void SocketLayer::TriggerEvent(int event, int error) {
  if (event == Net::FD_CONNECT && error) SetState(kAborted);
  if (event == Net::FD_CLOSE) SetState(error ? kAborted : kClosed);
  if (socket_->dispatcher_) socket_->dispatcher_->PostLayerEvent(*socket_, upper_, event, error);
}

void SocketLayer::OnAccept(int error) { TriggerEvent(Net::FD_ACCEPT, error); }
void SocketLayer::OnClose(int error) { TriggerEvent(Net::FD_CLOSE, error); }
void SocketLayer::OnConnect(int error) { TriggerEvent(Net::FD_CONNECT, error); }
void SocketLayer::OnReceive(int error) { TriggerEvent(Net::FD_READ, error); }
void SocketLayer::OnSend(int error) { TriggerEvent(Net::FD_WRITE, error); }

int SocketLayer::DoLayerCallback(const LayerStatus& status) {
  Net::LastErrorGuard keep;
  return socket_->OnLayerStatus(this, status);
}

void SocketLayer::SetState(int state) {
  if (state == state_) return;
  const int old = state_;
  state_ = state;
  if (!socket_) return;
  LayerStatus change;
  change.kind = LayerStatus::kStateChange;
  change.param1 = state;
  change.param2 = old;
  DoLayerCallback(change);
}
