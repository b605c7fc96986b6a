#include "metadata/freedb_client.h"

#include <QHash>
#include <QSysInfo>
#include <algorithm>

#include "metadata/cddb_protocol.h"
#include "metadata/disc_info.h"
#include "metadata/freedb_http_client.h"
#include "metadata/freedb_tcp_client.h"
#include "platform/codepage.h"
#include "platform/log.h"
#include "settings/freedb_settings.h"
#include "texts/language_manager.h"

FreeDbClientSettings FreeDbClientSettings::FromSettings(const FreeDbSettings& settings,
                                                        FreeDbAccess access) {
  FreeDbClientSettings s;
  s.server = settings.Server();
  s.port = access == FreeDbAccess::Http ? settings.HttpPort() : settings.TcpPort();
  s.proxyType = settings.ProxyType();
  s.proxyServer = settings.ProxyServer();
  s.proxyPort = settings.ProxyPort();
  s.userName = settings.UserName();
  s.password = settings.Password();
  s.email = settings.Email();
  return s;
}

std::unique_ptr<FreeDbClient> FreeDbClient::Create(FreeDbAccess access) {
  if (access == FreeDbAccess::Http) return std::make_unique<FreeDbHttpClient>();
  return std::make_unique<FreeDbTcpClient>();
}

FreeDbClient::FreeDbClient() {
  lookupTimer_.setSingleShot(true);
  QObject::connect(&lookupTimer_, &QTimer::timeout, [this] {
    FailAt(FreeDb::Text::NetworkFailed,
           QStringLiteral("timed out after %1 s, the limit of the whole lookup")
               .arg(lookupTimeoutMs_ / 1000.0));
  });
}

void FreeDbClient::SetTimeouts(int connectMs, int answerMs, int lookupMs) {
  connectTimeoutMs_ = connectMs;
  answerTimeoutMs_ = answerMs;
  lookupTimeoutMs_ = lookupMs;
}

bool FreeDbClient::Run(DiscInfo* info, const TocAddresses& toc) {
  if (!info) return false;
  const QString query = Cddb::QueryText(toc);
  if (query.isEmpty()) return false;
  info_ = info;
  toc_ = toc;
  query_ = query;
  matchedId_.clear();
  matches_.clear();
  awaitingChoice_ = false;
  finished_ = false;
  notFound_ = false;
  lookupTimer_.start(lookupTimeoutMs_);
  Report(FreeDb::Text::DiscId, QStringLiteral(" %1").arg(DiscIdText(ComputeDiscId(toc))), 5);
  if (!Setup()) {
    Fail(FreeDb::Text::NetworkFailed);
    return true;
  }
  Connect();
  return true;
}

QString FreeDbClient::Line(int textId, const QString& extra) const {
  const QString text = texts_ ? texts_(textId) : LanguageManager::Instance().Text(textId);
  return text + QLatin1Char(' ') + extra;
}

void FreeDbClient::Deliver(LookupReport report) {
  if (finished_) return;  // one lookup, one end
  const bool ends = report.Ends();
  if (ends) {
    finished_ = true;
    lookupTimer_.stop();
  }
  qCDebug(lcFreeDb) << int(report.state) << report.value << report.text;
  if (reporter_) reporter_(std::move(report));
  if (ends) OnFinished();
}

void FreeDbClient::Report(int textId, const QString& extra, double value) {
  Deliver({Line(textId, extra), value});
}

void FreeDbClient::Fail(int textId, const QString& extra) {
  Deliver(LookupReport::Failed(Line(textId, extra)));
}

void FreeDbClient::FailAt(int textId, const QString& cause) { Fail(textId, AtServer(cause)); }

void FreeDbClient::FailAtServer(const QString& cause) {
  Deliver(LookupReport::Failed(AtServer(cause)));
}

QString FreeDbClient::AtServer(const QString& cause) const {
  return QStringLiteral("%1:%2: %3").arg(settings_.server, QString::number(settings_.port), cause);
}

QString FreeDbClient::TimedOut(int ms, const QString& waitingFor) {
  return QStringLiteral("timed out after %1 s waiting for %2").arg(ms / 1000.0).arg(waitingFor);
}

bool FreeDbClient::Connect() {
  Report(FreeDb::Text::Connecting, QString(), 10);
  return true;
}

void FreeDbClient::Prepare() { Report(FreeDb::Text::Preparing, QString(), 30); }

