#include "reporter/crash_upload.h"

#include <QFile>
#include <QUrl>

#include "platform/http_session.h"
#include "platform/version.h"

namespace CrashUpload {
namespace {

constexpr char kReportUrl[] = "https://crash.korvane.org/scripts/error_report.php";

// A test's own certificate authority, trusted only for a server on this machine, so the
// variable can never redirect trust for the real report host.
QByteArray TestAuthorityFor(const QByteArray& url) {
  const QString host = QUrl(QString::fromUtf8(url)).host();
  const bool loopback = host == "127.0.0.1" || host == "::1" || host == "localhost";
  return loopback ? qgetenv("KORVANE_TEST_CRASH_CA") : QByteArray();
}

}  // namespace

QByteArray Url() {
  const QByteArray custom = qgetenv("KORVANE_CRASH_URL");
  return custom.isEmpty() ? QByteArray(kReportUrl) : custom;
}

QByteArray UserAgent() { return "Korvane v-" + QByteArray(KorvaneVersion()).replace('.', '-'); }

bool Send(const QString& reportPath) {
  QFile file(reportPath);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray report = file.readAll();
  file.close();
  HttpSession::Options options;
  options.connectTimeoutMs = 10000;
  options.transferTimeoutMs = 60000;
  options.httpsOnly = true;  // the report may hold personal data
  const QByteArray url = Url();
  options.caFile = TestAuthorityFor(url);
  HttpSession session(UserAgent());
  return session.Post(url, report, options).ok;
}

}  // namespace CrashUpload
