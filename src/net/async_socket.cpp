#include "net/async_socket.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>
#include <QtEndian>

#include "net/socket_dispatcher.h"
#include "net/socket_layer.h"
#include "platform/codepage.h"

namespace {

int Fail(int error) {
  Net::SetLastError(error);
  return 0;
}

}  // namespace

CAsyncSocketEx::CAsyncSocketEx() = default;

CAsyncSocketEx::~CAsyncSocketEx() {
  Close();
  if (dispatcher_) SocketDispatcher::Release(dispatcher_);
}

bool CAsyncSocketEx::AttachDispatcher() {
  if (!dispatcher_) dispatcher_ = SocketDispatcher::Attach();
  return dispatcher_ != nullptr;
}

bool CAsyncSocketEx::Create(int eventMask) {
  if (handle_ != -1) return Fail(kSocketAlreadyOpen);
  if (!AttachDispatcher()) return Fail(Net::kErrorNoEventLoop);
  if (firstLayer_) return firstLayer_->Create(eventMask);
  return CreateHandle(eventMask);
}

bool CAsyncSocketEx::CreateHandle(int eventMask, int adopted) {
  if (handle_ != -1) return Fail(kSocketAlreadyOpen);
  if (!AttachDispatcher()) return Fail(Net::kErrorNoEventLoop);
  handle_ = adopted;
  if (adopted == -1) {
    if (const int error = OpenStreamSocket(handle_)) return Fail(error);
  }
  slot_ = dispatcher_->Table().Add(this);
  if (slot_ < 0) {
    CloseSocket(handle_);
    handle_ = -1;
    return Fail(kSocketTooMany);
  }
  serial_ = dispatcher_->NextSerial();
  eventMask_ = eventMask;
  connecting_ = listening_ = peerClosed_ = false;

  const int slot = slot_;
  const uint64_t serial = serial_;
  SocketDispatcher* d = dispatcher_;
  readNotifier_ = std::make_unique<QSocketNotifier>(handle_, QSocketNotifier::Read);
  readNotifier_->setEnabled(false);
  QObject::connect(readNotifier_.get(), &QSocketNotifier::activated, d,
                   [d, slot, serial] { d->OnReadable(slot, serial); });
  writeNotifier_ = std::make_unique<QSocketNotifier>(handle_, QSocketNotifier::Write);
  writeNotifier_->setEnabled(false);
  QObject::connect(writeNotifier_.get(), &QSocketNotifier::activated, d,
                   [d, slot, serial] { d->OnWritable(slot, serial); });

  if (adopted != -1) return true;
  if (const int error = BindToAnyAddress(handle_)) {
    Close();
    return Fail(error);
  }
  return true;
}

bool CAsyncSocketEx::AttachLayer(SocketLayer* layer) {
  if (handle_ != -1 || !layer) return Fail(kSocketInvalidArgument);
  layer->socket_ = this;
  layer->lower_ = nullptr;
  layer->upper_ = nullptr;
  if (!firstLayer_) {
    firstLayer_ = lastLayer_ = layer;
  } else {
    lastLayer_->lower_ = layer;
    layer->upper_ = lastLayer_;
    lastLayer_ = layer;
  }
  return true;
}

namespace {

// Close may run inside the notifier's own signal, so the notifier goes later.
void Retire(std::unique_ptr<QSocketNotifier>& notifier) {
  if (!notifier) return;
  notifier->setEnabled(false);
  notifier.release()->deleteLater();
}

}  // namespace

void CAsyncSocketEx::Close() {
  if (firstLayer_) firstLayer_->Close();
  Retire(readNotifier_);
  Retire(writeNotifier_);
  if (handle_ != -1) {
    CloseSocket(handle_);
    handle_ = -1;
  }
  if (dispatcher_ && slot_ >= 0) dispatcher_->Table().Remove(slot_);
  slot_ = -1;
  firstLayer_ = lastLayer_ = nullptr;
  CancelLookup();
  connecting_ = listening_ = peerClosed_ = false;
}

void CAsyncSocketEx::CancelLookup() {
  if (lookupId_ != -1) QHostInfo::abortHostLookup(lookupId_);
  lookupId_ = -1;
}

bool CAsyncSocketEx::Connect(const QByteArray& host, uint16_t port) {
  if (firstLayer_) return firstLayer_->Connect(Ansi::Decode(host), port);
  Ipv4Endpoint address{0, port};
  if (ParseIpv4(host, address.address)) return Connect(address);
  if (handle_ == -1) return Fail(kSocketNotOpen);
  CancelLookup();
  StartLookup(Ansi::Decode(host), port);
  Net::SetLastError(kSocketWouldBlock);
  return true;
}

void CAsyncSocketEx::StartLookup(const QString& host, uint16_t port) {
  lookupPort_ = port;
  const int slot = slot_;
  const uint64_t serial = serial_;
  SocketDispatcher* d = dispatcher_;
  lookupId_ = QHostInfo::lookupHost(host, d, [d, slot, serial](const QHostInfo& info) {
    for (const QHostAddress& a : info.addresses()) {
      if (a.protocol() == QAbstractSocket::IPv4Protocol) {
        d->OnLookupDone(slot, serial, qToBigEndian(a.toIPv4Address()), 0);
        return;
      }
    }
    d->OnLookupDone(slot, serial, 0, kSocketHostUnreachable);
  });
}

