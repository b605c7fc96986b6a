#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QCoreApplication>
#include <QTcpSocket>

#include "loopback_peers.h"
#include "net/socket_layer.h"
#include "probe_socket.h"

namespace {

// A name that fails to resolve without any query leaving the machine (a 70-letter label).
const QByteArray kUnresolvable = QByteArray(70, 'x') + ".invalid";

class AsyncSocket : public ::testing::Test {
 protected:
  void SetUp() override { EnsureCoreApp(); }
};

TEST_F(AsyncSocket, ConnectsByAddressAndByNameReceivesAndSends) {
  EchoPeer peer;
  for (const QByteArray& host : {QByteArray("127.0.0.1"), QByteArray("localhost")}) {
    ProbeSocket socket;
    ASSERT_TRUE(socket.Create());
    socket.sendOnConnect = "ping\r\n";
    const bool connected = socket.Connect(host, peer.Port());
    EXPECT_TRUE(connected || Net::LastError() == EWOULDBLOCK) << host.constData();
    const QByteArray expected = QByteArray(EchoPeer::kGreeting) + "ping\r\n";
    ASSERT_TRUE(RunEventsUntil([&] { return socket.received == expected; }))
        << socket.received.constData();
    ASSERT_FALSE(socket.events.empty());
    EXPECT_EQ(socket.events.front(), (ProbeSocket::Event{Net::FD_CONNECT, 0})) << host.constData();
    EXPECT_TRUE(socket.Saw(Net::FD_WRITE, 0)) << "FD_WRITE follows the connect";
    QString address;
    uint16_t port = 0;
    ASSERT_TRUE(socket.GetPeerName(address, port));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_EQ(port, peer.Port());
  }
}

TEST_F(AsyncSocket, ReportsRefusedConnectionsAndFailedLookups) {
  ProbeSocket refused;
  ASSERT_TRUE(refused.Create());
  refused.Connect("127.0.0.1", FreeLoopbackPort());
  ASSERT_TRUE(RunEventsUntil([&] { return !refused.events.empty(); }));
  EXPECT_EQ(refused.events.front(), (ProbeSocket::Event{Net::FD_CONNECT, ECONNREFUSED}));

  ProbeSocket unknown;
  ASSERT_TRUE(unknown.Create());
  EXPECT_TRUE(unknown.Connect(kUnresolvable, 80)) << "the lookup runs in the background";
  EXPECT_EQ(Net::LastError(), EWOULDBLOCK);
  ASSERT_TRUE(RunEventsUntil([&] { return !unknown.events.empty(); }));
  EXPECT_TRUE(unknown.Failed());
}

TEST_F(AsyncSocket, PeerHangingUpGivesDataThenClose) {
  ScriptedPeer peer({{0, "bye\r\n", true}});
  ProbeSocket socket;
  ASSERT_TRUE(socket.Create());
  socket.Connect("127.0.0.1", peer.Port());
  ASSERT_TRUE(RunEventsUntil([&] { return socket.Saw(Net::FD_CLOSE, 0); }));
  EXPECT_EQ(socket.received, "bye\r\n");
  int reads = 0;
  for (const auto& e : socket.events) reads += e.event == Net::FD_READ;
  EXPECT_GE(reads, 1);
  EXPECT_EQ(socket.events.back().event, Net::FD_CLOSE) << "nothing after the close";
}

TEST_F(AsyncSocket, PeerResettingGivesCloseWithItsError) {
  // Once it hears from the client, the peer closes with lingering switched off, which sends
  // a reset instead of an orderly hang-up.
  LoopbackServer peer({{},
                       [](QTcpSocket* connection) {
                         const linger off{1, 0};
                         ::setsockopt(int(connection->socketDescriptor()), SOL_SOCKET, SO_LINGER,
                                      &off, sizeof off);
                         connection->abort();
                       },
                       {}});
  ProbeSocket socket;
  ASSERT_TRUE(socket.Create());
  socket.sendOnConnect = "hello\r\n";
  socket.Connect("127.0.0.1", peer.Port());
  ASSERT_TRUE(RunEventsUntil([&] { return socket.Saw(Net::FD_CLOSE, ECONNRESET); }));
  EXPECT_TRUE(socket.Connected());
  EXPECT_EQ(socket.events.back().event, Net::FD_CLOSE) << "nothing after the close";
}

TEST_F(AsyncSocket, ClosingInsideAHandlerStopsItsEventsAndTheSocketCanBeCreatedAgain) {
  EchoPeer peer;
  ProbeSocket socket;
  socket.closeOnReceive = true;
  ASSERT_TRUE(socket.Create());
  socket.Connect("127.0.0.1", peer.Port());
  ASSERT_TRUE(RunEventsUntil([&] { return socket.Handle() == -1; }));
  const size_t seen = socket.events.size();
  RunEventsUntil([] { return false; }, 200);
  EXPECT_EQ(socket.events.size(), seen);
  EXPECT_EQ(socket.Receive(nullptr, 0), -1);
  EXPECT_EQ(Net::LastError(), ENOTSOCK);

  socket.closeOnReceive = false;
  socket.received.clear();
  ASSERT_TRUE(socket.Create());
  socket.Connect("127.0.0.1", peer.Port());
  EXPECT_TRUE(RunEventsUntil([&] { return socket.received == EchoPeer::kGreeting; }));
}

TEST_F(AsyncSocket, RefusesMisuse) {
  ProbeSocket socket;
  SocketLayer layer;
  ASSERT_TRUE(socket.Create());
  EXPECT_FALSE(socket.Create());
  EXPECT_EQ(Net::LastError(), EALREADY);
  EXPECT_FALSE(socket.AttachLayer(&layer)) << "layers only before the socket exists";
  socket.Close();
  ProbeSocket unconnected;
  EXPECT_EQ(unconnected.Send("x", 1), -1);
  EXPECT_EQ(Net::LastError(), ENOTSOCK);
}

TEST(AsyncSocketWithoutEventLoop, CreateFailsWithoutAnApplication) {
  if (QCoreApplication::instance()) GTEST_SKIP() << "needs a process of its own, as ctest runs it";
  ProbeSocket socket;
  EXPECT_FALSE(socket.Create());
  EXPECT_EQ(Net::LastError(), Net::kErrorNoEventLoop);
}

TEST_F(AsyncSocket, ListensAndAccepts) {
  class Listener : public ProbeSocket {
   public:
    ProbeSocket accepted;
    bool ok = false;

   protected:
    void OnAccept(int error) override {
      events.push_back({Net::FD_ACCEPT, error});
      ok = Accept(accepted);
      if (ok) accepted.Send("hello\r\n", 7);
    }
  } listener;
  ASSERT_TRUE(listener.Create());
  ASSERT_TRUE(listener.Listen());
  sockaddr_in bound{};
  socklen_t size = sizeof bound;
  ASSERT_EQ(getsockname(listener.Handle(), reinterpret_cast<sockaddr*>(&bound), &size), 0);
  ProbeSocket client;
  ASSERT_TRUE(client.Create());
  client.Connect("127.0.0.1", ntohs(bound.sin_port));
  ASSERT_TRUE(RunEventsUntil([&] { return client.received == "hello\r\n"; }));
  EXPECT_TRUE(listener.ok);
}

}  // namespace
