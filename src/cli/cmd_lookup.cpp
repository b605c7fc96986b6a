// lookup: looks the current disc up on a freedb server, or on MusicBrainz, and stores what it
// finds.
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrl>
#include <optional>

#include "app/disc_lookup.h"
#include "app/musicbrainz_lookup.h"
#include "cli/cli_command.h"
#include "cli/cli_disc.h"
#include "metadata/disc_info.h"
#include "metadata/freedb_client.h"
#include "settings/freedb_settings.h"
#include "texts/language_manager.h"

namespace {

const QCommandLineOption kHttp("http",
                               "Ask the server's cddb.cgi over HTTP instead of the line protocol.");
const QCommandLineOption kMusicBrainz("musicbrainz", "Ask MusicBrainz instead of freedb.");
const QCommandLineOption kRelease("release",
                                  "With --musicbrainz: take this release (its MBID) of the disc.",
                                  "MBID");
const QCommandLineOption kList("list",
                               "List the discs the server matches (with --musicbrainz: the "
                               "releases that hold the disc), numbered, and store none.");
const QCommandLineOption kServer(
    "server", "The freedb server, instead of fdServer (with --musicbrainz: the server's URL).",
    "HOST");
const QCommandLineOption kPort("port", "The server's port, instead of fdTCPPort or fdHTTPPort.",
                               "N");
const QCommandLineOption kProxy(
    "proxy",
    "The proxy for this lookup: socks4://host:port, socks4a://host:port, "
    "socks5://[user:pass@]host:port or http://[user:pass@]host:port.",
    "URL");

const QCommandLineOption kMatch(
    "match", "Read the disc of this number in the server's list (see --list), not the first.", "N");

constexpr int kCannotDetectTracks = 1008;
constexpr int kTrackListLabel = 1013;
constexpr int kLabels[] = {2001, 2002, 2003, 2004};  // "Artist: ", "Album: ", "Year: ", "Genre: "

void AddLookupOptions(QCommandLineParser& parser) {
  parser.addOption(kHttp);
  parser.addOption(kMusicBrainz);
  parser.addOption(kRelease);
  parser.addOption(kList);
  parser.addOption(kServer);
  parser.addOption(kPort);
  parser.addOption(kProxy);
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

bool ApplyProxyOption(CliContext& ctx, FreeDbAccess access, FreeDbClientSettings& settings);

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
  return ApplyProxyOption(ctx, access, settings);
}

// --proxy: for the HTTP clients the system's proxy for this run, else the client's proxy.
bool ApplyProxyOption(CliContext& ctx, FreeDbAccess access, FreeDbClientSettings& settings) {
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
    qputenv("https_proxy", value.toUtf8());
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
    ctx.out << Printable(label.left(label.indexOf(QLatin1Char(':')))) << ": "
            << Printable(values[i]) << Qt::endl;
  }
  ctx.out << Printable(Text(kTrackListLabel)) << Qt::endl;
  for (int i = 0; i < info.trackTitles.size(); ++i) {
    ctx.out << Printable(info.GetTrackArtist(i)) << " - " << Printable(info.GetTrackTitle(i))
            << Qt::endl;
  }
}

void PrintReleases(CliContext& ctx, const QList<MusicBrainzRelease>& releases) {
  if (WantsJson(ctx)) {
    QJsonArray list;
    for (const MusicBrainzRelease& r : releases) {
      list.append(QJsonObject{{"id", r.id},
                              {"title", r.title},
                              {"artist", r.artist},
                              {"date", r.date},
                              {"country", r.country},
                              {"label", r.label},
                              {"catalogNumber", r.catalogNumber},
                              {"barcode", r.barcode},
                              {"format", r.format},
                              {"trackCount", int(r.tracks.size())},
                              {"discNumber", r.discNumber},
                              {"discTotal", r.discTotal}});
    }
    return PrintJson(ctx, {{"releases", list}});
  }
  for (const MusicBrainzRelease& r : releases) {
    const QStringList facts = {r.date,
                               r.country,
                               r.label,
                               r.catalogNumber,
                               r.barcode,
                               r.format,
                               QStringLiteral("%1 tracks").arg(r.tracks.size())};
    ctx.out << r.id << "  " << Printable(r.artist) << " - " << Printable(r.title) << "  ("
            << Printable(facts.filter(QRegularExpression(QStringLiteral("."))).join(", ")) << ")"
            << Qt::endl;
  }
}

