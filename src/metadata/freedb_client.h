#pragma once
#include <QByteArray>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

#include "metadata/cddb_protocol.h"
#include "metadata/disc_id.h"
#include "platform/ids.h"

class DiscInfo;
class FreeDbSettings;

namespace FreeDb {
// Interface texts of the lookup's status lines.
namespace Text {
constexpr int ProxyCannotConnect = 1024;
constexpr int ProxyRequestFailed = 1025;
constexpr int ProxyAuthTypeUnsupported = 1026;
constexpr int ProxyAuthFailed = 1027;
constexpr int ProxyAuthRequired = 1028;
constexpr int ProxyCannotResolve = 1029;
constexpr int ProxyUnknownError = 1030;
constexpr int NetworkFailed = 1032;
constexpr int Preparing = 1033;
constexpr int Querying = 1034;
constexpr int DiscFound = 1035;
constexpr int DiscNotFound = 1036;
constexpr int Closing = 1037;
constexpr int UnknownCode = 1038;
constexpr int Completed = 1039;
constexpr int Finished = 1040;
constexpr int CannotConnect = 1041;
constexpr int Connecting = 1042;
constexpr int DiscId = 1043;
constexpr int NoDiscChosen = 1050;
}  // namespace Text
}  // namespace FreeDb

// One status report of a lookup: a status line with its progress percentage, or the end of
// the lookup, which carries no progress (and, when it failed, the line saying why).
struct LookupReport {
  enum class State { Progress, Succeeded, Failed };

  QString text;
  double value = 0;
  State state = State::Progress;

  static LookupReport Succeeded() { return {QString(), 0, State::Succeeded}; }
  static LookupReport Failed(QString text) { return {std::move(text), 0, State::Failed}; }

  bool Ends() const { return state != State::Progress; }
  bool operator==(const LookupReport&) const = default;
};

// Where and how to reach the freedb server, filled from "FreeDBSettings" for each lookup.
struct FreeDbClientSettings {
  QString server;
  int port = 0;
  ProxyKind proxyType = ProxyKind::Direct;
  QString proxyServer;
  int proxyPort = 0;
  QString userName;
  QString password;
  QString email;  // when set, gives the user and host fields of the hello

  // The port is "fdHTTPPort" over HTTP, else "fdTCPPort".
  static FreeDbClientSettings FromSettings(const FreeDbSettings& settings, FreeDbAccess access);
};

// Looks the disc up on a freedb server and fills DiscInfo. Each step reports a status line
// with a progress value through the reporter; a lookup ends with exactly one report that
// succeeded or failed. Reports arrive on the thread that called Run, from its event loop.
class FreeDbClient {
 public:
  using Reporter = std::function<void(LookupReport report)>;
  using TextSource = std::function<QString(int textId)>;
  // Shown the discs a query answer lists; the front end answers with ChooseMatch, at once
  // or later.
  using MatchChooser = std::function<void(const QList<Cddb::Match>& matches)>;

  static constexpr int kConnectTimeoutMs = 15000;
  static constexpr int kAnswerTimeoutMs = 30000;
  // The whole lookup, however quickly each step is answered.
  static constexpr int kLookupTimeoutMs = 60000;

  // The HTTP client or the line-protocol client.
  static std::unique_ptr<FreeDbClient> Create(FreeDbAccess access);

  FreeDbClient();
  virtual ~FreeDbClient() = default;

  void SetSettings(const FreeDbClientSettings& settings) { settings_ = settings; }
  void SetReporter(Reporter reporter) { reporter_ = std::move(reporter); }
  // The interface texts by number; the language manager's unless set.
  void SetTextSource(TextSource source) { texts_ = std::move(source); }
  // The limits of connecting, of each answer, and of the whole lookup.
  void SetTimeouts(int connectMs, int answerMs, int lookupMs = kLookupTimeoutMs);
  // With a chooser every answer that lists discs (one or several) waits for ChooseMatch;
  // without one the first listed disc is read.
  void SetMatchChooser(MatchChooser chooser) { chooser_ = std::move(chooser); }
  // Reads the entry of the listed disc at index, or ends the lookup without a result for an
  // index outside the list. Does nothing unless the lookup waits for a choice.
  void ChooseMatch(int index);
  bool AwaitingChoice() const { return awaitingChoice_; }

