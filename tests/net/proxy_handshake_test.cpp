#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "net/proxy_handshake.h"

namespace {

using Step = ProxyHandshake::Step;

uint32_t Address(const char* dotted) {
  in_addr a{};
  inet_pton(AF_INET, dotted, &a);
  return a.s_addr;
}

ProxyHandshake::Settings Target(int type, uint32_t address, const QByteArray& name = {}) {
  ProxyHandshake::Settings s;
  s.type = type;
  s.targetAddress = address;
  s.targetPort = 8880;
  s.targetName = name;
  return s;
}

TEST(ProxyHandshake, OpeningRequestsByteForByte) {
  ProxyHandshake::Settings withUser = Target(ProxyHandshake::kSocks5, Address("10.1.2.3"));
  withUser.useAuthentication = true;
  ProxyHandshake::Settings httpAuth =
      Target(ProxyHandshake::kHttp11, Address("10.1.2.3"), "freedb.example");
  httpAuth.useAuthentication = true;
  httpAuth.user = "alice";
  httpAuth.password = "secret";
  const struct {
    const char* what;
    ProxyHandshake::Settings settings;
    QByteArray request;
  } cases[] = {
      {"SOCKS 4 address", Target(ProxyHandshake::kSocks4, Address("10.1.2.3")),
       QByteArray("\x04\x01\x22\xb0\x0a\x01\x02\x03\x00", 9)},
      {"SOCKS 4A name", Target(ProxyHandshake::kSocks4a, 0, "cddb.test"),
       QByteArray("\x04\x01\x22\xb0\x00\x00\x00\x01\x00", 9) + "cddb.test" + QByteArray(1, '\0')},
      {"SOCKS 5", Target(ProxyHandshake::kSocks5, Address("10.1.2.3")),
       QByteArray("\x05\x01\x00", 3)},
      {"SOCKS 5 with user", withUser, QByteArray("\x05\x02\x02\x00", 4)},
      {"HTTP by address", Target(ProxyHandshake::kHttp11, Address("10.1.2.3")),
       "CONNECT 10.1.2.3:8880 HTTP/1.1\r\nHost: 10.1.2.3:8880\r\n\r\n"},
      {"HTTP with Basic", httpAuth,
       "CONNECT freedb.example:8880 HTTP/1.1\r\nHost: freedb.example:8880\r\n"
       "Authorization: Basic YWxpY2U6c2VjcmV0\r\nProxy-Authorization: Basic "
       "YWxpY2U6c2VjcmV0\r\n\r\n"},
  };
  for (const auto& c : cases) {
    ProxyHandshake handshake;
    handshake.Start(c.settings);
    EXPECT_EQ(handshake.OpeningRequest(), c.request) << c.what;
  }
}

TEST(ProxyHandshake, LongBasicCredentialsStayOnOneHeaderLine) {
  ProxyHandshake::Settings s = Target(ProxyHandshake::kHttp11, Address("127.0.0.1"));
  s.useAuthentication = true;
  s.user = QByteArray(60, 'u');
  s.password = QByteArray(60, 'p') + "\r\nX-Forged: 1";
  ProxyHandshake handshake;
  handshake.Start(s);
  const QByteArray request = handshake.OpeningRequest();
  EXPECT_EQ(request.count("\r\n"), 5) << request.constData();
  EXPECT_FALSE(request.contains("X-Forged"));
}

// Feeds a reply in the pieces the handshake asks for and returns the steps seen.
std::vector<Step> Feed(ProxyHandshake& handshake, const QByteArray& reply) {
  std::vector<Step> steps;
  qsizetype at = 0;
  while (handshake.AwaitingReply() && at < reply.size()) {
    const int want = handshake.BytesWanted();
    EXPECT_GT(want, 0);
    const QByteArray piece = reply.mid(at, want);
    at += piece.size();
    steps.push_back(handshake.Consume(piece.constData(), piece.size()));
    if (steps.back().kind == Step::kFailed || steps.back().kind == Step::kConnected) break;
  }
  EXPECT_EQ(at, reply.size()) << "the handshake reads exactly its own reply";
  return steps;
}

struct ReplyCase {
  const char* what;
  int type;
  bool auth;
  QByteArray reply;
  Step::Kind last;
  int code;
  QString text;
  std::vector<QByteArray> sent;  // requests sent on the way
};

TEST(ProxyHandshake, RepliesAndTheirOutcomes) {
  const QByteArray granted4("\x00\x5a\x22\xb0\x0a\x01\x02\x03", 8);
  const QByteArray connect5("\x05\x01\x00\x01\x0a\x01\x02\x03\x22\xb0", 10);
  const QByteArray ok5v4("\x05\x00\x00\x01\x7f\x00\x00\x01\x22\xb0", 10);
  const QByteArray domain5 =
      QByteArray("\x05\x00\x00\x03\x0b", 5) + "proxy.local" + QByteArray("\x22\xb0", 2);
  const QByteArray ok5v6 = QByteArray("\x05\x00\x00\x04", 4) + QByteArray(18, '\x01');
  const ReplyCase cases[] = {
      {"SOCKS 4 granted", ProxyHandshake::kSocks4, false, granted4, Step::kConnected, 0, {}, {}},
      {"SOCKS 4 rejected",
       ProxyHandshake::kSocks4,
       false,
       QByteArray("\x00\x5b\0\0\0\0\0\0", 8),
       Step::kFailed,
       2,
       {},
       {}},
      {"SOCKS 4 wrong version byte",
       ProxyHandshake::kSocks4,
       false,
       QByteArray("\x04\x5a\0\0\0\0\0\0", 8),
       Step::kFailed,
       2,
       {},
       {}},
      {"SOCKS 5 no auth",
       ProxyHandshake::kSocks5,
       false,
       QByteArray("\x05\x00", 2) + ok5v4,
       Step::kConnected,
       0,
       {},
       {connect5}},
      {"SOCKS 5 user offered, proxy picks none",
       ProxyHandshake::kSocks5,
       true,
       QByteArray("\x05\x00", 2) + ok5v4,
       Step::kConnected,
       0,
       {},
       {connect5}},
      {"SOCKS 5 user and password",
       ProxyHandshake::kSocks5,
       true,
       QByteArray("\x05\x02\x01\x00", 4) + ok5v4,
       Step::kConnected,
       0,
       {},
       {QByteArray("\x01\x05"
                   "alice"
                   "\x06"
                   "secret",
                   14),
        connect5}},
      {"SOCKS 5 domain reply of length L",
       ProxyHandshake::kSocks5,
       false,
       QByteArray("\x05\x00", 2) + domain5,
       Step::kConnected,
       0,
       {},
       {connect5}},
      {"SOCKS 5 IPv6 reply",
       ProxyHandshake::kSocks5,
       false,
       QByteArray("\x05\x00", 2) + ok5v6,
       Step::kConnected,
       0,
       {},
       {connect5}},
      {"SOCKS 5 wrong version",
       ProxyHandshake::kSocks5,
       false,
       QByteArray("\x04\x00", 2),
       Step::kFailed,
       2,
       {},
       {}},
      {"SOCKS 5 no acceptable method",
       ProxyHandshake::kSocks5,
       false,
       QByteArray("\x05\xff", 2),
       Step::kFailed,
       4,
       {},
       {}},
      {"SOCKS 5 wants a password we lack",
       ProxyHandshake::kSocks5,
       false,
       QByteArray("\x05\x02", 2),
       Step::kFailed,
       6,
       {},
       {}},
      {"SOCKS 5 password refused",
       ProxyHandshake::kSocks5,
       true,
       QByteArray("\x05\x02\x01\x01", 4),
       Step::kFailed,
       5,
       {},
       {QByteArray("\x01\x05"
                   "alice"
                   "\x06"
                   "secret",
                   14)}},
      {"SOCKS 5 connect refused",
       ProxyHandshake::kSocks5,
       false,
       QByteArray("\x05\x00\x05\x05\x00\x01\x00", 7),
       Step::kFailed,
       2,
       {},
       {connect5}},
      {"HTTP tunnel open",
       ProxyHandshake::kHttp11,
       false,
       "HTTP/1.1 200 Connection established\r\n\r\n",
       Step::kConnected,
       0,
       {},
       {}},
      {"HTTP with headers",
       ProxyHandshake::kHttp11,
       false,
       "HTTP/1.0 200 OK\r\nProxy-agent: test\r\n\r\n",
       Step::kConnected,
       0,
       {},
       {}},
      {"HTTP 407",
       ProxyHandshake::kHttp11,
       false,
       "HTTP/1.0 407 Proxy Authentication Required\r\n",
       Step::kFailed,
       2,
       "HTTP/1.0 407 Proxy Authentication Required",
       {}},
      {"HTTP no space in status line",
       ProxyHandshake::kHttp11,
       false,
       "HTTP/1.1\r\n",
       Step::kFailed,
       2,
       "HTTP/1.1",
       {}},
      {"not HTTP",
       ProxyHandshake::kHttp11,
       false,
       "SSH-2.0-",
       Step::kFailed,
       2,
       "No valid HTTP reponse",
       {}},
  };
  for (const ReplyCase& c : cases) {
    ProxyHandshake::Settings s = Target(c.type, Address("10.1.2.3"));
    s.useAuthentication = c.auth;
    s.user = "alice";
    s.password = "secret";
    ProxyHandshake handshake;
    handshake.Start(s);
    handshake.OpeningSent();
    const std::vector<Step> steps = Feed(handshake, c.reply);
    ASSERT_FALSE(steps.empty()) << c.what;
    EXPECT_EQ(steps.back().kind, c.last) << c.what;
    EXPECT_EQ(steps.back().code, c.code) << c.what;
    EXPECT_EQ(steps.back().text, c.text) << c.what;
    std::vector<QByteArray> sent;
    for (const Step& step : steps) {
      if (step.kind == Step::kSend) sent.push_back(step.bytes);
    }
    EXPECT_EQ(sent, c.sent) << c.what;
    EXPECT_FALSE(handshake.InProgress()) << c.what;
  }
}

TEST(ProxyHandshake, HttpReplyWithoutEndIsCutAt16KiB) {
  ProxyHandshake handshake;
  handshake.Start(Target(ProxyHandshake::kHttp11, Address("10.1.2.3")));
  handshake.OpeningSent();
  QByteArray reply = "HTTP/1.1 200 OK\r\n";
  while (reply.size() < ProxyHandshake::kMaxHttpReply + 100)
    reply += "X-Filler: aaaaaaaaaaaaaaaa\r\n";
  Step last;
  int fed = 0;
  while (handshake.AwaitingReply() && fed < reply.size()) {
    const int want = handshake.BytesWanted();
    last = handshake.Consume(reply.constData() + fed, want);
    fed += want;
  }
  EXPECT_EQ(last.kind, Step::kFailed);
  EXPECT_EQ(last.code, ProxyHandshake::kRequestFailed);
  EXPECT_EQ(fed, ProxyHandshake::kMaxHttpReply);
}

}  // namespace

