#include "net/proxy_layer.h"

#include "net/async_socket.h"
#include "platform/codepage.h"
#include "platform/log.h"

void ProxyLayer::SetProxy(int type, const QString& host, int port) {
  SetProxy(type, host, port, QByteArray(), QByteArray());
  useAuthentication_ = false;
}

void ProxyLayer::SetProxy(int type, const QString& host, int port, const QByteArray& user,
                          const QByteArray& password) {
  type_ = type;
  proxyHost_ = host.left(kMaxHostLength);
  proxyPort_ = port;
  user_ = user;
  password_ = password;
  useAuthentication_ = true;
}

void ProxyLayer::ReportStatus(int code, const QString& text) {
  LayerStatus status;
  status.kind = LayerStatus::kProxyStatus;
  status.param1 = code;
  status.text = text;
  DoLayerCallback(status);
}

void ProxyLayer::FailNegotiation(int code, int error, const QString& text) {
  qCDebug(lcNet) << "proxy negotiation failed: code" << code << "error" << error << text;
  ReportStatus(code, text);
  TriggerEvent(binding_ ? Net::FD_ACCEPT : Net::FD_CONNECT, error);
  handshake_.Reset();
}

void ProxyLayer::ReportListening(uint32_t address, uint16_t port) {
  Ipv4Endpoint proxy;
  if (address == 0 && SocketLayer::GetPeerName(proxy)) address = proxy.address;
  LayerStatus status;
  status.kind = LayerStatus::kProxyStatus;
  status.param1 = ProxyHandshake::kListening;
  qCDebug(lcNet) << "proxy listens at" << DottedIpv4(address) << "port" << port;
  status.address = address;
  status.port = port;
  DoLayerCallback(status);
}

void ProxyLayer::ExpectPeer(const QString& host, uint16_t port) {
  expectedPeer_ = host;
  expectedPeerPort_ = port;
}

bool ProxyLayer::Listen(int backlog) {
  if (type_ == ProxyHandshake::kNone) return SocketLayer::Listen(backlog);
  uint32_t peer = 0;
  if (type_ == ProxyHandshake::kHttp11 || !ResolveIpv4(expectedPeer_, peer)) {
    Net::SetLastError(type_ == ProxyHandshake::kHttp11 ? kSocketNotSupported
                                                       : kSocketInvalidArgument);
    return false;
  }
  return ConnectToProxy(peer, expectedPeerPort_, QString(), true) ||
         Net::LastError() == kSocketWouldBlock;
}

bool ProxyLayer::ConnectToProxy(uint32_t targetAddress, uint16_t port, const QString& targetName,
                                bool bind) {
  const bool connected = ConnectNext(proxyHost_, static_cast<uint16_t>(proxyPort_));
  if (!connected && Net::LastError() != kSocketWouldBlock) {
    Net::LastErrorGuard keep;
    ReportStatus(ProxyHandshake::kCannotConnect);
    return false;
  }
  targetAddress_ = targetAddress;
  targetPort_ = port;
  targetName_ = targetName;
  binding_ = bind;
  ProxyHandshake::Settings settings;
  settings.type = type_;
  settings.bind = bind;
  settings.targetAddress = targetAddress;
  settings.targetPort = port;
  settings.targetName = Ansi::Encode(targetName);
  settings.useAuthentication = useAuthentication_;
  settings.user = user_;
  settings.password = password_;
  handshake_.Start(settings);
  qCDebug(lcNet) << "through proxy" << proxyHost_ << proxyPort_ << "type" << type_
                 << (bind ? "bind" : "connect") << "to"
                 << (targetName.isEmpty() ? DottedIpv4(targetAddress) : targetName) << port;
  SetState(kConnecting);
  return connected;
}

bool ProxyLayer::Connect(const QString& host, uint16_t port) {
  if (type_ == ProxyHandshake::kNone) return SocketLayer::Connect(host, port);
  uint32_t resolved = 0;
  if (ResolveIpv4(host, resolved)) return ConnectToProxy(resolved, port, host);
  if (type_ == ProxyHandshake::kSocks4) {
    // SOCKS 4 carries only addresses, and this one has none.
    ReportStatus(ProxyHandshake::kCannotResolveTarget);
    Net::SetLastError(kSocketInvalidArgument);
    return false;
  }
  // The proxy resolves the name. A pending connection counts as success here.
  return ConnectToProxy(0, port, host) || Net::LastError() == kSocketWouldBlock;
}

