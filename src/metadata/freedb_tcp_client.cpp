#include "metadata/freedb_tcp_client.h"

#include <cstring>

#include "metadata/disc_info.h"
#include "platform/codepage.h"
#include "platform/version.h"

namespace {

// The proxy layer's type for a stored proxy kind.
ProxyHandshake::Type ProxyLayerType(ProxyKind kind) {
  switch (kind) {
    case ProxyKind::Socks4: return ProxyHandshake::kSocks4;
    case ProxyKind::Socks4a: return ProxyHandshake::kSocks4a;
    case ProxyKind::Socks5: return ProxyHandshake::kSocks5;
    case ProxyKind::Http11: return ProxyHandshake::kHttp11;
    case ProxyKind::Direct: break;
  }
  return ProxyHandshake::kNone;
}

int ProxyStatusText(int code) {
  switch (code) {
    case ProxyHandshake::kCannotConnect: return FreeDb::Text::ProxyCannotConnect;
    case ProxyHandshake::kRequestFailed: return FreeDb::Text::ProxyRequestFailed;
    case ProxyHandshake::kAuthTypeUnsupported: return FreeDb::Text::ProxyAuthTypeUnsupported;
    case ProxyHandshake::kAuthFailed: return FreeDb::Text::ProxyAuthFailed;
    case ProxyHandshake::kAuthRequired: return FreeDb::Text::ProxyAuthRequired;
    case ProxyHandshake::kCannotResolveTarget: return FreeDb::Text::ProxyCannotResolve;
    default: return FreeDb::Text::ProxyUnknownError;
  }
}

// Proxy host, user name and password, as the proxy settings hold them.
QByteArray Narrow(const QString& text) {
  return Ansi::Encode(text).left(FreeDbTcpClient::kMaxSettingBytes);
}

QString ErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Why a connection could not be made, for the user.
QString ConnectFailure(int error) {
  // The socket layer reports a host name it cannot resolve as an invalid argument.
  if (error == EINVAL) return QStringLiteral("the host name cannot be resolved");
  return ErrorText(error);
}

// Greetings of a server that refuses the connection.
bool IsRefusal(int code) { return code == 432 || code == 433 || code == 434; }

constexpr int kIllegalProtocolLevel = 501;

}  // namespace

FreeDbTcpClient::FreeDbTcpClient() {
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (state_ == kConnecting)
      return FailAt(FreeDb::Text::CannotConnect,
                    TimedOut(connectTimeoutMs_, QStringLiteral("the connection")));
    FailAt(FreeDb::Text::NetworkFailed, TimedOut(answerTimeoutMs_));
  });
}

FreeDbTcpClient::~FreeDbTcpClient() { Close(); }  // while the proxy layer still exists

bool FreeDbTcpClient::Setup() {
  const ProxyHandshake::Type type = ProxyLayerType(settings_.proxyType);
  const bool withUser = (type == ProxyHandshake::kSocks5 || type == ProxyHandshake::kHttp11) &&
                        !settings_.userName.isEmpty();
  if (withUser) {
    proxy_.SetProxy(type, settings_.proxyServer, settings_.proxyPort, Narrow(settings_.userName),
                    Narrow(settings_.password));
  } else {
    proxy_.SetProxy(type, settings_.proxyServer, settings_.proxyPort);
  }
  Close();
  return AttachLayer(&proxy_) && CAsyncSocketEx::Create();
}

bool FreeDbTcpClient::Connect() {
  FreeDbClient::Connect();
  state_ = kConnecting;
  protoLevel_ = kPreferredProtoLevel;
  reader_ = Cddb::AnswerReader();
  WaitForAnswer(connectTimeoutMs_);
  const bool connected =
      CAsyncSocketEx::Connect(Narrow(settings_.server), static_cast<uint16_t>(settings_.port));
  if (connected || Net::LastError() == EWOULDBLOCK) return true;
  FailAt(FreeDb::Text::CannotConnect, ConnectFailure(Net::LastError()));
  return false;
}

