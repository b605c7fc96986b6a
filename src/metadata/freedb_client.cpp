#include "metadata/freedb_client.h"

#include <QSysInfo>

#include "metadata/cddb_protocol.h"
#include "metadata/disc_info.h"
#include "metadata/freedb_http_client.h"
#include "metadata/freedb_tcp_client.h"
#include "platform/codepage.h"
#include "platform/log.h"
#include "settings/freedb_settings.h"
#include "texts/language_manager.h"

FreeDbClientSettings FreeDbClientSettings::FromSettings(const FreeDbSettings& settings, int accessMethod) {
  FreeDbClientSettings s;
  s.server = settings.Server();
  s.port = accessMethod == FreeDb::kViaHttp ? settings.HttpPort() : settings.TcpPort();
  s.proxyType = settings.ProxyType();
  s.proxyServer = settings.ProxyServer();
  s.proxyPort = settings.ProxyPort();
  s.userName = settings.UserName();
  s.password = settings.Password();
  s.email = settings.Email();
  return s;
}

std::unique_ptr<FreeDbClient> FreeDbClient::Create(int accessMethod) {
  if (accessMethod == FreeDb::kViaHttp) return std::make_unique<FreeDbHttpClient>();
  return std::make_unique<FreeDbTcpClient>();
}

void FreeDbClient::SetTimeouts(int connectMs, int answerMs) {
  connectTimeoutMs_ = connectMs;
  answerTimeoutMs_ = answerMs;
}

bool FreeDbClient::Run(DiscInfo* info, const TocAddresses& toc) {
  if (!info) return false;
  const QString query = Cddb::QueryText(toc);
  if (query.isEmpty()) return false;
  info_ = info;
  toc_ = toc;
  query_ = query;
  matchedId_.clear();
  finished_ = false;
  notFound_ = false;
  Report(FreeDb::Text::DiscId, QStringLiteral(" %1").arg(DiscIdText(ComputeDiscId(toc))), 5);
  if (!Setup()) {
    Fail(FreeDb::Text::NetworkFailed);
    return true;
  }
  Connect();
  return true;
}

void FreeDbClient::Report(int textId, const QString& extra, double value) {
  if (finished_) return;  // one lookup, one end
  const bool ends = value == FreeDb::kLookupSucceeded || value == FreeDb::kLookupFailed;
  if (ends) finished_ = true;
  const QString text = texts_ ? texts_(textId) : LanguageManager::Instance().Text(textId);
  qCDebug(lcFreeDb) << value << text << extra;
  if (reporter_) reporter_(value, text + QLatin1Char(' ') + extra);
  if (ends) OnFinished();
}

void FreeDbClient::Fail(int textId, const QString& extra) { Report(textId, extra, FreeDb::kLookupFailed); }

bool FreeDbClient::Connect() {
  Report(FreeDb::Text::Connecting, QString(), 10);
  return true;
}

void FreeDbClient::Prepare() { Report(FreeDb::Text::Preparing, QString(), 30); }

void FreeDbClient::Query() { Report(FreeDb::Text::Querying, QString(), 50); }

bool FreeDbClient::HandleQueryResponse(const QString& response) {
  switch (response.left(3).toInt()) {
    case 200:
      ParseMatch(response.mid(4));
      return true;
    case 210:
    case 211: {
      const qsizetype lineEnd = response.indexOf(QLatin1String("\r\n"));
      ParseMatch(lineEnd >= 0 ? response.mid(lineEnd + 2) : response);
      return true;
    }
    case 202:
      notFound_ = true;
      Report(FreeDb::Text::DiscNotFound, QString(), 70);
      Fail(FreeDb::Text::Closing);
      return false;
    default:
      Fail(FreeDb::Text::UnknownCode);
      return false;
  }
}

void FreeDbClient::ParseMatch(const QString& match) {
  const qsizetype first = match.indexOf(QLatin1Char(' '));
  const qsizetype second = first < 0 ? -1 : match.indexOf(QLatin1Char(' '), first + 1);
  if (info_) info_->genre = first < 0 ? QString() : match.left(first);
  matchedId_ = second < 0 ? QString() : match.mid(first + 1, second - first - 1);
}

QString FreeDbClient::RequestRead() {
  Report(FreeDb::Text::DiscFound, QString(), 70);
  return QStringLiteral("cddb read %1 %2\n").arg(info_ ? info_->genre : QString(), matchedId_);
}

int FreeDbClient::Finish(const QByteArray& entry) {
  Report(FreeDb::Text::Completed, QString(), 90);
  ParseEntry(entry);
  Report(FreeDb::Text::Finished, QString(), 99);
  if (!finished_) {
    finished_ = true;
    if (reporter_) reporter_(FreeDb::kLookupSucceeded, QString());
    OnFinished();
  }
  return 1;
}