void PrintResult(CliContext& ctx, const DiscInfo& info) {
  if (WantsJson(ctx)) {
    PrintJson(ctx, DiscInfoJson(info));
  } else {
    PrintRecord(ctx, info);
  }
}

int RunMusicBrainzLookup(CliContext& ctx, DiscInfo& info) {
  MusicBrainzSettings settings = MusicBrainzSettings::FromSettings();
  if (ctx.parser.isSet(kServer)) settings.server = ctx.parser.value(kServer);
  MusicBrainzLookup lookup(info, settings);
  QTextStream& statusLines = WantsJson(ctx) ? ctx.err : ctx.out;
  statusLines << Text(MusicBrainz::Text::Querying) << Qt::endl;
  const MusicBrainzLookup::Releases found = lookup.RunFindReleases();
  switch (found.status) {
    case LookupOutcome::Status::Found: break;
    case LookupOutcome::Status::NotFound:
      ctx.err << Printable(found.message) << Qt::endl
              << Text(MusicBrainz::Text::AddDisc) << Qt::endl
              << found.submissionUrl << Qt::endl;
      return Exit::PartialFailure;
    case LookupOutcome::Status::NoDisc: return Fail(ctx, Exit::NoDisc, Text(kCannotDetectTracks));
    default: return Fail(ctx, Exit::Failed, Printable(found.message));
  }
  if (ctx.parser.isSet(kList)) {
    PrintReleases(ctx, found.releases);
    return Exit::Ok;
  }
  const QString wanted = ctx.parser.value(kRelease);
  const int index = MusicBrainzLookup::FindRelease(found.releases, wanted);
  if (index < 0) {
    return Fail(ctx, Exit::PartialFailure,
                QString("no release %1 holds this disc; --list shows those that do").arg(wanted));
  }
  const MusicBrainzLookup::Applied applied = lookup.RunApply(found.releases[index]);
  if (!applied.coverProblem.isEmpty()) ctx.err << Printable(applied.coverProblem) << Qt::endl;
  PrintResult(ctx, info);
  if (!applied.stored.cached) return Fail(ctx, Exit::Failed, applied.stored.message);
  return Exit::Ok;
}

int RunLookup(CliContext& ctx) {
  QString drive;
  int status = Exit::Ok;
  if (!SelectDriveWithDisc(ctx, drive, status)) return status;
  if (ctx.parser.isSet(kRelease) && !ctx.parser.isSet(kMusicBrainz))
    return Fail(ctx, Exit::BadArguments, "--release goes with --musicbrainz");
  if (ctx.parser.isSet(kMatch) && ctx.parser.isSet(kMusicBrainz))
    return Fail(ctx, Exit::BadArguments, "--match goes with freedb; MusicBrainz takes --release");
  if (ctx.parser.isSet(kMusicBrainz)) {
    // The MusicBrainz client goes through the system's proxy, as the freedb HTTP client does.
    FreeDbClientSettings unused;
    if (!ApplyProxyOption(ctx, FreeDbAccess::Http, unused)) return Exit::BadArguments;
    DiscInfo info;
    LoadDiscInformation(info);
    return RunMusicBrainzLookup(ctx, info);
  }

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
    case LookupOutcome::Status::NotFound: return Fail(ctx, Exit::PartialFailure, outcome.message);
    case LookupOutcome::Status::NoDisc: return Fail(ctx, Exit::NoDisc, Text(kCannotDetectTracks));
    default: return Fail(ctx, Exit::Failed, outcome.message);
  }
  PrintResult(ctx, info);
  if (!outcome.cached) return Fail(ctx, Exit::Failed, outcome.message);
  return Exit::Ok;
}

const RegisterCommand kLookup(
    {"lookup",
     "[--http | --musicbrainz [--release MBID]] [--server HOST] [--port N] [--proxy URL] "
     "[--list | --match N] [--json]",
     "Look the disc up on the freedb server or on MusicBrainz and store what it finds.",
     AddLookupOptions, RunLookup});

}  // namespace