void FreeDbTcpClient::WaitForAnswer(int ms) { timer_.start(ms); }

void FreeDbTcpClient::OnFinished() {
  timer_.stop();
  // A greeted server is told the session is over.
  if (state_ != kConnecting && state_ != kGreeting) SendText(QStringLiteral("quit\n"));
  Close();
}

void FreeDbTcpClient::OnConnect(int error) {
  if (error) return FailAt(FreeDb::Text::CannotConnect, ConnectFailure(error));
  state_ = kGreeting;
  WaitForAnswer(answerTimeoutMs_);
}

void FreeDbTcpClient::OnReceive(int error) {
  if (error) return FailAt(FreeDb::Text::NetworkFailed, ErrorText(error));
  char buffer[32768];
  int got;
  while ((got = Receive(buffer, sizeof buffer)) > 0) {
    reader_.Append(buffer, got);
    if (reader_.Overflowed()) {
      return FailAt(FreeDb::Text::NetworkFailed,
                    QStringLiteral("the answer is longer than %1 bytes").arg(Cddb::kMaxAnswer));
    }
  }
  if (got < 0 && Net::LastError() != EWOULDBLOCK) {
    return FailAt(FreeDb::Text::NetworkFailed, ErrorText(Net::LastError()));
  }
  // Answers come one at a time, each after our next command.
  if (reader_.Complete()) HandleAnswer(reader_.Take());
}

void FreeDbTcpClient::OnClose(int error) {
  (void)error;
  FailAt(FreeDb::Text::NetworkFailed, QStringLiteral("the server closed the connection"));
}

void FreeDbTcpClient::HandleAnswer(const QByteArray& answer) {
  WaitForAnswer(answerTimeoutMs_);
  switch (state_) {
    case kConnecting:
    case kGreeting:
      if (IsRefusal(Cddb::AnswerCode(answer))) {
        return FailAt(FreeDb::Text::CannotConnect, Cddb::DecodeAnswer(answer).trimmed());
      }
      Prepare();
      SendText(QStringLiteral("cddb hello %1 %2 Korvane %3\n")
                   .arg(HelloUser(), HelloHost(), KorvaneVersion()));
      state_ = kHelloAnswer;
      break;
    case kHelloAnswer: SendProto(); break;
    case kProtoAnswer:
      // A level 5 server refuses level 6 (UTF-8 entries); its entries are Windows-1252.
      if (Cddb::AnswerCode(answer) == kIllegalProtocolLevel && protoLevel_ > kFallbackProtoLevel) {
        protoLevel_ = kFallbackProtoLevel;
        return SendProto();
      }
      Query();
      SendText(query_);
      state_ = kQueryAnswer;
      break;
    case kQueryAnswer:
      if (HandleQueryResponse(Cddb::DecodeAnswer(answer))) {
        ReadEntry();
      } else if (AwaitingChoice()) {
        timer_.stop();  // the user takes the time the choice needs
      }
      break;
    case kEntry: FinishWithAnswer(answer); break;
  }
}

void FreeDbTcpClient::ReadEntry() {
  SendText(RequestRead());
  state_ = kEntry;
  WaitForAnswer(answerTimeoutMs_);
}

void FreeDbTcpClient::SendProto() {
  // Level 5 entries carry DYEAR and DGENRE, level 6 ones are UTF-8 as well.
  SendText(QStringLiteral("proto %1\n").arg(protoLevel_));
  state_ = kProtoAnswer;
}

void FreeDbTcpClient::SendText(const QString& text) {
  // A command is as long as it needs to be: the query of a 99-track disc is about 800 bytes.
  const QByteArray bytes = Ansi::Encode(text);
  Send(bytes.constData(), bytes.size());
}

int FreeDbTcpClient::OnLayerStatus(SocketLayer* layer, const LayerStatus& status) {
  if (layer != &proxy_ || status.kind != LayerStatus::kProxyStatus) return 1;
  Fail(ProxyStatusText(status.param1));
  return 1;
}