void FreeDbClient::FinishWithAnswer(const QByteArray& answer) {
  if (Cddb::AnswerCode(answer) != 210) return Fail(FreeDb::Text::UnknownCode);
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

const QString kDtitle = QStringLiteral("DTITLE=");

QString TrimTrailingSpaces(QString text) {
  while (text.endsWith(QLatin1Char(' '))) text.chop(1);
  return text;
}

QString TrimSpaces(QString text) {
  text = TrimTrailingSpaces(std::move(text));
  qsizetype lead = 0;
  while (lead < text.size() && text[lead] == QLatin1Char(' ')) ++lead;
  return text.mid(lead);
}

// The text up to the next line feed (all of it when there is none), without the carriage
// return before the line feed.
QString LineFrom(const QString& text, qsizetype from = 0) {
  const qsizetype end = text.indexOf(QLatin1Char('\n'), from);
  QString line = end < 0 ? text.mid(from) : text.mid(from, end - from);
  if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
  return line;
}

// Where the disc title's lines end: the line of the first DTITLE= and the DTITLE= lines
// that continue it. A "/" past this point belongs to another key.
qsizetype EndOfTitleLines(const QString& afterKey) {
  qsizetype end = afterKey.indexOf(QLatin1Char('\n'));
  while (end >= 0 && afterKey.mid(end + 1, kDtitle.size()) == kDtitle) {
    end = afterKey.indexOf(QLatin1Char('\n'), end + 1);
  }
  return end < 0 ? afterKey.size() : end;
}

void ParseDiscTitle(const QString& whole, DiscInfo& info) {
  const qsizetype key = whole.indexOf(kDtitle);
  QString text = key >= 0 ? whole.mid(key + kDtitle.size()) : whole.mid(6);
  qsizetype slash = text.indexOf(QLatin1Char('/'));
  if (slash > EndOfTitleLines(text)) slash = -1;
  if (slash != 1) {
    QString artist = TrimTrailingSpaces(slash >= 0 ? text.left(slash) : QString());
    const qsizetype continued = artist.indexOf(kDtitle);
    if (continued >= 0) artist = artist.left(std::max<qsizetype>(0, continued - 2));
    info.artist = artist;
    const qsizetype again = text.indexOf(kDtitle);
    if (again >= 0) text = text.mid(again + kDtitle.size());
    const qsizetype rest = slash >= 0 ? text.indexOf(QLatin1Char('/')) : -1;
    if (rest >= 0) text = text.mid(rest + 1);
  }
  info.album = text.contains(QLatin1Char('\n')) ? TrimSpaces(LineFrom(text)) : QString();
}

void ParseYear(const QString& whole, DiscInfo& info) {
  const qsizetype dyear = whole.indexOf(QLatin1String("DYEAR="));
  if (dyear >= 0) {
    info.year = TrimTrailingSpaces(LineFrom(whole, dyear + 6));
    return;
  }
  const qsizetype extended = whole.indexOf(QLatin1String("YEAR:"));
  if (extended >= 0) info.year = LineFrom(whole.mid(extended + 6, 4));
}

void ParseGenre(const QString& whole, DiscInfo& info) {
  const qsizetype key = whole.indexOf(QLatin1String("DGENRE="));
  if (key < 0) return;
  const qsizetype start = key + 7;
  const qsizetype end = whole.indexOf(QLatin1String("\r\n"), start);
  const QString genre = end < 0 ? whole.mid(start) : whole.mid(start, end - start);
  if (genre.size() > 2) info.genre = genre;
}

void ParseTrackTitles(const QString& whole, int trackCount, DiscInfo& info) {
  qsizetype at = 0;
  for (int i = 0; i < trackCount; ++i) {
    const QString key = QStringLiteral("TITLE%1=").arg(i);
    const qsizetype found = whole.indexOf(key, at);
    if (found < 0) return;
    at = found + key.size();
    const QString line = LineFrom(whole, at);
    const qsizetype slash = line.indexOf(QLatin1Char('/'));
    const QString title = TrimTrailingSpaces(slash >= 0 ? line.left(slash) : line);
    if (i < info.trackTitles.size()) {
      info.trackTitles[i] = title;
    } else {
      info.trackTitles.append(title);
    }
  }
}

}  // namespace

int ParseFreeDbEntry(const QByteArray& entry, int trackCount, DiscInfo& info) {
  const QString whole = Ansi::Decode(entry);
  ParseDiscTitle(whole, info);
  ParseYear(whole, info);
  ParseGenre(whole, info);
  if (trackCount < 1 || trackCount > 99) return 0;
  ParseTrackTitles(whole, trackCount, info);
  return 1;
}