void FreeDbClient::Query() { Report(FreeDb::Text::Querying, QString(), 50); }

bool FreeDbClient::HandleQueryResponse(const QString& response) {
  switch (response.left(3).toInt()) {
    case 200:
    case 210:
    case 211:
      matches_ = Cddb::QueryMatches(response);
      if (matches_.isEmpty()) {  // a list without lines
        Fail(FreeDb::Text::UnknownCode);
        return false;
      }
      if (!chooser_) {
        TakeMatch(matches_.first());
        return true;
      }
      // The time a person takes to choose does not count against the lookup's limit.
      awaitingChoice_ = true;
      lookupTimer_.stop();
      chooser_(matches_);  // may choose at once
      return false;
    case 202:
      notFound_ = true;
      Report(FreeDb::Text::DiscNotFound, QString(), 70);
      Fail(FreeDb::Text::Closing);
      return false;
    default: Fail(FreeDb::Text::UnknownCode); return false;
  }
}

void FreeDbClient::ParseMatch(const QString& match) { TakeMatch(Cddb::ParseMatchLine(match)); }

void FreeDbClient::TakeMatch(const Cddb::Match& match) {
  if (info_) {
    info_->genre = match.category;
    info_->SetKnown(DiscInfo::Genre);  // the category the server files the disc under
  }
  matchedId_ = match.discId;
}

void FreeDbClient::ChooseMatch(int index) {
  if (!awaitingChoice_ || finished_) return;
  awaitingChoice_ = false;
  lookupTimer_.start(lookupTimeoutMs_);
  if (index < 0 || index >= matches_.size()) return Fail(FreeDb::Text::NoDiscChosen);
  TakeMatch(matches_[index]);
  ReadEntry();
}

QString FreeDbClient::RequestRead() {
  Report(FreeDb::Text::DiscFound, QString(), 70);
  return QStringLiteral("cddb read %1 %2\n").arg(info_ ? info_->genre : QString(), matchedId_);
}

int FreeDbClient::Finish(const QByteArray& entry) {
  Report(FreeDb::Text::Completed, QString(), 90);
  ParseEntry(entry);
  Report(FreeDb::Text::Finished, QString(), 99);
  Deliver(LookupReport::Succeeded());
  return 1;
}

void FreeDbClient::FinishWithAnswer(const QByteArray& answer) {
  if (Cddb::AnswerCode(answer) != 210) return Fail(FreeDb::Text::UnknownCode);
  if (const QString fault = Cddb::EntryFault(answer); !fault.isEmpty())
    return FailAt(FreeDb::Text::NetworkFailed, fault);
  Finish(answer);
}

int FreeDbClient::ParseEntry(const QByteArray& entry) {
  return info_ ? ParseFreeDbEntry(entry, static_cast<int>(toc_.trackStarts.size()), *info_) : 0;
}

namespace {

// A hello field is one word: blanks would shift the fields after it.
QString HelloField(QString text) {
  for (QChar& c : text) {
    if (c.isSpace()) c = QLatin1Char('_');
  }
  return text;
}

}  // namespace

QString FreeDbClient::HelloUser() const {
  const QString email = settings_.email.trimmed();
  const qsizetype at = email.indexOf(QLatin1Char('@'));
  return at > 0 ? HelloField(email.left(at)) : QStringLiteral("korvane_user");
}

QString FreeDbClient::HelloHost() const {
  const QString email = settings_.email.trimmed();
  const qsizetype at = email.indexOf(QLatin1Char('@'));
  if (at > 0 && at + 1 < email.size()) return HelloField(email.mid(at + 1));
  const QString host = QSysInfo::machineHostName();
  return host.isEmpty() ? QStringLiteral("localhost") : HelloField(host);
}

// ---- entry parsing ----------------------------------------------------------------

namespace {

QString TrimTrailingSpaces(QString text) {
  while (text.endsWith(QLatin1Char(' '))) text.chop(1);
  return text;
}

// The values of an xmcd entry by key. A key that appears on several lines continues its
// value: the pieces are joined in order. Lines may end in CR LF or in a bare LF.
QHash<QString, QString> EntryValues(const QString& whole) {
  QHash<QString, QString> values;
  for (QStringView line : QStringView(whole).split(QLatin1Char('\n'))) {
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    if (line.startsWith(QLatin1Char('#'))) continue;
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals <= 0) continue;
    values[line.left(equals).toString()] += line.mid(equals + 1);
  }
  return values;
}

