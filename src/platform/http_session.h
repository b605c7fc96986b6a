#pragma once
#include <QByteArray>
#include <QString>
#include <atomic>

// The platform's HTTP service: GET and POST requests with libcurl, which applies the
// system's proxy settings (http_proxy, https_proxy, no_proxy). One session keeps its
// connection open between requests to the same server.
class HttpSession {
 public:
  struct Options {
    int connectTimeoutMs = 15000;
    int transferTimeoutMs = 30000;
    qsizetype maxBody = 1024 * 1024;
    bool httpsOnly = false;  // refuse any other protocol
    QByteArray caFile;       // certificates to trust instead of the system's
    bool followRedirects = false;
    QByteArray accept;  // the Accept header, when set
  };
  struct Result {
    bool ok = false;  // Get: status 200 and the whole body; Post: a 2xx status
    long status = 0;
    QByteArray body;
    QString error;  // why it failed, for the user
    bool timedOut = false;
    bool notConnected = false;  // no server reached: a name that is not one, or that no one answers
    // The server answered, but not as asked: not in HTTP at all, or with an error status.
    bool badAnswer = false;
    QByteArray contentType;      // of the answer, as the server named it
    long retryAfterSeconds = 0;  // the answer's Retry-After, when it has one
  };

  explicit HttpSession(const QByteArray& userAgent);
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  // abort, when given, is watched during the transfer; setting it ends the request.
  Result Get(const QByteArray& url, const Options& options,
             const std::atomic<bool>* abort = nullptr);
  // Sends body as it is (application/octet-stream). The answer's body is not read: ok means
  // the server answered with a 2xx status.
  Result Post(const QByteArray& url, const QByteArray& body, const Options& options);

  struct Transfer;  // one request's state, seen by libcurl's callbacks

 private:
  static Result NotStarted();
  void Prepare(const QByteArray& url, const Options& options, Transfer& transfer);
  Result Perform(const Transfer& transfer);

  void* curl_ = nullptr;
  QByteArray userAgent_;
};
