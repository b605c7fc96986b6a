#include "metadata/freedb_tcp_client.h"

#include "metadata/disc_info.h"
#include "platform/codepage.h"

namespace {

// The proxy layer's type for an "fdProxyType" value; anything unknown goes direct.
int ProxyLayerType(int proxyType) {
  switch (proxyType) {
    case FreeDb::kSocks4: return ProxyHandshake::kSocks4;
    case FreeDb::kSocks4a: return ProxyHandshake::kSocks4a;
    case FreeDb::kSocks5: return ProxyHandshake::kSocks5;
    case FreeDb::kHttp11: return ProxyHandshake::kHttp11;
    default: return ProxyHandshake::kNone;
  }
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

QByteArray Narrow(const QString& text) { return Ansi::Encode(text).left(FreeDbTcpClient::kMaxSendBytes); }

}  // namespace

FreeDbTcpClient::FreeDbTcpClient() {
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Fail(FreeDb::Text::NetworkFailed); });
}

FreeDbTcpClient::~FreeDbTcpClient() { Close(); }  // while the proxy layer still exists

bool FreeDbTcpClient::Setup() {
  const int type = ProxyLayerType(settings_.proxyType);
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
  state_ = kGreeting;
  reader_ = Cddb::AnswerReader();
  WaitForAnswer(connectTimeoutMs_);
  const bool connected = CAsyncSocketEx::Connect(Narrow(settings_.server), static_cast<uint16_t>(settings_.port));
  if (connected || Net::LastError() == EWOULDBLOCK) return true;
  Fail(FreeDb::Text::CannotConnect, QLatin1Char(' ') + settings_.server);
  return false;
}

void FreeDbTcpClient::WaitForAnswer(int ms) { timer_.start(ms); }

void FreeDbTcpClient::OnFinished() {
  timer_.stop();
  Close();
}

void FreeDbTcpClient::OnConnect(int error) {
  if (error) return Fail(FreeDb::Text::CannotConnect, QLatin1Char(' ') + settings_.server);
  WaitForAnswer(answerTimeoutMs_);
}

void FreeDbTcpClient::OnReceive(int error) {
  if (error) return Fail(FreeDb::Text::NetworkFailed);
  char buffer[32768];
  int got;
  while ((got = Receive(buffer, sizeof buffer)) > 0) {
    reader_.Append(buffer, got);
    if (reader_.Overflowed()) return Fail(FreeDb::Text::NetworkFailed);
  }
  if (got < 0 && Net::LastError() != EWOULDBLOCK) return Fail(FreeDb::Text::NetworkFailed);
  // Answers come one at a time, each after our next command.
  if (reader_.Complete()) HandleAnswer(reader_.Take());
}

void FreeDbTcpClient::OnClose(int error) {
  (void)error;
  Fail(FreeDb::Text::NetworkFailed);  // the server hung up before the lookup was over
}

void FreeDbTcpClient::HandleAnswer(const QByteArray& answer) {
  WaitForAnswer(answerTimeoutMs_);
  switch (state_) {
    case kGreeting:
      Prepare();
      SendText(QStringLiteral("cddb hello %1 %2 Korvane 2.5.5\n").arg(HelloUser(), HelloHost()));
      state_ = kHelloAnswer;
      break;
    case kHelloAnswer:
      // Level 5 entries carry DYEAR and DGENRE.
      SendText(QStringLiteral("proto 5\n"));
      state_ = kProtoAnswer;
      break;
    case kProtoAnswer:
      Query();
      SendText(query_);
      state_ = kQueryAnswer;
      break;
    case kQueryAnswer:
      if (HandleQueryResponse(Ansi::Decode(answer))) {
        SendText(RequestRead());
        state_ = kEntry;
      }
      break;
    case kEntry:
      Close();
      FinishWithAnswer(answer);
      break;
  }
}

void FreeDbTcpClient::SendText(const QString& text) {
  const QByteArray bytes = Narrow(text);
  Send(bytes.constData(), bytes.size());
}

int FreeDbTcpClient::OnLayerStatus(SocketLayer* layer, const LayerStatus& status) {
  if (layer != &proxy_ || status.kind != LayerStatus::kProxyStatus) return 1;
  Fail(ProxyStatusText(status.param1));
  return 1;
}