namespace {

TEST(ProxyHandshake, BindReportsWhereTheProxyListensThenTheAccept) {
  const QByteArray listening4("\x00\x5a\x1f\x90\x0a\x00\x00\x07", 8);
  const QByteArray accepted4("\x00\x5a\x00\x00\x00\x00\x00\x00", 8);
  const QByteArray listening5("\x05\x00\x00\x01\x0a\x00\x00\x07\x1f\x90", 10);
  const QByteArray accepted5("\x05\x00\x00\x01\x7f\x00\x00\x01\x30\x39", 10);
  const struct {
    const char* what;
    int type;
    QByteArray opening;
    QByteArray reply;
    Step::Kind last;
  } cases[] = {
      {"SOCKS 4", ProxyHandshake::kSocks4, QByteArray("\x04\x02\x22\xb0\x0a\x01\x02\x03\x00", 9),
       listening4 + accepted4, Step::kAccepted},
      {"SOCKS 4, refused at the accept", ProxyHandshake::kSocks4,
       QByteArray("\x04\x02\x22\xb0\x0a\x01\x02\x03\x00", 9),
       listening4 + QByteArray("\x00\x5b\0\0\0\0\0\0", 8), Step::kFailed},
      {"SOCKS 5", ProxyHandshake::kSocks5, QByteArray("\x05\x01\x00", 3),
       QByteArray("\x05\x00", 2) + listening5 + accepted5, Step::kAccepted},
      {"SOCKS 5, refused at the accept", ProxyHandshake::kSocks5, QByteArray("\x05\x01\x00", 3),
       QByteArray("\x05\x00", 2) + listening5 + QByteArray("\x05\x02\x00\x01\0\0\0\0\0\0", 10),
       Step::kFailed},
  };
  for (const auto& c : cases) {
    ProxyHandshake::Settings s = Target(c.type, Address("10.1.2.3"));
    s.bind = true;
    ProxyHandshake handshake;
    handshake.Start(s);
    EXPECT_EQ(handshake.OpeningRequest(), c.opening) << c.what;
    handshake.OpeningSent();
    const std::vector<Step> steps = Feed(handshake, c.reply);
    ASSERT_FALSE(steps.empty()) << c.what;
    EXPECT_EQ(steps.back().kind, c.last) << c.what;
    std::vector<Step> listening;
    for (const Step& step : steps) {
      if (step.kind == Step::kListening) listening.push_back(step);
      if (step.kind == Step::kSend) {
        EXPECT_EQ(step.bytes, QByteArray("\x05\x02\x00\x01\x0a\x01\x02\x03\x22\xb0", 10))
            << c.what << ": bind command";
      }
    }
    ASSERT_EQ(listening.size(), 1u) << c.what;
    EXPECT_EQ(listening[0].address, Address("10.0.0.7")) << c.what;
    EXPECT_EQ(listening[0].port, 8080) << c.what;
  }
}

// A SOCKS 5 bind reply's length and the place of its port follow its address form; the
// handshake reads exactly the reply and takes address and port from their own bytes.
TEST(ProxyHandshake, Socks5BindReadsAddressAndPortByTheirForm) {
  const QByteArray ipv6Address = QByteArray::fromHex("20010db8000000000000000000000042");
  const struct {
    const char* what;
    QByteArray listening;  // the first reply
    QByteArray accepted;   // the second
    uint32_t address;
    QByteArray address6, hostName;
  } cases[] = {
      {"IPv4",
       QByteArray("\x05\x00\x00\x01\x0a\x00\x00\x07\x1f\x90", 10),
       QByteArray("\x05\x00\x00\x01\x7f\x00\x00\x01\x30\x39", 10),
       Address("10.0.0.7"),
       {},
       {}},
      {"short host name",
       QByteArray("\x05\x00\x00\x03\x01p\x1f\x90", 8),
       QByteArray("\x05\x00\x00\x03\x01q\x30\x39", 8),
       0,
       {},
       "p"},
      {"long host name",
       QByteArray("\x05\x00\x00\x03\x15proxy.example.invalid\x1f\x90", 28),
       QByteArray("\x05\x00\x00\x03\x02", 5) + "ab" + QByteArray("\x30\x39", 2),
       0,
       {},
       "proxy.example.invalid"},
      {"IPv6",
       QByteArray("\x05\x00\x00\x04", 4) + ipv6Address + QByteArray("\x1f\x90", 2),
       QByteArray("\x05\x00\x00\x04", 4) + QByteArray(16, '\x01') + QByteArray("\x30\x39", 2),
       0,
       ipv6Address,
       {}},
  };
  for (const auto& c : cases) {
    ProxyHandshake::Settings s = Target(ProxyHandshake::kSocks5, Address("10.1.2.3"));
    s.bind = true;
    ProxyHandshake handshake;
    handshake.Start(s);
    handshake.OpeningSent();
    const std::vector<Step> steps =
        Feed(handshake, QByteArray("\x05\x00", 2) + c.listening + c.accepted);
    ASSERT_FALSE(steps.empty()) << c.what;
    EXPECT_EQ(steps.back().kind, Step::kAccepted) << c.what;
    std::vector<Step> listening;
    for (const Step& step : steps) {
      if (step.kind == Step::kListening) listening.push_back(step);
    }
    ASSERT_EQ(listening.size(), 1u) << c.what;
    EXPECT_EQ(listening[0].address, c.address) << c.what;
    EXPECT_EQ(listening[0].address6, c.address6) << c.what;
    EXPECT_EQ(listening[0].hostName, c.hostName) << c.what;
    EXPECT_EQ(listening[0].port, 8080) << c.what;
  }
}

}  // namespace
