#include "metadata/freedb_http_client.h"

#include <QUrl>

#include "metadata/cddb_protocol.h"
#include "metadata/disc_info.h"
#include "platform/call_queue.h"
#include "platform/codepage.h"
#include "platform/version.h"

namespace {

QByteArray Encoded(const QString& field) { return QUrl::toPercentEncoding(field); }

}  // namespace

FreeDbHttpClient::FreeDbHttpClient()
    : session_("Korvane/" + QByteArray(KorvaneVersion())),
      results_(std::make_unique<CallQueue>()) {}

FreeDbHttpClient::~FreeDbHttpClient() {
  abort_ = true;
  JoinWorker();
}

void FreeDbHttpClient::JoinWorker() {
  if (worker_.joinable()) worker_.join();
}

bool FreeDbHttpClient::Setup() { return true; }

QByteArray FreeDbHttpClient::RequestPath(const QString& command) const {
  // The command keeps its "+" separators; each field is encoded on its own.
  QByteArray cmd;
  for (const QString& part : command.split(QLatin1Char('+'))) {
    if (!cmd.isEmpty()) cmd += '+';
    cmd += Encoded(part);
  }
  return "/~cddb/cddb.cgi?cmd=" + cmd + "&hello=" + Encoded(HelloUser()) + '+' +
         Encoded(HelloHost()) + "+Korvane+" + QByteArray(KorvaneVersion()) +
         "&proto=" + QByteArray::number(protoLevel_);
}

bool FreeDbHttpClient::Connect() {
  FreeDbClient::Connect();
  Prepare();
  protoLevel_ = kPreferredProtoLevel;
  Query();
  SendQuery();
  return true;
}

void FreeDbHttpClient::SendQuery() {
  Request(Cddb::HttpCommand(query_),
          [this](const HttpSession::Result& result) { OnQueryAnswer(result); });
}

void FreeDbHttpClient::Request(const QString& command,
                               std::function<void(const HttpSession::Result&)> done) {
  JoinWorker();
  const QByteArray url = "http://" + QUrl::toAce(settings_.server) + ':' +
                         QByteArray::number(settings_.port) + RequestPath(command);
  HttpSession::Options options;
  options.connectTimeoutMs = connectTimeoutMs_;
  options.transferTimeoutMs = answerTimeoutMs_;
  pending_ = std::move(done);
  worker_ = std::thread([this, url, options] {
    HttpSession::Result result = session_.Get(url, options, &abort_);
    if (abort_) return;
    results_->Post([this, result = std::move(result)] { TakeResult(result); });
  });
}

void FreeDbHttpClient::TakeResult(const HttpSession::Result& result) {
  if (!pending_) return;
  JoinWorker();
  const auto done = std::move(pending_);
  pending_ = nullptr;
  done(result);
}

void FreeDbHttpClient::FailRequest(const HttpSession::Result& result) {
  if (result.timedOut)
    return FailAt(FreeDb::Text::NetworkFailed, TimedOut(connectTimeoutMs_ + answerTimeoutMs_));
  // The network did its part: the cause is the server's answer alone.
  if (result.badAnswer) return FailAtServer(result.error.left(511));
  FailAt(result.notConnected ? FreeDb::Text::CannotConnect : FreeDb::Text::NetworkFailed,
         result.error.left(511));
}

void FreeDbHttpClient::OnQueryAnswer(const HttpSession::Result& result) {
  if (!result.ok) return FailRequest(result);
  // A level 5 server refuses level 6 (UTF-8 entries); its entries are Windows-1252.
  if (Cddb::AnswerCode(result.body) == kIllegalProtocolLevel && protoLevel_ > kFallbackProtoLevel) {
    protoLevel_ = kFallbackProtoLevel;
    return SendQuery();
  }
  if (HandleQueryResponse(Cddb::DecodeAnswer(result.body))) ReadEntry();
}

void FreeDbHttpClient::ReadEntry() {
  const QString command = QStringLiteral("cddb+read+%1+%2").arg(info_->genre, matchedId_);
  RequestRead();
  Request(command, [this](const HttpSession::Result& entry) { OnEntry(entry); });
}

void FreeDbHttpClient::OnEntry(const HttpSession::Result& result) {
  if (!result.ok) return FailRequest(result);
  FinishWithAnswer(result.body);
}

void FreeDbHttpClient::OnFinished() { abort_ = true; }
