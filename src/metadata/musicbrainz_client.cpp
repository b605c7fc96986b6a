#include "metadata/musicbrainz_client.h"

#include <QJsonDocument>
#include <QUrl>
#include <chrono>

#include "metadata/freedb_client.h"
#include "platform/version.h"
#include "settings/ini_file.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "texts/language_manager.h"

namespace {

using Clock = std::chrono::steady_clock;

// The earliest moment of the next request to the web service, for the whole process.
struct RequestGate {
  std::mutex lock;
  Clock::time_point next;

  static RequestGate& Instance() {
    static RequestGate gate;
    return gate;
  }
  // Takes the next slot and returns how long to wait for it.
  int TakeSlotMs(int gapMs) {
    std::lock_guard guard(lock);
    const Clock::time_point now = Clock::now();
    const Clock::time_point slot = std::max(now, next);
    next = slot + std::chrono::milliseconds(gapMs);
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(slot - now).count());
  }
};

QString Text(int id) { return LanguageManager::Instance().Text(id); }

QString WithoutTrailingSlash(QString url) {
  while (url.endsWith(QLatin1Char('/'))) url.chop(1);
  return url;
}

QString HostOf(const QString& server) {
  const QUrl url(server);
  return url.host().isEmpty() ? server : url.authority();
}

}  // namespace

MusicBrainzSettings MusicBrainzSettings::FromSettings() {
  const IniFile file(SettingsStore::kFileName);
  return {file.ReadText(Key::MbServer), file.ReadText(Key::MbCoverArtServer),
          file.ReadText(Key::FdEmail)};
}

MusicBrainzClient::MusicBrainzClient(MusicBrainzSettings settings)
    : settings_(std::move(settings)),
      session_(UserAgent()) {}

MusicBrainzClient::~MusicBrainzClient() {
  {
    std::lock_guard guard(waitLock_);
    abort_ = true;
  }
  wake_.notify_all();
}

void MusicBrainzClient::SetTimeouts(int connectMs, int answerMs) {
  connectTimeoutMs_ = connectMs;
  answerTimeoutMs_ = answerMs;
}

QByteArray MusicBrainzClient::UserAgent() const {
  const QString contact = settings_.contact.trimmed().isEmpty()
                              ? QStringLiteral("https://korvane.org")
                              : settings_.contact.trimmed();
  return "Korvane/" + QByteArray(KorvaneVersion()) + " ( " + contact.toUtf8() + " )";
}

QByteArray MusicBrainzClient::LookupUrl(const QString& discId) const {
  return WithoutTrailingSlash(settings_.server).toUtf8() + "/ws/2/discid/" +
         QUrl::toPercentEncoding(discId) +
         "?inc=artist-credits+recordings+labels+release-groups+genres&fmt=json";
}

HttpSession::Options MusicBrainzClient::RequestOptions() const {
  HttpSession::Options options;
  options.connectTimeoutMs = connectTimeoutMs_;
  options.transferTimeoutMs = answerTimeoutMs_;
  options.maxBody = 8 * 1024 * 1024;
  return options;
}

bool MusicBrainzClient::WaitUnlessAborted(int ms) {
  std::unique_lock guard(waitLock_);
  return !wake_.wait_for(guard, std::chrono::milliseconds(ms), [this] { return abort_.load(); });
}

HttpSession::Result MusicBrainzClient::ServiceGet(const QByteArray& url) {
  HttpSession::Options options = RequestOptions();
  options.accept = "application/json";
  HttpSession::Result result;
  for (int attempt = 0; attempt <= kMaxBusyRetries; ++attempt) {
    if (!WaitUnlessAborted(RequestGate::Instance().TakeSlotMs(kMinRequestGapMs))) break;
    result = session_.Get(url, options, &abort_);
    if (result.status != 503) break;
    const long wait = std::max(1L, result.retryAfterSeconds);
    if (wait > kMaxRetryAfterSeconds || attempt == kMaxBusyRetries) break;
    if (!WaitUnlessAborted(int(wait * 1000))) break;
  }
  return result;
}

QString MusicBrainzClient::FailureText(const HttpSession::Result& result,
                                       const QString& server) const {
  const QString host = HostOf(server);
  if (result.status == 503) return Text(MusicBrainz::Text::Busy) + QLatin1Char(' ') + host;
  if (result.timedOut) {
    return Text(FreeDb::Text::NetworkFailed) +
           QStringLiteral(" %1: timed out after %2 s")
               .arg(host)
               .arg((connectTimeoutMs_ + answerTimeoutMs_) / 1000.0);
  }
  const int textId =
      result.notConnected ? FreeDb::Text::CannotConnect : FreeDb::Text::NetworkFailed;
  return Text(textId) + QStringLiteral(" %1: %2").arg(host, result.error.left(511));
}

void MusicBrainzClient::LookUp(const QString& discId, std::function<void(Answer)> done) {
  const QByteArray url = LookupUrl(discId);
  task_.Run([this, url, discId, done = std::move(done)]() -> BackgroundTask::Report {
    const HttpSession::Result result = ServiceGet(url);
    Answer answer;
    if (result.status == 404) {
      answer.status = Answer::Status::NotFound;
      answer.message = Text(MusicBrainz::Text::NotFound);
    } else if (!result.ok) {
      answer.message = FailureText(result, settings_.server);
    } else if (!QJsonDocument::fromJson(result.body).isObject()) {
      answer.message =
          Text(MusicBrainz::Text::BadAnswer) + QLatin1Char(' ') + HostOf(settings_.server);
    } else {
      answer.releases = ParseMusicBrainzReleases(result.body, discId);
      answer.status = answer.releases.isEmpty() ? Answer::Status::NotFound : Answer::Status::Found;
      if (answer.releases.isEmpty()) answer.message = Text(MusicBrainz::Text::NotFound);
    }
    return [done, answer] { done(answer); };
  });
}

void MusicBrainzClient::FetchCover(const QString& releaseId,
                                   std::function<void(CoverAnswer)> done) {
  const QByteArray url = WithoutTrailingSlash(settings_.coverArtServer).toUtf8() + "/release/" +
                         QUrl::toPercentEncoding(releaseId) + "/front-500";
  task_.Run([this, url, done = std::move(done)]() -> BackgroundTask::Report {
    HttpSession::Options options = RequestOptions();
    options.followRedirects = true;
    const HttpSession::Result result = session_.Get(url, options, &abort_);
    CoverAnswer answer;
    if (result.status == 404) {
      answer.ok = true;  // the release has no front cover
    } else if (!result.ok) {
      answer.message = FailureText(result, settings_.coverArtServer);
    } else {
      answer.cover.extension = ImageExtension(result.body);
      answer.ok = !answer.cover.extension.isEmpty();
      if (answer.ok) {
        answer.cover.bytes = result.body;
      } else {
        answer.message = Text(MusicBrainz::Text::BadAnswer) + QLatin1Char(' ') +
                         HostOf(settings_.coverArtServer);
      }
    }
    return [done, answer] { done(answer); };
  });
}
