#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <QTcpSocket>
#include <QTemporaryDir>

#include "loopback_peers.h"
#include "net/proxy_layer.h"
#include "probe_socket.h"

namespace {

const QByteArray kUnresolvable = QByteArray(70, 'x') + ".invalid";

class ProxiedSocket : public ProbeSocket {
 public:
  ProxyLayer proxy;
  ProxiedSocket() { AttachLayer(&proxy); }
  // With authentication when a user name is given.
  ProxiedSocket(int type, const QString& host, quint16 port, const QByteArray& user,
                const QByteArray& password) {
    if (user.isEmpty()) {
      proxy.SetProxy(type, host, port);
    } else {
      proxy.SetProxy(type, host, port, user, password);
    }
    AttachLayer(&proxy);
  }
  ~ProxiedSocket() override { Close(); }  // while the layer still exists
};

// The application exists before any member peer is made.
struct WithCoreApp {
  WithCoreApp() { EnsureCoreApp(); }
};

class Proxies : public ::testing::Test, private WithCoreApp {
 protected:
  // Connects through the proxy to the echo peer and checks that the tunnel carries both ways.
  void ExpectTunnel(ProxiedSocket& socket, const QByteArray& target, const char* what) {
    ASSERT_TRUE(socket.Create()) << what;
    socket.sendOnConnect = "ping\r\n";
    const bool started = socket.Connect(target, echo_.Port());
    ASSERT_TRUE(started || Net::LastError() == EWOULDBLOCK) << what;
    const QByteArray expected = QByteArray(EchoPeer::kGreeting) + "ping\r\n";
    EXPECT_TRUE(
        RunEventsUntil([&] { return socket.received == expected || socket.Failed(); }, 10000))
        << what << ": " << socket.received.constData();
    EXPECT_EQ(socket.received, expected) << what;
    EXPECT_TRUE(socket.proxyStatuses.empty()) << what;
  }

