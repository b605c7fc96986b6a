#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "metadata/freedb_client.h"
#include "platform/http_session.h"

class CallQueue;

// The freedb client over HTTP: the query and the read are GET requests to the server's
// cddb.cgi, made through the platform's HTTP service (and so through the system's proxy,
// when one is set). The requests run on a thread of their own; every report and every
// change to the record happens back on the thread that called Run. Destroying the client
// aborts a request in progress.
class FreeDbHttpClient : public FreeDbClient {
 public:
  // Level 6 entries are UTF-8; a server that answers 501 to it is asked again at level 5.
  static constexpr int kPreferredProtoLevel = 6;
  static constexpr int kFallbackProtoLevel = 5;
  static constexpr int kIllegalProtocolLevel = 501;

  FreeDbHttpClient();
  ~FreeDbHttpClient() override;

  // The request for a cddb.cgi command value, relative to the server.
  QByteArray RequestPath(const QString& command) const;

 protected:
  bool Setup() override;
  bool Connect() override;
  void OnFinished() override;

 private:
  // Sends the request off the calling thread; then hands its result to done, on this one.
  void Request(const QString& command, std::function<void(const HttpSession::Result&)> done);
  // Runs on this thread with the result the request's thread handed over.
  void TakeResult(const HttpSession::Result& result);
  void SendQuery();
  void OnQueryAnswer(const HttpSession::Result& result);
  void ReadEntry() override;
  void OnEntry(const HttpSession::Result& result);
  void FailRequest(const HttpSession::Result& result);
  void JoinWorker();

  HttpSession session_;
  std::thread worker_;
  std::atomic<bool> abort_{false};
  std::function<void(const HttpSession::Result&)> pending_;
  // Hands the request's result from its thread back to this one; calls still queued are
  // dropped with the client.
  std::unique_ptr<CallQueue> results_;
  int protoLevel_ = kPreferredProtoLevel;
};
