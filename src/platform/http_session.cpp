#include "platform/http_session.h"

#include <curl/curl.h>

#include <mutex>

namespace {

struct Transfer {
  QByteArray body;
  qsizetype maxBody = 0;
  bool tooLong = false;
  const std::atomic<bool>* abort = nullptr;
};

size_t CollectBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  if (transfer->body.size() + static_cast<qsizetype>(bytes) > transfer->maxBody) {
    transfer->tooLong = true;
    return 0;  // ends the transfer
  }
  transfer->body.append(data, static_cast<qsizetype>(bytes));
  return bytes;
}

int WatchAbort(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* transfer = static_cast<Transfer*>(user);
  return transfer->abort && transfer->abort->load() ? 1 : 0;
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
  Result result;
  auto* curl = static_cast<CURL*>(curl_);
  if (!curl) {
    result.error = "The HTTP service could not be started.";
    return result;
  }
  Transfer transfer;
  transfer.maxBody = options.maxBody;
  transfer.abort = abort;
  char errorText[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_URL, url.constData());
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, userAgent_.constData());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectTimeoutMs));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(options.connectTimeoutMs + options.transferTimeoutMs));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, WatchAbort);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  const CURLcode code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
  if (transfer.tooLong) {
    result.error = QString("The answer is longer than %1 bytes.").arg(options.maxBody);
  } else if (code != CURLE_OK) {
    result.timedOut = code == CURLE_OPERATION_TIMEDOUT;
    result.notConnected = code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_CONNECT ||
                          code == CURLE_COULDNT_RESOLVE_PROXY || code == CURLE_URL_MALFORMAT;
    result.error = QString::fromLocal8Bit(errorText[0] ? errorText : curl_easy_strerror(code));
  } else if (result.status != 200) {
    result.error = QString("HTTP status %1").arg(result.status);
  } else {
    result.ok = true;
    result.body = std::move(transfer.body);
  }
  return result;
}
