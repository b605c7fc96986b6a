#pragma once
#include <QObject>
#include <atomic>
#include <functional>
#include <thread>

#include "metadata/freedb_client.h"
#include "platform/http_session.h"

// The freedb client over HTTP: the query and the read are GET requests to the server's
// cddb.cgi, made through the platform's HTTP service (and so through the system's proxy,
// when one is set). The requests run on a thread of their own; every report and every
// change to the record happens back on the thread that called Run. Destroying the client
// aborts a request in progress.
class FreeDbHttpClient : public FreeDbClient {
 public:
  static constexpr char kUserAgent[] = "Korvane";

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
  void OnQueryAnswer(const HttpSession::Result& result);
  void OnEntry(const HttpSession::Result& result);
  void FailRequest(const HttpSession::Result& result);
  void JoinWorker();

  QObject home_;  // where the results come back to
  HttpSession session_;
  std::thread worker_;
  std::atomic<bool> abort_{false};
};