bool ProxyLayer::Connect(const Ipv4Endpoint& address) {
  if (type_ == ProxyHandshake::kNone) return SocketLayer::Connect(address);
  return ConnectToProxy(address.address, address.port, QString());
}

bool ProxyLayer::SendAll(const QByteArray& bytes) {
  const int sent = SendNext(bytes.constData(), bytes.size(), 0);
  if (sent == bytes.size()) return true;
  const int error = sent < 0 && Net::LastError() != kSocketWouldBlock ? Net::LastError()
                                                                      : kSocketConnectionAborted;
  FailNegotiation(ProxyHandshake::kRequestFailed, error);
  return false;
}

void ProxyLayer::OnConnect(int error) {
  if (type_ == ProxyHandshake::kNone || !handshake_.InProgress())
    return SocketLayer::OnConnect(error);
  if (error) return FailNegotiation(ProxyHandshake::kCannotConnect, error);
  if (handshake_.AwaitingReply()) return;
  if (SendAll(handshake_.OpeningRequest())) handshake_.OpeningSent();
}

void ProxyLayer::OnReceive(int error) {
  if (!handshake_.InProgress()) return SocketLayer::OnReceive(error);
  if (error) return TriggerEvent(Net::FD_READ, error);
  char buffer[ProxyHandshake::kMaxHttpReply];
  while (handshake_.AwaitingReply()) {
    const int got = ReceiveNext(buffer, std::min<int>(handshake_.BytesWanted(), sizeof buffer), 0);
    if (got < 0 && Net::LastError() == kSocketWouldBlock) return;
    if (got <= 0) {
      // An error, or the proxy hung up before answering in full.
      return FailNegotiation(ProxyHandshake::kRequestFailed,
                             got < 0 ? Net::LastError() : kSocketConnectionAborted);
    }
    const ProxyHandshake::Step step = handshake_.Consume(buffer, got);
    switch (step.kind) {
      case ProxyHandshake::Step::kNeedMore: break;
      case ProxyHandshake::Step::kSend:
        if (!SendAll(step.bytes)) return;
        break;
      case ProxyHandshake::Step::kFailed:
        return FailNegotiation(step.code, kSocketConnectionAborted, step.text);
      case ProxyHandshake::Step::kListening: ReportListening(step.address, step.port); break;
      case ProxyHandshake::Step::kConnected:
      case ProxyHandshake::Step::kAccepted:
        qCDebug(lcNet) << "proxy tunnel open";
        TriggerEvent(
            step.kind == ProxyHandshake::Step::kAccepted ? Net::FD_ACCEPT : Net::FD_CONNECT, 0);
        TriggerEvent(Net::FD_READ, 0);
        TriggerEvent(Net::FD_WRITE, 0);
        return;
    }
  }
}

void ProxyLayer::OnSend(int error) {
  if (!handshake_.InProgress()) SocketLayer::OnSend(error);
}

void ProxyLayer::OnClose(int error) {
  if (!handshake_.InProgress()) return SocketLayer::OnClose(error);
  FailNegotiation(ProxyHandshake::kRequestFailed, error ? error : kSocketConnectionAborted);
}

void ProxyLayer::Close() {
  handshake_.Reset();
  binding_ = false;
  targetAddress_ = 0;
  targetPort_ = 0;
  targetName_.clear();
  SocketLayer::Close();
}

int ProxyLayer::Receive(void* buffer, int length, int flags) {
  if (handshake_.InProgress()) return Net::SetLastError(kSocketWouldBlock), -1;
  return SocketLayer::Receive(buffer, length, flags);
}

int ProxyLayer::Send(const void* buffer, int length, int flags) {
  if (handshake_.InProgress()) return Net::SetLastError(kSocketWouldBlock), -1;
  return SocketLayer::Send(buffer, length, flags);
}

bool ProxyLayer::GetPeerName(Ipv4Endpoint& address) {
  if (type_ == ProxyHandshake::kNone) return SocketLayer::GetPeerName(address);
  if (targetAddress_ == 0) return Net::SetLastError(kSocketNotConnected), false;
  address = {targetAddress_, targetPort_};
  return true;
}
