#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSysInfo>
#include <QTemporaryDir>

#include "cddb_test_server.h"
#include "loopback_peers.h"
#include "metadata/cddb_protocol.h"
#include "metadata/disc_info.h"
#include "metadata/freedb_client.h"
#include "platform/codepage.h"
#include "platform/version.h"
#include "support/freedb_example.h"
#include "support/test_support.h"

namespace {

const QByteArray kUnresolvable = QByteArray(70, 'x') + ".invalid";

using FreedbExample::kEntry;
using FreedbExample::kExactAnswer;
using FreedbExample::kQuery;

using Reports = std::vector<LookupReport>;

// Status lines by text number, so the tests do not depend on the language.
QString TextNumber(int id) { return QString::number(id); }

// The status lines of a successful lookup, by text number and value.
const Reports kSuccess = {
    {"1043  0501A202", 5}, {"1042 ", 10}, {"1033 ", 30}, {"1034 ", 50},
    {"1035 ", 70},         {"1039 ", 90}, {"1040 ", 99}, LookupReport::Succeeded()};

struct ServerCase {
  const char* what;
  QByteArray queryAnswer;
  int dripMs;
  bool silent;
  QByteArray hangUpOn;
  Reports reports;       // empty: kSuccess
  QStringList commands;  // after the hello (line protocol) or all of them (HTTP)
};

class FreeDbLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureCoreApp();
    info_.ResetToDefaults(2);
  }

  FreeDbClientSettings Direct(quint16 port) const {
    FreeDbClientSettings s;
    s.server = "127.0.0.1";
    s.port = port;
    return s;
  }

  // Runs a lookup to its end and returns its status lines.
  Reports Lookup(FreeDbAccess access, const FreeDbClientSettings& settings,
                 int answerTimeoutMs = 5000, int connectTimeoutMs = 5000) {
    Reports reports;
    auto client = FreeDbClient::Create(access);
    client->SetSettings(settings);
    client->SetTimeouts(connectTimeoutMs, answerTimeoutMs);
    client->SetReporter([&](LookupReport report) { reports.push_back(std::move(report)); });
    client->SetTextSource(TextNumber);
    EXPECT_TRUE(client->Run(&info_, FreedbExample::Toc()));
    EXPECT_TRUE(RunEventsUntil([&] { return client->Finished(); }, 20000));
    return reports;
  }

  void ExpectFilled() {
    EXPECT_EQ(info_.artist, "Test Artist");
    EXPECT_EQ(info_.album, "Test Album");
    EXPECT_EQ(info_.year, "2001");
    EXPECT_EQ(info_.genre, "Art Rock");
    EXPECT_EQ(info_.trackTitles, QStringList({"Opening", "Closing"}));
  }

  // genre: a match found before the failure leaves its category there.
  void ExpectUntouched(const QString& genre = DiscInfo::kDefaultGenre) {
    EXPECT_EQ(info_.artist, DiscInfo::kUnknownArtist);
    EXPECT_EQ(info_.album, DiscInfo::kUnknownAlbum);
    EXPECT_EQ(info_.genre, genre);
    EXPECT_EQ(info_.trackTitles, QStringList({"Track 01", "Track 02"}));
  }

  void ExpectOutcome(const ServerCase& c);

  TempConfig config_;
  DiscInfo info_;
};

