#pragma once
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "metadata/cover_store.h"
#include "metadata/musicbrainz_release.h"
#include "platform/background_task.h"
#include "platform/http_session.h"

namespace MusicBrainz {
// Interface texts of the MusicBrainz lookup.
namespace Text {
constexpr int Querying = 2800;
constexpr int NotFound = 2801;
constexpr int Busy = 2802;
constexpr int BadAnswer = 2803;
constexpr int AddDisc = 2804;
constexpr int LookupCommand = 2805;
constexpr int ChooseRelease = 2806;
}  // namespace Text
}  // namespace MusicBrainz

// Where to reach MusicBrainz and the Cover Art Archive, from the "MusicBrainz" section, and
// the contact its User-Agent names (the freedb e-mail setting, when set).
struct MusicBrainzSettings {
  QString server;
  QString coverArtServer;
  QString contact;

  static MusicBrainzSettings FromSettings();
};

// MusicBrainz's web service (ws/2, JSON) and the Cover Art Archive, over the platform's HTTP
// service (and so through the system's proxy, as the freedb HTTP client). Each request runs on
// a thread of its own and ends with one call of its handler, on the thread that made the
// request, from its event loop. Requests to the web service are at least a second apart, in
// the whole process; a "503 Service Unavailable" is asked again after its Retry-After.
// Destroying the client aborts a request in progress; its handler is then never called.
class MusicBrainzClient {
 public:
  struct Answer {
    enum class Status { Found, NotFound, Failed };
    Status status = Status::Failed;
    QList<MusicBrainzRelease> releases;
    QString message;  // why it failed, or that the disc is unknown
  };
  struct CoverAnswer {
    bool ok = false;  // an image, or a release without a front cover
    CoverImage cover;
    QString message;
  };

  static constexpr int kConnectTimeoutMs = 15000;
  static constexpr int kAnswerTimeoutMs = 30000;
  static constexpr int kMinRequestGapMs = 1000;
  static constexpr int kMaxBusyRetries = 3;
  static constexpr int kMaxRetryAfterSeconds = 60;

  explicit MusicBrainzClient(MusicBrainzSettings settings);
  ~MusicBrainzClient();
  MusicBrainzClient(const MusicBrainzClient&) = delete;
  MusicBrainzClient& operator=(const MusicBrainzClient&) = delete;

  void SetTimeouts(int connectMs, int answerMs);
  // "Korvane/VERSION ( CONTACT )", as MusicBrainz asks clients to name themselves.
  QByteArray UserAgent() const;
  // The discid request, relative to nothing: the whole URL.
  QByteArray LookupUrl(const QString& discId) const;

  // Asks which releases hold the disc.
  void LookUp(const QString& discId, std::function<void(Answer)> done);
  // Fetches the release's front cover, 500 pixels wide, following redirects.
  void FetchCover(const QString& releaseId, std::function<void(CoverAnswer)> done);

 private:
  HttpSession::Options RequestOptions() const;
  // A GET to the web service, spaced and retried as the service asks.
  HttpSession::Result ServiceGet(const QByteArray& url);
  bool WaitUnlessAborted(int ms);
  // The message of a failed request: "TEXT server: cause".
  QString FailureText(const HttpSession::Result& result, const QString& server) const;

  MusicBrainzSettings settings_;
  int connectTimeoutMs_ = kConnectTimeoutMs;
  int answerTimeoutMs_ = kAnswerTimeoutMs;
  HttpSession session_;
  std::atomic<bool> abort_{false};
  std::mutex waitLock_;
  std::condition_variable wake_;
  // Handlers run on this client's thread and die with it; last, so the worker is waited for
  // before the rest goes.
  BackgroundTask task_;
};