  // Starts the lookup of the disc with this table of contents. False, with nothing
  // reported, when there is no record or the table has no valid track count.
  bool Run(DiscInfo* info, const TocAddresses& toc);

  bool Finished() const { return finished_; }
  // The lookup ended because the server does not know the disc.
  bool DiscNotFound() const { return notFound_; }
  const QString& QueryText() const { return query_; }
  const QString& MatchedDiscId() const { return matchedId_; }

  // The answer to the query: takes the first match into the record's genre (the category)
  // and the matched identifier, and true, when the entry is to be read now. False when the
  // lookup ended (no match) or waits for the chooser's answer.
  virtual bool HandleQueryResponse(const QString& response);
  virtual void ParseMatch(const QString& match);
  // Fills the record from an xmcd database entry in Windows-1252. 0 when the table has no
  // valid track count.
  virtual int ParseEntry(const QByteArray& entry);

 protected:
  virtual bool Setup() = 0;
  virtual bool Connect();
  virtual void Prepare();
  virtual void Query();
  // The read command for the match, "cddb read CATEGORY DISCID\n".
  virtual QString RequestRead();
  // Asks the server for the entry of the match taken.
  virtual void ReadEntry() = 0;
  virtual int Finish(const QByteArray& entry);
  // The answer to the read: Finish with the entry it carries, or end the lookup when the
  // server sent no entry (an unknown disc, an error).
  void FinishWithAnswer(const QByteArray& answer);

  // A progress line: the text of textId, a blank, then extra.
  void Report(int textId, const QString& extra, double value);
  // Ends the lookup without a result, with this status line.
  void Fail(int textId, const QString& extra = QString());
  // Fail with the status line naming the server and the cause: "TEXT host:port: cause".
  void FailAt(int textId, const QString& cause);
  // Fail with the line "host:port: cause", for a server that answered, though not usefully.
  void FailAtServer(const QString& cause);
  // "timed out after 30 s waiting for an answer": the limit of one step ended the lookup.
  static QString TimedOut(int ms, const QString& waitingFor = QStringLiteral("an answer"));
  // Called once when the lookup has ended, to drop connections and timers.
  virtual void OnFinished() {}

  // The hello's user and host fields.
  QString HelloUser() const;
  QString HelloHost() const;

  FreeDbClientSettings settings_;
  DiscInfo* info_ = nullptr;
  TocAddresses toc_;
  QString query_;
  QString matchedId_;
  int connectTimeoutMs_ = kConnectTimeoutMs;
  int answerTimeoutMs_ = kAnswerTimeoutMs;
  int lookupTimeoutMs_ = kLookupTimeoutMs;

 private:
  // Hands the report on, unless the lookup has ended; an ending report ends it.
  void Deliver(LookupReport report);
  // The text of textId, a blank, then extra.
  QString Line(int textId, const QString& extra) const;
  // "host:port: cause"
  QString AtServer(const QString& cause) const;

  // The match's category (into the record's genre) and identifier.
  void TakeMatch(const Cddb::Match& match);

  Reporter reporter_;
  TextSource texts_;
  QTimer lookupTimer_;  // the limit of the whole lookup
  MatchChooser chooser_;
  QList<Cddb::Match> matches_;
  bool awaitingChoice_ = false;
  bool finished_ = false;
  bool notFound_ = false;
};

// The entry parser on its own, for the client and for tests and fuzzing.
int ParseFreeDbEntry(const QByteArray& entry, int trackCount, DiscInfo& info);