std::vector<ServerCase> ServerCases() {
  const QByteArray exact = kExactAnswer;
  return {
      {"exact match", exact, -1, false, {}, {}, {kQuery, "cddb read rock 0501a202", "quit"}},
      {"inexact matches take the first",
       "211 Found inexact matches, list follows (until terminating `.')\r\nrock 0501a202 Test "
       "Artist / Test Album\r\n"
       "jazz 0501a203 Other / Disc\r\n.\r\n",
       -1,
       false,
       {},
       {},
       {kQuery, "cddb read rock 0501a202", "quit"}},
      {"answers dripped a byte at a time",
       exact,
       1,
       false,
       {},
       {},
       {kQuery, "cddb read rock 0501a202", "quit"}},
      {"no match",
       "202 No match for disc ID 0501a202.\r\n",
       -1,
       false,
       {},
       {{"1043  0501A202", 5},
        {"1042 ", 10},
        {"1033 ", 30},
        {"1034 ", 50},
        {"1036 ", 70},
        LookupReport::Failed("1037 ")},
       {kQuery, "quit"}},
      {"unknown code",
       "409 No handshake.\r\n",
       -1,
       false,
       {},
       {{"1043  0501A202", 5},
        {"1042 ", 10},
        {"1033 ", 30},
        {"1034 ", 50},
        LookupReport::Failed("1038 ")},
       {kQuery, "quit"}},
      {"the match has no entry",
       "200 rock 0501a2ff Test Artist / Test Album\r\n",
       -1,
       false,
       {},
       {{"1043  0501A202", 5},
        {"1042 ", 10},
        {"1033 ", 30},
        {"1034 ", 50},
        {"1035 ", 70},
        LookupReport::Failed("1038 ")},
       {kQuery, "cddb read rock 0501a2ff", "quit"}},
      {"server hangs up instead of the entry",
       exact,
       -1,
       false,
       "cddb read",
       {{"1043  0501A202", 5},
        {"1042 ", 10},
        {"1033 ", 30},
        {"1034 ", 50},
        {"1035 ", 70},
        LookupReport::Failed("1032 ")},
       {kQuery, "cddb read rock 0501a202"}},
  };
}

void FreeDbLookup::ExpectOutcome(const ServerCase& c) {
  if (c.reports.empty()) return ExpectFilled();
  const bool matched =
      std::find(c.reports.begin(), c.reports.end(), LookupReport{"1035 ", 70}) != c.reports.end();
  ExpectUntouched(matched ? "rock" : DiscInfo::kDefaultGenre);
}

void Script(CddbTestServer& server, const ServerCase& c) {
  server.SetQueryAnswer(c.queryAnswer);
  server.AddEntry("rock", "0501a202", kEntry);
  server.SetDripMs(c.dripMs);
  server.SetHangUpOn(c.hangUpOn);
}

// A failure's status line names the server and the cause after the text number: checks
// the cause and leaves only the text number, as the tables give it.
void ExpectCause(Reports& reports, quint16 port, const QString& cause) {
  ASSERT_FALSE(reports.empty());
  const QString where = QStringLiteral("127.0.0.1:%1: ").arg(port);
  QString& text = reports.back().text;
  const qsizetype at = text.indexOf(where);
  ASSERT_GE(at, 0) << text.toStdString();
  EXPECT_TRUE(text.mid(at + where.size()).startsWith(cause)) << text.toStdString();
  text = text.left(at);
}

TEST_F(FreeDbLookup, LineProtocolAgainstTheTestServer) {
  for (const ServerCase& c : ServerCases()) {
    info_.ResetToDefaults(2);
    CddbTestServer server(CddbTestServer::Mode::Line);
    Script(server, c);
    Reports reports = Lookup(FreeDbAccess::Tcp, Direct(server.Port()));
    if (!c.hangUpOn.isEmpty())
      ExpectCause(reports, server.Port(), "the server closed the connection");
    EXPECT_EQ(reports, c.reports.empty() ? kSuccess : c.reports) << c.what;
    const QStringList expected =
        QStringList{"cddb hello korvane_user " + QSysInfo::machineHostName() + " Korvane " +
                        KorvaneVersion(),
                    "proto 6"} +
        c.commands;
    // The "quit" that ends a session reaches the server after the lookup has ended.
    RunEventsUntil([&] { return server.Commands().size() >= expected.size(); }, 5000);
    EXPECT_EQ(server.Commands(), expected) << c.what;
    ExpectOutcome(c);
  }
}

TEST_F(FreeDbLookup, ServerOfLevel5IsAskedAgainAtThatLevel) {
  for (auto mode : {CddbTestServer::Mode::Line, CddbTestServer::Mode::Http}) {
    info_.ResetToDefaults(2);
    CddbTestServer server(mode);
    server.SetMaxProtoLevel(5);
    server.SetQueryAnswer(kExactAnswer);
    server.AddEntry("rock", "0501a202", kEntry);
    const bool line = mode == CddbTestServer::Mode::Line;
    EXPECT_EQ(Lookup(line ? FreeDbAccess::Tcp : FreeDbAccess::Http, Direct(server.Port())),
              kSuccess);
    ExpectFilled();
    const QStringList commands = server.Commands();
    if (line) {
      ASSERT_GE(commands.size(), 4);
      EXPECT_EQ(commands.mid(1, 3), QStringList({"proto 6", "proto 5", kQuery}));
    } else {
      EXPECT_EQ(commands, QStringList({kQuery, kQuery, "cddb read rock 0501a202"}));
    }
  }
}

