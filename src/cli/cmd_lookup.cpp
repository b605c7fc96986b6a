// lookup: looks the current disc up on a freedb server and stores what it finds.
#include <QJsonArray>
#include <QUrl>
#include <optional>

#include "app/disc_lookup.h"
#include "cli/cli_command.h"
#include "cli/cli_disc.h"
#include "metadata/disc_info.h"
#include "metadata/freedb_client.h"
#include "settings/freedb_settings.h"
#include "texts/language_manager.h"

namespace {

const QCommandLineOption kHttp("http",
                               "Ask the server's cddb.cgi over HTTP instead of the line protocol.");
const QCommandLineOption kServer("server", "The freedb server, instead of fdServer.", "HOST");
const QCommandLineOption kPort("port", "The server's port, instead of fdTCPPort or fdHTTPPort.",
                               "N");
const QCommandLineOption kProxy(
    "proxy",
    "The proxy for this lookup: socks4://host:port, socks4a://host:port, "
    "socks5://[user:pass@]host:port or http://[user:pass@]host:port.",
    "URL");

const QCommandLineOption kList("list",
                               "List the discs the server matches, numbered, and read none.");
const QCommandLineOption kMatch(
    "match", "Read the disc of this number in the server's list (see --list), not the first.", "N");

constexpr int kCannotDetectTracks = 1008;
constexpr int kTrackListLabel = 1013;
constexpr int kLabels[] = {2001, 2002, 2003, 2004};  // "Artist: ", "Album: ", "Year: ", "Genre: "

void AddLookupOptions(QCommandLineParser& parser) {
  parser.addOption(kHttp);
  parser.addOption(kServer);
  parser.addOption(kPort);
  parser.addOption(kProxy);
  parser.addOption(kList);
  parser.addOption(kMatch);
  AddJsonOption(parser);
}

QString Text(int id) { return LanguageManager::Instance().Text(id); }

// The proxy kind for a --proxy scheme; none for one we do not speak.
std::optional<ProxyKind> ProxyKindOf(const QString& scheme) {
  if (scheme == "socks4") return ProxyKind::Socks4;
  if (scheme == "socks4a") return ProxyKind::Socks4a;
  if (scheme == "socks5") return ProxyKind::Socks5;
  if (scheme == "http") return ProxyKind::Http11;
  return std::nullopt;
}

// Applies --server, --port and --proxy over the stored settings. The HTTP client goes
// through the system's proxy, so for it --proxy becomes that proxy for this run.
bool ApplyOptions(CliContext& ctx, FreeDbAccess access, FreeDbClientSettings& settings) {
  if (ctx.parser.isSet(kServer)) settings.server = ctx.parser.value(kServer);
  if (ctx.parser.isSet(kPort)) {
    bool number = false;
    settings.port = ctx.parser.value(kPort).toInt(&number);
    if (!number || settings.port < 1 || settings.port > 65535) {
      Fail(ctx, Exit::BadArguments,
           QString("--port takes a port number, not \"%1\"").arg(ctx.parser.value(kPort)));
      return false;
    }
  }
  if (!ctx.parser.isSet(kProxy)) return true;
  const QString value = ctx.parser.value(kProxy);
  const QUrl url(value, QUrl::StrictMode);
  const std::optional<ProxyKind> kind = ProxyKindOf(url.scheme().toLower());
  if (!url.isValid() || !kind || url.host().isEmpty() || url.port() < 1) {
    Fail(ctx, Exit::BadArguments,
         QString("--proxy takes socks4://, socks4a://, socks5:// or http:// "
                 "with a host and a port, not \"%1\"")
             .arg(value));
    return false;
  }
  if (access == FreeDbAccess::Http) {
    qputenv("http_proxy", value.toUtf8());
    return true;
  }
  settings.proxyType = *kind;
  settings.proxyServer = url.host();
  settings.proxyPort = url.port();
  settings.userName = url.userName(QUrl::FullyDecoded);
  settings.password = url.password(QUrl::FullyDecoded);
  return true;
}

// The discs of the server's list, numbered from 1 as --match takes them.
void PrintMatches(CliContext& ctx, const QList<Cddb::Match>& matches) {
  if (WantsJson(ctx)) {
    QJsonArray list;
    for (qsizetype i = 0; i < matches.size(); ++i) {
      list.append(QJsonObject{{"number", int(i + 1)},
                              {"category", matches[i].category},
                              {"discId", matches[i].discId},
                              {"title", matches[i].title}});
    }
    return PrintJson(ctx, QJsonObject{{"matches", list}});
  }
  for (qsizetype i = 0; i < matches.size(); ++i) {
    ctx.out << QString::asprintf("%2d  ", int(i + 1)) << Printable(matches[i].category) << " "
            << Printable(matches[i].discId) << "  " << Printable(matches[i].title) << Qt::endl;
  }
}

// The record as the lookup dialog shows it after a lookup.
void PrintRecord(CliContext& ctx, const DiscInfo& info) {
  const QString values[] = {info.artist, info.album, info.year, info.genre};
  ctx.out << "===================" << Qt::endl;
  for (int i = 0; i < 4; ++i) {
    const QString label = Text(kLabels[i]);
    ctx.out << label.left(label.indexOf(QLatin1Char(':'))) << ": " << Printable(values[i])
            << Qt::endl;
  }
  ctx.out << Text(kTrackListLabel) << Qt::endl;
  for (int i = 0; i < info.trackTitles.size(); ++i) {
    ctx.out << Printable(info.GetTrackArtist(i)) << " - " << Printable(info.GetTrackTitle(i))
            << Qt::endl;
  }
}

int RunLookup(CliContext& ctx) {
  QString drive;
  int status = Exit::Ok;
  if (!SelectDriveWithDisc(ctx, drive, status)) return status;

  const FreeDbSettings stored;
  const FreeDbAccess access = ctx.parser.isSet(kHttp) ? FreeDbAccess::Http : stored.AccessMethod();
  FreeDbClientSettings settings = FreeDbClientSettings::FromSettings(stored, access);
  if (!ApplyOptions(ctx, access, settings)) return Exit::BadArguments;
  int wanted = 1;  // the number of the disc to read in the server's list
  if (ctx.parser.isSet(kMatch)) {
    bool number = false;
    wanted = ctx.parser.value(kMatch).toInt(&number);
    if (!number || wanted < 1) {
      return Fail(
          ctx, Exit::BadArguments,
          QString("--match takes a number from 1, not \"%1\"").arg(ctx.parser.value(kMatch)));
    }
  }

  DiscInfo info;
  LoadDiscInformation(info);
  DiscLookup lookup(info, access, settings);
  // With --json the record is the only thing on stdout.
  QTextStream& statusLines = WantsJson(ctx) ? ctx.err : ctx.out;
  lookup.SetStatusLine(
      [&](double, const QString& text) { statusLines << Printable(text.trimmed()) << Qt::endl; });
  bool listed = false;
  qsizetype offered = 0;  // the discs listed when --match asked for one beyond them
  lookup.SetMatchChooser([&](const QList<Cddb::Match>& matches) {
    if (ctx.parser.isSet(kList)) {
      PrintMatches(ctx, matches);
      listed = true;
      return lookup.ChooseMatch(-1);
    }
    if (wanted > matches.size()) {
      offered = matches.size();
      return lookup.ChooseMatch(-1);
    }
    if (!ctx.parser.isSet(kMatch) && matches.size() > 1) {
      statusLines << QString(
                         "%1 discs match; reading the first (--list shows them, --match N "
                         "reads another)")
                         .arg(matches.size())
                  << Qt::endl;
    }
    lookup.ChooseMatch(wanted - 1);
  });
  const LookupOutcome outcome = lookup.Run();
  if (listed) return Exit::Ok;
  if (offered > 0) {
    return Fail(ctx, Exit::BadArguments,
                QString("--match %1: the server lists %2 discs").arg(wanted).arg(offered));
  }
  switch (outcome.status) {
    case LookupOutcome::Status::Found: break;
    case LookupOutcome::Status::NotFound:
      return Fail(ctx, Exit::PartialFailure, Printable(outcome.message));
    case LookupOutcome::Status::NoDisc: return Fail(ctx, Exit::NoDisc, Text(kCannotDetectTracks));
    default: return Fail(ctx, Exit::Failed, Printable(outcome.message));
  }
  if (WantsJson(ctx)) {
    PrintJson(ctx, DiscInfoJson(info));
  } else {
    PrintRecord(ctx, info);
  }
  return Exit::Ok;
}

const RegisterCommand kLookup({"lookup",
                               "[--http] [--server HOST] [--port N] [--proxy URL] [--list | "
                               "--match N] [--json]",
                               "Look the disc up on the freedb server and store what it finds.",
                               AddLookupOptions, RunLookup});

}  // namespace