  EchoPeer echo_;
  QTemporaryDir dir_;
};

TEST_F(Proxies, RealProxiesCarryTheConnection) {
  auto dante = StartDante(dir_);
  auto microsocks = StartMicrosocks("bob", "pw");
  auto tinyproxy = StartTinyproxy(dir_);
  QTemporaryDir authDir;
  const QByteArray longUser(60, 'u');
  auto tinyproxyAuth = StartTinyproxy(authDir, longUser, "secret-password-0123456789");
  ASSERT_TRUE(dante->Ready()) << dante->Output().toStdString();
  ASSERT_TRUE(microsocks->Ready()) << microsocks->Output().toStdString();
  ASSERT_TRUE(tinyproxy->Ready()) << tinyproxy->Output().toStdString();
  ASSERT_TRUE(tinyproxyAuth->Ready()) << tinyproxyAuth->Output().toStdString();

  const struct {
    const char* what;
    int type;
    quint16 port;
    QByteArray user, password;
  } cases[] = {
      {"dante SOCKS 4", ProxyHandshake::kSocks4, dante->Port(), {}, {}},
      {"dante SOCKS 5", ProxyHandshake::kSocks5, dante->Port(), {}, {}},
      {"microsocks SOCKS 5 with password", ProxyHandshake::kSocks5, microsocks->Port(), "bob",
       "pw"},
      {"tinyproxy HTTP", ProxyHandshake::kHttp11, tinyproxy->Port(), {}, {}},
      // Credentials long enough that a line-broken Base64 text would split the header.
      {"tinyproxy HTTP with Basic", ProxyHandshake::kHttp11, tinyproxyAuth->Port(), longUser,
       "secret-password-0123456789"},
  };
  for (const auto& c : cases) {
    ProxiedSocket socket(c.type, "localhost", c.port, c.user, c.password);
    ExpectTunnel(socket, "127.0.0.1", c.what);
    using S = SocketLayer;
    const std::vector<std::pair<int, int>> states = {{S::kUnconnected, S::kNone},
                                                     {S::kConnecting, S::kUnconnected},
                                                     {S::kConnected, S::kConnecting}};
    EXPECT_EQ(socket.stateChanges, states) << c.what;
    EXPECT_EQ(socket.proxy.LayerState(), S::kConnected) << c.what;
    QString address;
    uint16_t port = 0;
    EXPECT_TRUE(socket.GetPeerName(address, port)) << c.what;
    EXPECT_EQ(address, "127.0.0.1") << c.what;
    EXPECT_EQ(port, echo_.Port()) << c.what << ": the target, not the proxy";
  }
}

TEST_F(Proxies, TypeNonePassesStraightThrough) {
  ProxiedSocket socket;
  socket.proxy.SetProxy(ProxyHandshake::kNone, "", 0);
  ExpectTunnel(socket, "localhost", "no proxy");
}

TEST_F(Proxies, RealProxiesReportTheirRefusals) {
  auto microsocks = StartMicrosocks("bob", "pw");
  auto tinyproxy = StartTinyproxy(dir_, "alice", "secret");
  auto dante = StartDante(dir_);
  ASSERT_TRUE(microsocks->Ready() && tinyproxy->Ready() && dante->Ready());
  const struct {
    const char* what;
    int type;
    quint16 port;
    QByteArray user, password;
    quint16 target;
    int code;
    QString text;
  } cases[] = {
      {"wrong password",
       ProxyHandshake::kSocks5,
       microsocks->Port(),
       "bob",
       "wrong",
       echo_.Port(),
       5,
       {}},
      // microsocks answers "no acceptable method" rather than asking for a password.
      {"password required",
       ProxyHandshake::kSocks5,
       microsocks->Port(),
       {},
       {},
       echo_.Port(),
       4,
       {}},
      {"HTTP 407",
       ProxyHandshake::kHttp11,
       tinyproxy->Port(),
       {},
       {},
       echo_.Port(),
       2,
       "HTTP/1.0 407 Proxy Authentication Required"},
      {"target refused behind SOCKS 5",
       ProxyHandshake::kSocks5,
       dante->Port(),
       {},
       {},
       FreeLoopbackPort(),
       2,
       {}},
      {"target refused behind SOCKS 4",
       ProxyHandshake::kSocks4,
       dante->Port(),
       {},
       {},
       FreeLoopbackPort(),
       2,
       {}},
      {"no proxy listening",
       ProxyHandshake::kSocks5,
       FreeLoopbackPort(),
       {},
       {},
       echo_.Port(),
       1,
       {}},
  };
  for (const auto& c : cases) {
    ProxiedSocket socket(c.type, "127.0.0.1", c.port, c.user, c.password);
    ASSERT_TRUE(socket.Create());
    socket.Connect("127.0.0.1", c.target);
    ASSERT_TRUE(RunEventsUntil([&] { return socket.Failed(); }, 10000)) << c.what;
    ASSERT_EQ(socket.proxyStatuses.size(), 1u) << c.what;
    EXPECT_EQ(socket.proxyStatuses[0].param1, c.code) << c.what;
    EXPECT_EQ(socket.proxyStatuses[0].text, c.text) << c.what;
    EXPECT_FALSE(socket.Connected()) << c.what;
    EXPECT_TRUE(socket.received.isEmpty()) << c.what;
    EXPECT_EQ(socket.proxy.LayerState(), SocketLayer::kAborted) << c.what;
  }
}

TEST_F(Proxies, ScriptedProxyAnswers) {
  const QByteArray greeting = EchoPeer::kGreeting;
  const QByteArray socks5Domain =
      QByteArray("\x05\x00\x00\x03\x0b", 5) + "proxy.local" + QByteArray("\x22\xb0", 2);
  const QByteArray notHttp = "SSH-2.0-OpenSSH\r\n";
  QByteArray endless = "HTTP/1.1 200 OK\r\n";
  while (endless.size() < 20000) endless += "X-Filler: 0123456789\r\n";
  const struct {
    const char* what;
    int type;
    QByteArray target;
    bool auth;
    std::vector<ScriptedPeer::Turn> script;
    QByteArray request;  // what the proxy receives, when checked
    int code;            // 0: the tunnel opens and the greeting arrives whole
    QString text;
  } cases[] = {
      {"SOCKS 4A by name",
       ProxyHandshake::kSocks4a,
       kUnresolvable,
       false,
       {{int(10 + kUnresolvable.size()), QByteArray("\x00\x5a\0\0\0\0\0\0", 8) + greeting}},
       QByteArray("\x04\x01\x1f\x90\x00\x00\x00\x01\x00", 9) + kUnresolvable + QByteArray(1, '\0'),
       0,
       {}},
      {"SOCKS 4 refused",
       ProxyHandshake::kSocks4,
       "127.0.0.1",
       false,
       {{9, QByteArray("\x00\x5b\0\0\0\0\0\0", 8)}},
       {},
       2,
       {}},
      {"SOCKS 5 domain reply, then data",
       ProxyHandshake::kSocks5,
       "127.0.0.1",
       false,
       {{3, QByteArray("\x05\x00", 2)}, {13, socks5Domain + greeting}},
       QByteArray("\x05\x01\x00\x05\x01\x00\x01\x7f\x00\x00\x01\x1f\x90", 13),
       0,
       {}},
      {"SOCKS 5 user offered, none chosen",
       ProxyHandshake::kSocks5,
       "127.0.0.1",
       true,
       {{4, QByteArray("\x05\x00", 2)},
        {14, QByteArray("\x05\x00\x00\x01\x7f\x00\x00\x01\x1f\x90", 10) + greeting}},
       QByteArray("\x05\x02\x02\x00\x05\x01\x00\x01\x7f\x00\x00\x01\x1f\x90", 14),
       0,
       {}},
      {"SOCKS 5 domain target",
       ProxyHandshake::kSocks5,
       kUnresolvable,
       false,
       {{3, QByteArray("\x05\x00", 2)},
        {int(10 + kUnresolvable.size()),
         QByteArray("\x05\x00\x00\x01\x7f\x00\x00\x01\x1f\x90", 10) + greeting}},
       QByteArray("\x05\x01\x00\x05\x01\x00\x03", 7) + char(kUnresolvable.size()) + kUnresolvable +
           QByteArray("\x1f\x90", 2),
       0,
       {}},
      {"SOCKS 5 unknown method",
       ProxyHandshake::kSocks5,
       "127.0.0.1",
       false,
       {{3, "\x05\x03"}},
       {},
       4,
       {}},
      {"HTTP reply dripped",
       ProxyHandshake::kHttp11,
       "127.0.0.1",
       false,
       {{1, "HTTP/1.1 200 Connection established\r\n\r\n" + greeting, false, 1}},
       "CONNECT 127.0.0.1:8080 HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n\r\n",
       0,
       {}},
      {"not HTTP",
       ProxyHandshake::kHttp11,
       "127.0.0.1",
       false,
       {{1, notHttp}},
       {},
       2,
       "No valid HTTP reponse"},
      {"HTTP reply never ends",
       ProxyHandshake::kHttp11,
       "127.0.0.1",
       false,
       {{1, endless}},
       {},
       2,
       {}},
      {"proxy hangs up",
       ProxyHandshake::kSocks5,
       "127.0.0.1",
       false,
       {{3, "\x05", true}},
       {},
       2,
       {}},
  };
  for (const auto& c : cases) {
    ScriptedPeer proxy(c.script);
    ProxiedSocket socket(c.type, "127.0.0.1", proxy.Port(), c.auth ? "alice" : "", "secret");
    ASSERT_TRUE(socket.Create()) << c.what;
    const bool started = socket.Connect(c.target, 8080);
    ASSERT_TRUE(started || Net::LastError() == EWOULDBLOCK) << c.what;
    if (c.code == 0) {
      EXPECT_TRUE(RunEventsUntil([&] { return socket.received == greeting || socket.Failed(); }))
          << c.what;
      EXPECT_EQ(socket.received, greeting) << c.what << ": the proxy's reply is not passed on";
      EXPECT_TRUE(socket.proxyStatuses.empty()) << c.what;
    } else {
      ASSERT_TRUE(RunEventsUntil([&] { return socket.Failed(); })) << c.what;
      ASSERT_EQ(socket.proxyStatuses.size(), 1u) << c.what;
      EXPECT_EQ(socket.proxyStatuses[0].param1, c.code) << c.what;
      EXPECT_EQ(socket.proxyStatuses[0].text, c.text) << c.what;
      EXPECT_TRUE(socket.Saw(Net::FD_CONNECT, ECONNABORTED)) << c.what;
    }
    if (!c.request.isEmpty()) {
      EXPECT_EQ(proxy.Received(), c.request) << c.what;
    }
  }
}

TEST_F(Proxies, Socks4CannotReachAnUnresolvableNameAndSaysSoAtOnce) {
  ScriptedPeer proxy({});
  ProxiedSocket socket;
  socket.proxy.SetProxy(ProxyHandshake::kSocks4, "127.0.0.1", proxy.Port());
  ASSERT_TRUE(socket.Create());
  EXPECT_FALSE(socket.Connect(kUnresolvable, 8880));
  EXPECT_EQ(Net::LastError(), EINVAL);
  ASSERT_EQ(socket.proxyStatuses.size(), 1u);
  EXPECT_EQ(socket.proxyStatuses[0].param1, ProxyHandshake::kCannotResolveTarget);
  RunEventsUntil([] { return false; }, 100);
  EXPECT_EQ(proxy.Connections(), 0);

  QString address;
  uint16_t port = 0;
  ProxiedSocket byName;
  byName.proxy.SetProxy(ProxyHandshake::kSocks4a, "127.0.0.1", proxy.Port());
  ASSERT_TRUE(byName.Create());
  EXPECT_TRUE(byName.Connect(kUnresolvable, 8880));
  EXPECT_FALSE(byName.GetPeerName(address, port)) << "only the name is known";
  EXPECT_EQ(Net::LastError(), ENOTCONN);
}

}  // namespace