TEST_F(FreeDbLookup, ServerThatRefusesTheConnectionEndsWithItsWords) {
  for (const QByteArray& greeting :
       {QByteArray("432 No connections allowed: permission denied\r\n"),
        QByteArray("433 No connections allowed: X users allowed, Y currently active\r\n"),
        QByteArray("434 No connections allowed: system load too high\r\n")}) {
    CddbTestServer server(CddbTestServer::Mode::Line);
    server.SetGreeting(greeting);
    Reports reports = Lookup(FreeDbAccess::Tcp, Direct(server.Port()));
    ExpectCause(reports, server.Port(), QString::fromLatin1(greeting.trimmed()));
    EXPECT_EQ(reports.back(), LookupReport::Failed("1041 ")) << greeting.constData();
    EXPECT_TRUE(server.Commands().isEmpty()) << "nothing is sent to a server that refused";
    ExpectUntouched();
  }
}

// About 800 bytes of query: far more than one old-style 511-byte command.
TEST_F(FreeDbLookup, DiscOf99TracksIsFoundOnBothTransports) {
  TocAddresses toc;
  for (int t = 0; t < 99; ++t) toc.trackStarts.push_back({t, 2, 0});
  toc.leadOut = {99, 10, 0};
  const QString query = Cddb::QueryText(toc).chopped(1);
  QByteArray entry = "DTITLE=Many / Tracks\r\n";
  for (int t = 0; t < 99; ++t)
    entry += "TTITLE" + QByteArray::number(t) + "=Song " + QByteArray::number(t + 1) + "\r\n";
  for (FreeDbAccess method : {FreeDbAccess::Tcp, FreeDbAccess::Http}) {
    CddbTestServer server(method == FreeDbAccess::Tcp ? CddbTestServer::Mode::Line
                                                      : CddbTestServer::Mode::Http);
    const QString id = query.section(' ', 2, 2);
    server.SetQueryAnswer("200 misc " + id.toLatin1() + " Many / Tracks\r\n");
    server.AddEntry("misc", id.toLatin1(), entry);
    DiscInfo info;
    info.ResetToDefaults(99);
    bool done = false;
    auto client = FreeDbClient::Create(method);
    client->SetSettings(Direct(server.Port()));
    client->SetTextSource(TextNumber);
    client->SetReporter([&](const LookupReport& report) {
      done |= report.state == LookupReport::State::Succeeded;
    });
    ASSERT_TRUE(client->Run(&info, toc));
    EXPECT_TRUE(RunEventsUntil([&] { return client->Finished(); }, 20000)) << ToStored(method);
    EXPECT_TRUE(done) << ToStored(method);
    EXPECT_TRUE(server.Commands().contains(query)) << ToStored(method);
    EXPECT_EQ(info.trackTitles.value(98), "Song 99") << ToStored(method);
  }
}

TEST_F(FreeDbLookup, HttpAgainstTheTestServer) {
  for (const ServerCase& c : ServerCases()) {
    info_.ResetToDefaults(2);
    CddbTestServer server(CddbTestServer::Mode::Http);
    Script(server, c);
    Reports reports = Lookup(FreeDbAccess::Http, Direct(server.Port()));
    // The HTTP service's own words name the cause.
    if (!c.hangUpOn.isEmpty()) ExpectCause(reports, server.Port(), "");
    EXPECT_EQ(reports, c.reports.empty() ? kSuccess : c.reports) << c.what;
    // The HTTP service may send a request again on a fresh connection when the server hung up.
    QStringList commands = c.commands;
    commands.removeAll("quit");  // each HTTP request stands alone
    EXPECT_EQ(server.Commands().mid(0, commands.size()), commands) << c.what;
    EXPECT_EQ(server.Hello(),
              "korvane_user " + QSysInfo::machineHostName() + " Korvane " + KorvaneVersion())
        << c.what;
    EXPECT_TRUE(
        server.HttpHeaders().contains("User-Agent: Korvane/" + QByteArray(KorvaneVersion())))
        << c.what;
    if (c.hangUpOn.isEmpty()) {
      EXPECT_EQ(server.Connections(), 1) << c.what << ": one connection for both requests";
    }
    ExpectOutcome(c);
  }
}

