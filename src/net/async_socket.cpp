#include "net/async_socket.h"

#include <arpa/inet.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>

#include "net/socket_dispatcher.h"
#include "net/socket_layer.h"
#include "platform/codepage.h"

namespace {

int Fail(int error) {
  Net::SetLastError(error);
  return 0;
}

// A pending result of a non-blocking call reads as the one "would block" error.
int NormalisedErrno() { return errno == EAGAIN || errno == EINPROGRESS ? EWOULDBLOCK : errno; }

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
  if (handle_ != -1) return Fail(EALREADY);
  if (!AttachDispatcher()) return Fail(Net::kErrorNoEventLoop);
  if (firstLayer_) return firstLayer_->Create(eventMask);
  return CreateHandle(eventMask);
}

bool CAsyncSocketEx::CreateHandle(int eventMask, int adopted) {
  if (handle_ != -1) return Fail(EALREADY);
  if (!AttachDispatcher()) return Fail(Net::kErrorNoEventLoop);
  handle_ =
      adopted != -1 ? adopted : ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (handle_ < 0) {
    handle_ = -1;
    return Fail(errno);
  }
  slot_ = dispatcher_->Table().Add(this);
  if (slot_ < 0) {
    ::close(handle_);
    handle_ = -1;
    return Fail(EMFILE);
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
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  if (::bind(handle_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
    const int error = errno;
    Close();
    return Fail(error);
  }
  return true;
}

bool CAsyncSocketEx::AttachLayer(SocketLayer* layer) {
  if (handle_ != -1 || !layer) return Fail(EINVAL);
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
    ::close(handle_);
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
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (::inet_pton(AF_INET, host.constData(), &address.sin_addr) == 1) return Connect(address);
  if (handle_ == -1) return Fail(ENOTSOCK);
  CancelLookup();
  StartLookup(Ansi::Decode(host), port);
  Net::SetLastError(EWOULDBLOCK);
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
        d->OnLookupDone(slot, serial, htonl(a.toIPv4Address()), 0);
        return;
      }
    }
    d->OnLookupDone(slot, serial, 0, EHOSTUNREACH);
  });
}

bool CAsyncSocketEx::Connect(const sockaddr_in& address) {
  if (firstLayer_) return firstLayer_->Connect(address);
  return RawConnect(address);
}

bool CAsyncSocketEx::RawConnect(const sockaddr_in& address) {
  if (handle_ == -1) return Fail(ENOTSOCK);
  const int result =
      ::connect(handle_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (result != 0 && errno != EINPROGRESS) return Fail(errno);
  // Completion (or an immediate success) is reported from write readiness as FD_CONNECT.
  connecting_ = true;
  ArmWrite(true);
  if (result != 0) return Fail(EWOULDBLOCK);
  return true;
}

int CAsyncSocketEx::Receive(void* buffer, int length, int flags) {
  if (firstLayer_) return firstLayer_->Receive(buffer, length, flags);
  return RawReceive(buffer, length, flags);
}

int CAsyncSocketEx::RawReceive(void* buffer, int length, int flags) {
  if (handle_ == -1) return Fail(ENOTSOCK), -1;
  const ssize_t got = ::recv(handle_, buffer, length, flags);
  // Reading is what asks for the next FD_READ.
  if (!peerClosed_ && !listening_) ArmRead(true);
  if (got < 0) return Fail(NormalisedErrno()), -1;
  return static_cast<int>(got);
}

int CAsyncSocketEx::Send(const void* buffer, int length, int flags) {
  if (firstLayer_) return firstLayer_->Send(buffer, length, flags);
  return RawSend(buffer, length, flags);
}

int CAsyncSocketEx::RawSend(const void* buffer, int length, int flags) {
  if (handle_ == -1) return Fail(ENOTSOCK), -1;
  const ssize_t sent = ::send(handle_, buffer, length, flags | MSG_NOSIGNAL);
  if (sent < 0) {
    const int error = NormalisedErrno();
    if (error == EWOULDBLOCK) ArmWrite(true);  // FD_WRITE once there is room again
    return Fail(error), -1;
  }
  return static_cast<int>(sent);
}

bool CAsyncSocketEx::Listen(int backlog) {
  if (firstLayer_) return firstLayer_->Listen(backlog);
  return RawListen(backlog);
}

bool CAsyncSocketEx::RawListen(int backlog) {
  if (handle_ == -1) return Fail(ENOTSOCK);
  if (::listen(handle_, backlog) != 0) return Fail(errno);
  listening_ = true;
  ArmRead(true);
  return true;
}

bool CAsyncSocketEx::Accept(CAsyncSocketEx& connected) {
  if (firstLayer_) return firstLayer_->Accept(connected);
  return RawAccept(connected);
}

bool CAsyncSocketEx::RawAccept(CAsyncSocketEx& connected) {
  if (handle_ == -1) return Fail(ENOTSOCK);
  if (connected.handle_ != -1) return Fail(EALREADY);
  if (!connected.AttachDispatcher()) return Fail(Net::kErrorNoEventLoop);
  const int fd = ::accept4(handle_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  ArmRead(true);
  if (fd < 0) return Fail(NormalisedErrno());
  if (!connected.CreateHandle(eventMask_, fd)) {
    ::close(fd);
    return false;
  }
  connected.ArmRead(true);
  return true;
}

bool CAsyncSocketEx::GetPeerName(QString& address, uint16_t& port) {
  if (firstLayer_) return firstLayer_->GetPeerName(address, port);
  sockaddr_in peer{};
  socklen_t size = sizeof peer;
  if (handle_ == -1) return Fail(ENOTSOCK);
  if (::getpeername(handle_, reinterpret_cast<sockaddr*>(&peer), &size) != 0) return Fail(errno);
  SplitAddress(peer, address, port);
  return true;
}

bool CAsyncSocketEx::ShutDown(int how) {
  if (firstLayer_) return firstLayer_->ShutDown(how);
  if (handle_ == -1) return Fail(ENOTSOCK);
  return ::shutdown(handle_, how) == 0 || Fail(errno);
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