// "Artist / Album": the separator is " / "; only a title without one splits at its first
// "/", unless that is its second character ("A/B Side" is an album alone).
void ParseDiscTitle(const QString& title, DiscInfo& info) {
  qsizetype slash = title.indexOf(QLatin1String(" / "));
  qsizetype albumAt = slash + 3;
  if (slash < 0) {
    slash = title.indexOf(QLatin1Char('/'));
    albumAt = slash + 1;
    if (slash == 1) {
      info.album = title.trimmed();
      return;
    }
  }
  info.artist = slash < 0 ? QString() : TrimTrailingSpaces(title.left(slash));
  info.album = (slash < 0 ? title : title.mid(albumAt)).trimmed();
}

void ParseYear(const QString& whole, const QHash<QString, QString>& values, DiscInfo& info) {
  if (const auto dyear = values.constFind(QStringLiteral("DYEAR")); dyear != values.constEnd()) {
    info.year = TrimTrailingSpaces(*dyear);
    info.SetKnown(DiscInfo::Year);
    return;
  }
  const qsizetype extended = whole.indexOf(QLatin1String("YEAR:"));
  if (extended < 0) return;
  QString year = whole.mid(extended + 6, 4).section(QLatin1Char('\n'), 0, 0);
  if (year.endsWith(QLatin1Char('\r'))) year.chop(1);
  info.year = year;
  info.SetKnown(DiscInfo::Year);
}

const QLatin1String kSeparator(" / ");

// A compilation's entry names each track "Artist / Title": a disc of "Various" artists, or
// one whose every track title carries the separator.
bool IsCompilation(const QString& discArtist, const QStringList& titles) {
  if (discArtist.compare(QLatin1String("Various"), Qt::CaseInsensitive) == 0) return true;
  return std::all_of(titles.begin(), titles.end(),
                     [](const QString& title) { return title.contains(kSeparator); });
}

// Sets entry index of list, first filling the entries in front of it with their defaults.
void SetEntry(QStringList& list, int index, const QString& text,
              const std::function<QString(int)>& defaultAt) {
  while (list.size() <= index) list.append(defaultAt(int(list.size())));
  list[index] = text;
}

// The track titles, and on a compilation each track's artist: split at the first separator,
// so "Tomas Ek / Rain / Static" is "Rain / Static" by Tomas Ek. Elsewhere a title stays whole.
void ParseTrackTitles(const QHash<QString, QString>& values, int trackCount, DiscInfo& info) {
  QStringList titles;
  for (int i = 0; i < trackCount; ++i) {
    titles << values.value(QStringLiteral("TTITLE%1").arg(i));
  }
  const bool compilation = IsCompilation(info.artist, titles);
  info.MarkVariousArtists(compilation ? 1 : 0);
  for (int i = 0; i < trackCount; ++i) {
    if (!values.contains(QStringLiteral("TTITLE%1").arg(i))) continue;
    QString title = TrimTrailingSpaces(titles[i]);
    const qsizetype separator = title.indexOf(kSeparator);
    if (compilation && separator >= 0) {
      SetEntry(info.trackArtists, i, title.left(separator).trimmed(),
               [](int) { return QString::fromLatin1(DiscInfo::kUnknownArtist); });
      title = title.mid(separator + kSeparator.size()).trimmed();
    }
    SetEntry(info.trackTitles, i, title,
             [](int at) { return DiscInfo::DefaultTrackTitle(at + 1); });
  }
}

}  // namespace

int ParseFreeDbEntry(const QByteArray& entry, int trackCount, DiscInfo& info) {
  // The entry is not a MusicBrainz release: ids of one looked up before would tag the files
  // as another release.
  info.ForgetRelease();
  const QString whole = Cddb::DecodeAnswer(entry);
  const QHash<QString, QString> values = EntryValues(whole);
  if (const auto title = values.constFind(QStringLiteral("DTITLE")); title != values.constEnd()) {
    ParseDiscTitle(*title, info);
  }
  ParseYear(whole, values, info);
  // A genre of one or two letters is an abbreviation; the category says more.
  if (const QString genre = values.value(QStringLiteral("DGENRE")); genre.size() > 2) {
    info.genre = genre;
    info.SetKnown(DiscInfo::Genre);
  }
  if (trackCount < 1 || trackCount > 99) return 0;
  ParseTrackTitles(values, trackCount, info);
  return 1;
}