TEST_F(FreeDbLookup, EmailGivesTheHelloFields) {
  CddbTestServer line(CddbTestServer::Mode::Line);
  CddbTestServer http(CddbTestServer::Mode::Http);
  for (CddbTestServer* server : {&line, &http}) {
    server->SetQueryAnswer(kExactAnswer);
    server->AddEntry("rock", "0501a202", kEntry);
  }
  FreeDbClientSettings s = Direct(line.Port());
  s.email = " some one@example.org ";
  EXPECT_EQ(Lookup(FreeDbAccess::Tcp, s), kSuccess);
  const QString program = QString("Korvane ") + KorvaneVersion();
  EXPECT_EQ(line.Hello(), "some_one example.org " + program);
  s.port = http.Port();
  EXPECT_EQ(Lookup(FreeDbAccess::Http, s), kSuccess);
  EXPECT_EQ(http.Hello(), "some_one example.org " + program);
}

TEST_F(FreeDbLookup, EntriesInUtf8AskedForByLevel6) {
  const QString album = QString::fromUtf8("\u5b87\u591a\u7530\u30d2\u30ab\u30eb / First Love");
  const QStringList titles = {
      QString::fromUtf8("\u30aa\u30fc\u30c8\u30de\u30c1\u30c3\u30af"),
      QString::fromUtf8("\u039c\u03b5\u03c3\u03cc\u03b3\u03b5\u03b9\u03bf\u03c2 "
                        "\u041c\u043e\u0441\u043a\u0432\u0430")};
  const QByteArray entry =
      ("DTITLE=" + album + "\r\nTTITLE0=" + titles[0] + "\r\nTTITLE1=" + titles[1] + "\r\n")
          .toUtf8();
  for (FreeDbAccess method : {FreeDbAccess::Tcp, FreeDbAccess::Http}) {
    info_.ResetToDefaults(2);
    CddbTestServer server(method == FreeDbAccess::Tcp ? CddbTestServer::Mode::Line
                                                      : CddbTestServer::Mode::Http);
    server.SetQueryAnswer("200 misc 0501a202 x\r\n");
    server.AddEntry("misc", "0501a202", entry);
    EXPECT_EQ(Lookup(method, Direct(server.Port())), kSuccess) << ToStored(method);
    EXPECT_EQ(info_.artist, QString::fromUtf8("\u5b87\u591a\u7530\u30d2\u30ab\u30eb"))
        << ToStored(method);
    EXPECT_EQ(info_.album, "First Love") << ToStored(method);
    EXPECT_EQ(info_.trackTitles, titles) << ToStored(method);
  }
}

TEST_F(FreeDbLookup, EntriesInWindows1252) {
  CddbTestServer server(CddbTestServer::Mode::Line);
  server.SetQueryAnswer("200 misc 0501a202 x\r\n");
  server.AddEntry("misc", "0501a202",
                  Ansi::Encode(QString::fromUtf8(
                      "DTITLE=Sigur R\u00f3s / \u00c1g\u00e6tis byrjun\r\n"
                      "DYEAR=1999\r\nTTITLE0=Sv\u00edf\u00e1r\r\nTTITLE1=\u2026\r\n")));
  EXPECT_EQ(Lookup(FreeDbAccess::Tcp, Direct(server.Port())), kSuccess);
  EXPECT_EQ(info_.artist, QString::fromUtf8("Sigur R\u00f3s"));
  EXPECT_EQ(info_.album, QString::fromUtf8("\u00c1g\u00e6tis byrjun"));
  EXPECT_EQ(info_.genre, "misc");
  EXPECT_EQ(info_.trackTitles,
            QStringList({QString::fromUtf8("Sv\u00edf\u00e1r"), QString::fromUtf8("\u2026")}));
}