bool CAsyncSocketEx::Connect(const Ipv4Endpoint& address) {
  if (firstLayer_) return firstLayer_->Connect(address);
  return RawConnect(address);
}

bool CAsyncSocketEx::RawConnect(const Ipv4Endpoint& address) {
  if (handle_ == -1) return Fail(kSocketNotOpen);
  const int result = ConnectSocket(handle_, address);
  if (result != 0 && result != kSocketWouldBlock) return Fail(result);
  // Completion (or an immediate success) is reported from write readiness as FD_CONNECT.
  connecting_ = true;
  ArmWrite(true);
  if (result != 0) return Fail(kSocketWouldBlock);
  return true;
}

int CAsyncSocketEx::Receive(void* buffer, int length, int flags) {
  if (firstLayer_) return firstLayer_->Receive(buffer, length, flags);
  return RawReceive(buffer, length, flags);
}

int CAsyncSocketEx::RawReceive(void* buffer, int length, int flags) {
  if (handle_ == -1) return Fail(kSocketNotOpen), -1;
  int error = 0;
  const int got = ReceiveFromSocket(handle_, buffer, length, flags, error);
  // Reading is what asks for the next FD_READ.
  if (!peerClosed_ && !listening_) ArmRead(true);
  if (got < 0) return Fail(error), -1;
  return got;
}

int CAsyncSocketEx::Send(const void* buffer, int length, int flags) {
  if (firstLayer_) return firstLayer_->Send(buffer, length, flags);
  return RawSend(buffer, length, flags);
}

int CAsyncSocketEx::RawSend(const void* buffer, int length, int flags) {
  if (handle_ == -1) return Fail(kSocketNotOpen), -1;
  int error = 0;
  const int sent = SendToSocket(handle_, buffer, length, flags, error);
  if (sent < 0) {
    if (error == kSocketWouldBlock) ArmWrite(true);  // FD_WRITE once there is room again
    return Fail(error), -1;
  }
  return sent;
}

bool CAsyncSocketEx::Listen(int backlog) {
  if (firstLayer_) return firstLayer_->Listen(backlog);
  return RawListen(backlog);
}

bool CAsyncSocketEx::RawListen(int backlog) {
  if (handle_ == -1) return Fail(kSocketNotOpen);
  if (const int error = ListenOnSocket(handle_, backlog)) return Fail(error);
  listening_ = true;
  ArmRead(true);
  return true;
}

bool CAsyncSocketEx::Accept(CAsyncSocketEx& connected) {
  if (firstLayer_) return firstLayer_->Accept(connected);
  return RawAccept(connected);
}

bool CAsyncSocketEx::RawAccept(CAsyncSocketEx& connected) {
  if (handle_ == -1) return Fail(kSocketNotOpen);
  if (connected.handle_ != -1) return Fail(kSocketAlreadyOpen);
  if (!connected.AttachDispatcher()) return Fail(Net::kErrorNoEventLoop);
  int accepted = -1;
  const int error = AcceptOnSocket(handle_, accepted);
  ArmRead(true);
  if (error) return Fail(error);
  if (!connected.CreateHandle(eventMask_, accepted)) {
    CloseSocket(accepted);
    return false;
  }
  connected.ArmRead(true);
  return true;
}

bool CAsyncSocketEx::GetPeerName(QString& address, uint16_t& port) {
  if (firstLayer_) return firstLayer_->GetPeerName(address, port);
  if (handle_ == -1) return Fail(kSocketNotOpen);
  Ipv4Endpoint peer;
  if (const int error = PeerOfSocket(handle_, peer)) return Fail(error);
  address = DottedIpv4(peer.address);
  port = peer.port;
  return true;
}

bool CAsyncSocketEx::ShutDown(int how) {
  if (firstLayer_) return firstLayer_->ShutDown(how);
  if (handle_ == -1) return Fail(kSocketNotOpen);
  const int error = ShutDownSocket(handle_, how);
  return error == 0 || Fail(error);
}

void CAsyncSocketEx::ArmRead(bool on) {
  if (readNotifier_ && readNotifier_->isEnabled() != on) readNotifier_->setEnabled(on);
}

void CAsyncSocketEx::ArmWrite(bool on) {
  if (writeNotifier_ && writeNotifier_->isEnabled() != on) writeNotifier_->setEnabled(on);
}

void CAsyncSocketEx::DeliverToHandler(int event, int error) {
  switch (event) {
    case Net::FD_READ:
    case Net::FD_FORCEREAD: OnReceive(error); break;
    case Net::FD_WRITE: OnSend(error); break;
    case Net::FD_ACCEPT: OnAccept(error); break;
    case Net::FD_CONNECT: OnConnect(error); break;
    case Net::FD_CLOSE: OnClose(error); break;
    default: break;
  }
}
