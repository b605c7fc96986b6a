#include "metadata/accuraterip_client.h"

#include <QUrl>

#include "platform/http_session.h"
#include "platform/log.h"
#include "platform/version.h"
#include "settings/settings_store.h"

namespace {

constexpr long kNotFound = 404;

}  // namespace

AccurateRipSettings AccurateRipSettings::Load() {
  const SettingsStore& store = SettingsStore::Instance();
  return {store.ReadText(Key::ArServer), store.ReadInt(Key::ArVerify) != 0};
}

QByteArray AccurateRipUrl(const QString& server, const AccurateRipId& disc) {
  QString base = server.trimmed();
  while (base.endsWith('/')) base.chop(1);
  return QUrl(base + QStringLiteral("/accuraterip/") + disc.DatabasePath()).toEncoded();
}

AccurateRipAnswer FetchAccurateRip(const QString& server, const AccurateRipId& disc,
                                   const std::atomic<bool>* abort) {
  const QByteArray url = AccurateRipUrl(server, disc);
  HttpSession session("Korvane/" + QByteArray(KorvaneVersion()));
  const HttpSession::Result result = session.Get(url, HttpSession::Options{}, abort);
  AccurateRipAnswer answer;
  if (result.ok) {
    answer = ParseAccurateRipAnswer(result.body, disc);
  } else if (result.status == kNotFound) {
    answer = {};
  } else if (result.status != 0) {
    answer.error = QStringLiteral("the database answered with status %1").arg(result.status);
  } else {
    answer.error = QStringLiteral("the database cannot be reached: %1").arg(result.error);
  }
  if (!answer.Usable()) qCDebug(lcNet) << "AccurateRip" << url << "unusable:" << answer.error;
  return answer;
}