TEST_F(FreeDbLookup, LargeEntryIsReadWhole) {
  QByteArray entry = "DTITLE=Big / Box\r\n";
  while (entry.size() < 200000) entry += "EXTD=" + QByteArray(70, 'z') + "\r\n";
  entry += "TTITLE0=Deep One\r\nTTITLE1=Deep Two\r\n";
  CddbTestServer server(CddbTestServer::Mode::Line);
  server.SetQueryAnswer("200 rock 0501a202 Big / Box\r\n");
  server.AddEntry("rock", "0501a202", entry);
  EXPECT_EQ(Lookup(FreeDbAccess::Tcp, Direct(server.Port())), kSuccess);
  EXPECT_EQ(info_.trackTitles, QStringList({"Deep One", "Deep Two"}));
}

TEST_F(FreeDbLookup, ServersThatCannotBeReachedOrNeverAnswer) {
  for (FreeDbAccess method : {FreeDbAccess::Tcp, FreeDbAccess::Http}) {
    const quint16 closed = FreeLoopbackPort();
    Reports refused = Lookup(method, Direct(closed));
    ExpectCause(refused, closed, method == FreeDbAccess::Tcp ? "Connection refused" : "");
    EXPECT_EQ(refused.back(), LookupReport::Failed("1041 ")) << ToStored(method);

    FreeDbClientSettings unknown = Direct(8880);
    unknown.server = kUnresolvable;
    const Reports unresolved = Lookup(method, unknown);
    ASSERT_FALSE(unresolved.empty());
    EXPECT_TRUE(unresolved.back().text.startsWith("1041 " + QString(kUnresolvable) + ":8880: "))
        << unresolved.back().text.toStdString();
    EXPECT_EQ(unresolved.back().state, LookupReport::State::Failed);
  }

  for (FreeDbAccess method : {FreeDbAccess::Tcp, FreeDbAccess::Http}) {
    CddbTestServer silent(method == FreeDbAccess::Tcp ? CddbTestServer::Mode::Line
                                                      : CddbTestServer::Mode::Http);
    silent.SetSilent(true);
    QElapsedTimer clock;
    clock.start();
    Reports reports = Lookup(method, Direct(silent.Port()), 300);
    ExpectCause(reports, silent.Port(), "timed out after ");
    EXPECT_EQ(reports.back(), LookupReport::Failed("1032 ")) << ToStored(method);
    ExpectUntouched();
  }

  CddbTestServer status(CddbTestServer::Mode::Http);
  status.SetHttpStatus("404 Not Found");
  Reports notFound = Lookup(FreeDbAccess::Http, Direct(status.Port()));
  ExpectCause(notFound, status.Port(), "HTTP status 404");
  EXPECT_EQ(notFound.back(), LookupReport::Failed("")) << "the network did not fail";

  // A line-protocol server on the HTTP port greets in its own protocol.
  CddbTestServer lineServer(CddbTestServer::Mode::Line);
  Reports notHttp = Lookup(FreeDbAccess::Http, Direct(lineServer.Port()));
  ExpectCause(notHttp, lineServer.Port(), "the server does not answer in HTTP (");
  EXPECT_EQ(notHttp.back(), LookupReport::Failed(""));
}