namespace {

TEST_F(Proxies, ListensThroughDante) {
  auto dante = StartDante(dir_);
  ASSERT_TRUE(dante->Ready()) << dante->Output().toStdString();
  for (int type : {ProxyHandshake::kSocks4, ProxyHandshake::kSocks5}) {
    class Listener : public ProxiedSocket {
     public:
      using ProxiedSocket::ProxiedSocket;
      bool accepted = false;

     protected:
      void OnAccept(int error) override {
        events.push_back({Net::FD_ACCEPT, error});
        accepted = error == 0;
      }
    } listener(type, "127.0.0.1", dante->Port(), {}, {});
    listener.proxy.ExpectPeer("127.0.0.1", 0);
    ASSERT_TRUE(listener.Create());
    ASSERT_TRUE(listener.Listen()) << type;
    ASSERT_TRUE(RunEventsUntil([&] {
      return !listener.proxyStatuses.empty() || listener.Failed();
    })) << type;
    ASSERT_EQ(listener.proxyStatuses.size(), 1u) << type;
    const LayerStatus where = listener.proxyStatuses[0];
    EXPECT_EQ(where.param1, ProxyHandshake::kListening) << type;
    ASSERT_NE(where.port, 0) << type;

    QTcpSocket peer;
    peer.connectToHost(QHostAddress(ntohl(where.address)), where.port);
    ASSERT_TRUE(RunEventsUntil([&] { return peer.state() == QAbstractSocket::ConnectedState; }))
        << type;
    peer.write("over the bound port\r\n");
    EXPECT_TRUE(RunEventsUntil([&] { return listener.received == "over the bound port\r\n"; }))
        << type;
    EXPECT_TRUE(listener.accepted) << type;
    EXPECT_FALSE(listener.Connected()) << type << ": a bind ends in FD_ACCEPT, not FD_CONNECT";
  }
}

}  // namespace
