#pragma once
#include <QByteArray>
#include <QString>
#include <atomic>

// The platform's HTTP service: plain GET requests with libcurl, which applies the system's
// proxy settings (http_proxy, https_proxy, no_proxy). One session keeps its connection open
// between requests to the same server.
class HttpSession {
 public:
  struct Options {
    int connectTimeoutMs = 15000;
    int transferTimeoutMs = 30000;
    qsizetype maxBody = 1024 * 1024;
  };
  struct Result {
    bool ok = false;  // status 200 and the whole body
    long status = 0;
    QByteArray body;
    QString error;  // why it failed, for the user
    bool timedOut = false;
    bool notConnected = false;  // no server reached: a name that is not one, or that no one answers
  };

  explicit HttpSession(const QByteArray& userAgent);
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  // abort, when given, is watched during the transfer; setting it ends the request.
  Result Get(const QByteArray& url, const Options& options, const std::atomic<bool>* abort = nullptr);

 private:
  void* curl_ = nullptr;
  QByteArray userAgent_;
};