// An entry is used only when it is whole: over HTTP the body is all there is, so an entry
// cut short, a body shorter than its announced length and an answer without keys each end
// the lookup with their reason, and the record keeps nothing of the entry.
TEST_F(FreeDbLookup, AnEntryThatIsNotWholeIsNotUsed) {
  const QByteArray head = "210 rock 0501a202 CD database entry follows\r\n";
  const struct {
    const char* what;
    FreeDbAccess access;
    QByteArray readAnswer;  // empty: the whole entry
    int missingBytes;
    QString cause;
  } cases[] = {
      {"no closing line", FreeDbAccess::Http, head + kEntry, 0,
       "the entry ends without its closing \".\" line"},
      {"body shorter than announced",
       FreeDbAccess::Http,
       {},
       200,
       "transfer closed with 200 bytes remaining to read"},
      {"no keys over HTTP", FreeDbAccess::Http, head + "# xmcd\r\n.\r\n", 0,
       "the entry holds no keys"},
      {"no keys over TCP", FreeDbAccess::Tcp, head + ".\r\n", 0, "the entry holds no keys"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    info_.ResetToDefaults(2);
    CddbTestServer server(c.access == FreeDbAccess::Http ? CddbTestServer::Mode::Http
                                                         : CddbTestServer::Mode::Line);
    server.SetQueryAnswer(kExactAnswer);
    server.AddEntry("rock", "0501a202", kEntry);
    server.SetReadAnswer(c.readAnswer);
    server.SetMissingBytes(c.missingBytes);
    Reports reports = Lookup(c.access, Direct(server.Port()));
    ExpectCause(reports, server.Port(), c.cause);
    EXPECT_EQ(reports.back(), LookupReport::Failed("1032 "));
    ExpectUntouched("rock");
  }
}

// A server that answers every step just within the step's limit: the limit of the whole
// lookup ends it, and the status line says that this limit did.
TEST_F(FreeDbLookup, TheWholeLookupHasALimitBesidesEachStep) {
  for (FreeDbAccess method : {FreeDbAccess::Tcp, FreeDbAccess::Http}) {
    SCOPED_TRACE(ToStored(method));
    info_.ResetToDefaults(2);
    CddbTestServer slow(method == FreeDbAccess::Tcp ? CddbTestServer::Mode::Line
                                                    : CddbTestServer::Mode::Http);
    slow.SetQueryAnswer(kExactAnswer);
    slow.AddEntry("rock", "0501a202", kEntry);
    slow.SetAnswerDelayMs(700);
    Reports reports;
    auto client = FreeDbClient::Create(method);
    client->SetSettings(Direct(slow.Port()));
    client->SetTimeouts(5000, 1000, 1000);
    client->SetReporter([&](LookupReport report) { reports.push_back(std::move(report)); });
    client->SetTextSource(TextNumber);
    ASSERT_TRUE(client->Run(&info_, FreedbExample::Toc()));
    EXPECT_TRUE(RunEventsUntil([&] { return client->Finished(); }, 20000));
    ExpectCause(reports, slow.Port(), "timed out after 1 s, the limit of the whole lookup");
    EXPECT_EQ(reports.back(), LookupReport::Failed("1032 "));
    ExpectUntouched(method == FreeDbAccess::Tcp ? DiscInfo::kDefaultGenre : "rock");
  }
}

TEST_F(FreeDbLookup, DestroyingTheClientEndsTheExchangeQuietly) {
  for (FreeDbAccess method : {FreeDbAccess::Tcp, FreeDbAccess::Http}) {
    CddbTestServer silent(method == FreeDbAccess::Tcp ? CddbTestServer::Mode::Line
                                                      : CddbTestServer::Mode::Http);
    silent.SetSilent(true);
    Reports reports;
    auto client = FreeDbClient::Create(method);
    client->SetSettings(Direct(silent.Port()));
    client->SetReporter([&](LookupReport report) { reports.push_back(std::move(report)); });
    client->SetTextSource(TextNumber);
    ASSERT_TRUE(client->Run(&info_, FreedbExample::Toc()));
    RunEventsUntil([&] { return silent.Connections() == 1; });
    client.reset();  // as the dialog's Cancel does, while the server keeps quiet
    RunEventsUntil([] { return false; }, 100);
    ASSERT_FALSE(reports.empty());
    EXPECT_FALSE(reports.back().Ends())
        << ToStored(method) << ": no end report after the client is gone";
  }
}

TEST_F(FreeDbLookup, ProxyThatNeverAnswersCountsAsNoConnection) {
  ScriptedPeer quietProxy({});
  FreeDbClientSettings s = Direct(8880);
  s.proxyType = ProxyKind::Socks5;
  s.proxyServer = "127.0.0.1";
  s.proxyPort = quietProxy.Port();
  Reports reports = Lookup(FreeDbAccess::Tcp, s, 5000, 300);
  ExpectCause(reports, 8880, "timed out after 0.3 s");
  EXPECT_EQ(reports.back(), LookupReport::Failed("1041 "));
  EXPECT_EQ(quietProxy.Received(), QByteArray("\x05\x01\x00", 3));
}

TEST_F(FreeDbLookup, ThroughEachProxy) {
  QTemporaryDir danteDir, tinyDir, tinyAuthDir;
  auto dante = StartDante(danteDir);
  auto microsocks = StartMicrosocks("bob", "pw");
  auto tinyproxy = StartTinyproxy(tinyDir);
  auto tinyproxyAuth = StartTinyproxy(tinyAuthDir, "alice", "secret");
  ASSERT_TRUE(dante->Ready() && microsocks->Ready() && tinyproxy->Ready() &&
              tinyproxyAuth->Ready());
  CddbTestServer server(CddbTestServer::Mode::Line);
  server.SetQueryAnswer(kExactAnswer);
  server.AddEntry("rock", "0501a202", kEntry);

  const struct {
    const char* what;
    ProxyKind proxyType;
    quint16 proxyPort;
    QString user, password;
    QString server;
    QString failure;  // empty: the lookup succeeds
  } cases[] = {
      {"SOCKS 4", ProxyKind::Socks4, dante->Port(), "", "", "127.0.0.1", ""},
      {"SOCKS 5", ProxyKind::Socks5, dante->Port(), "", "", "localhost", ""},
      {"SOCKS 5 with password", ProxyKind::Socks5, microsocks->Port(), "bob", "pw", "127.0.0.1",
       ""},
      {"HTTP 1.1", ProxyKind::Http11, tinyproxy->Port(), "", "", "127.0.0.1", ""},
      {"HTTP 1.1 with Basic", ProxyKind::Http11, tinyproxyAuth->Port(), "alice", "secret",
       "127.0.0.1", ""},
      {"SOCKS 4 ignores the user name", ProxyKind::Socks4, dante->Port(), "bob", "pw", "127.0.0.1",
       ""},
      {"wrong password", ProxyKind::Socks5, microsocks->Port(), "bob", "nope", "127.0.0.1",
       "1027 "},
      {"no method in common", ProxyKind::Socks5, microsocks->Port(), "", "", "127.0.0.1", "1026 "},
      {"HTTP proxy wants a password", ProxyKind::Http11, tinyproxyAuth->Port(), "", "", "127.0.0.1",
       "1025 "},
      {"proxy not listening", ProxyKind::Socks5, FreeLoopbackPort(), "", "", "127.0.0.1", "1024 "},
      {"SOCKS 4 cannot carry a name", ProxyKind::Socks4, dante->Port(), "", "", kUnresolvable,
       "1029 "},
  };
  for (const auto& c : cases) {
    info_.ResetToDefaults(2);
    FreeDbClientSettings s = Direct(server.Port());
    s.server = c.server;
    s.proxyType = c.proxyType;
    s.proxyServer = "127.0.0.1";
    s.proxyPort = c.proxyPort;
    s.userName = c.user;
    s.password = c.password;
    const Reports reports = Lookup(FreeDbAccess::Tcp, s);
    if (c.failure.isEmpty()) {
      EXPECT_EQ(reports, kSuccess) << c.what;
      ExpectFilled();
    } else {
      ASSERT_FALSE(reports.empty()) << c.what;
      EXPECT_EQ(reports.back(), LookupReport::Failed(c.failure)) << c.what;
      ExpectUntouched();
    }
  }
}

TEST_F(FreeDbLookup, HttpGoesThroughTheSystemProxy) {
  QTemporaryDir dir;
  auto tinyproxy = StartTinyproxy(dir);
  ASSERT_TRUE(tinyproxy->Ready());
  CddbTestServer server(CddbTestServer::Mode::Http);
  server.SetQueryAnswer(kExactAnswer);
  server.AddEntry("rock", "0501a202", kEntry);
  qputenv("http_proxy", "http://127.0.0.1:" + QByteArray::number(tinyproxy->Port()));
  qunsetenv("no_proxy");
  qunsetenv("NO_PROXY");
  EXPECT_EQ(Lookup(FreeDbAccess::Http, Direct(server.Port())), kSuccess);
  qunsetenv("http_proxy");
  ExpectFilled();
  bool viaProxy = false;
  for (const QByteArray& header : server.HttpHeaders()) viaProxy |= header.startsWith("Via:");
  EXPECT_TRUE(viaProxy) << "tinyproxy marks what it forwards";
}

}  // namespace
