#include "platform/http_session.h"

#include <curl/curl.h>

#include <mutex>

struct HttpSession::Transfer {
  QByteArray body;
  bool keepBody = true;  // false: the answer is read from the socket and dropped
  qsizetype maxBody = 0;
  bool tooLong = false;
  const std::atomic<bool>* abort = nullptr;
};

namespace {

size_t CollectBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<HttpSession::Transfer*>(user);
  const size_t bytes = size * count;
  if (!transfer->keepBody) return bytes;
  if (transfer->body.size() + static_cast<qsizetype>(bytes) > transfer->maxBody) {
    transfer->tooLong = true;
    return 0;  // ends the transfer
  }
  transfer->body.append(data, static_cast<qsizetype>(bytes));
  return bytes;
}

int WatchAbort(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* transfer = static_cast<HttpSession::Transfer*>(user);
  return transfer->abort && transfer->abort->load() ? 1 : 0;
}

// A server was reached and answered in something other than HTTP: another protocol's
// greeting, or bytes that are no status line. (A hang-up without an answer is not one.)
bool AnsweredInAnotherProtocol(CURL* curl, CURLcode code) {
  if (code != CURLE_UNSUPPORTED_PROTOCOL && code != CURLE_WEIRD_SERVER_REPLY) return false;
  char* address = nullptr;  // empty until a connection is made
  return curl_easy_getinfo(curl, CURLINFO_PRIMARY_IP, &address) == CURLE_OK && address && *address;
}

void InitialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

HttpSession::HttpSession(const QByteArray& userAgent) : userAgent_(userAgent) {
  InitialiseCurlOnce();
  curl_ = curl_easy_init();
}

HttpSession::~HttpSession() {
  if (curl_) curl_easy_cleanup(static_cast<CURL*>(curl_));
}

HttpSession::Result HttpSession::Get(const QByteArray& url, const Options& options,
                                     const std::atomic<bool>* abort) {
  Transfer transfer;
  transfer.maxBody = options.maxBody;
  transfer.abort = abort;
  auto* curl = static_cast<CURL*>(curl_);
  if (!curl) return NotStarted();
  Prepare(url, options, transfer);
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_slist* headers = nullptr;
  if (!options.accept.isEmpty())
    headers = curl_slist_append(headers, ("Accept: " + options.accept).constData());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  Result result = Perform(transfer);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_slist_free_all(headers);
  if (result.error.isEmpty() && result.status != 200) {
    result.error = QString("HTTP status %1").arg(result.status);
    result.badAnswer = true;
  }
  result.ok = result.error.isEmpty();
  if (result.ok) result.body = std::move(transfer.body);
  return result;
}

HttpSession::Result HttpSession::Post(const QByteArray& url, const QByteArray& body,
                                      const Options& options) {
  Transfer transfer;
  transfer.keepBody = false;
  auto* curl = static_cast<CURL*>(curl_);
  if (!curl) return NotStarted();
  Prepare(url, options, transfer);
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/octet-stream");
  headers = curl_slist_append(headers, "Expect:");  // send the body at once, without asking first
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.constData());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  Result result = Perform(transfer);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_slist_free_all(headers);
  if (result.error.isEmpty() && (result.status < 200 || result.status > 299)) {
    result.error = QString("HTTP status %1").arg(result.status);
    result.badAnswer = true;
  }
  result.ok = result.error.isEmpty();
  return result;
}

HttpSession::Result HttpSession::NotStarted() {
  Result result;
  result.error = "The HTTP service could not be started.";
  return result;
}

// The options every request has. Resetting first drops what an earlier request set; the
// open connection stays for reuse.
void HttpSession::Prepare(const QByteArray& url, const Options& options, Transfer& transfer) {
  auto* curl = static_cast<CURL*>(curl_);
  curl_easy_reset(curl);
  curl_easy_setopt(curl, CURLOPT_URL, url.constData());
  curl_easy_setopt(curl, CURLOPT_USERAGENT, userAgent_.constData());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectTimeoutMs));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS,
                   static_cast<long>(options.connectTimeoutMs + options.transferTimeoutMs));
  if (options.httpsOnly) curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
  if (options.followRedirects) {
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, options.httpsOnly ? "https" : "http,https");
  }
  if (!options.caFile.isEmpty()) curl_easy_setopt(curl, CURLOPT_CAINFO, options.caFile.constData());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, WatchAbort);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
}

// Runs the prepared request; error is empty when the exchange itself worked.
HttpSession::Result HttpSession::Perform(const Transfer& transfer) {
  Result result;
  auto* curl = static_cast<CURL*>(curl_);
  char errorText[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  const CURLcode code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
  const char* contentType = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK && contentType)
    result.contentType = contentType;
  curl_off_t retryAfter = 0;
  if (curl_easy_getinfo(curl, CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK)
    result.retryAfterSeconds = long(retryAfter);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
  if (transfer.tooLong) {
    result.error = QString("The answer is longer than %1 bytes.").arg(transfer.maxBody);
  } else if (code != CURLE_OK) {
    result.timedOut = code == CURLE_OPERATION_TIMEDOUT;
    result.notConnected = code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_CONNECT ||
                          code == CURLE_COULDNT_RESOLVE_PROXY || code == CURLE_URL_MALFORMAT;
    result.error = QString::fromLocal8Bit(errorText[0] ? errorText : curl_easy_strerror(code));
    if (AnsweredInAnotherProtocol(curl, code)) {
      result.badAnswer = true;
      result.error = QString("the server does not answer in HTTP (%1)").arg(result.error);
    }
  }
  return result;
}
