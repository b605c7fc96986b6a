#pragma once
#include <QByteArray>
#include <QString>

#include "net/proxy_handshake.h"
#include "net/socket_layer.h"

// A layer that tunnels the socket's connection through a SOCKS 4, SOCKS 4A, SOCKS 5 or
// HTTP 1.1 (CONNECT) proxy. The socket sees FD_CONNECT only once the tunnel is open;
// proxy failures reach its OnLayerStatus as a proxy status with one of
// ProxyHandshake::Code, followed by a failed FD_CONNECT. With type kNone everything
// passes straight through.
class ProxyLayer : public SocketLayer {
 public:
  using Type = ProxyHandshake::Type;
  static constexpr int kMaxHostLength = 511;

  // Without authentication (user name and password cleared).
  void SetProxy(int type, const QString& host, int port);
  void SetProxy(int type, const QString& host, int port, const QByteArray& user,
                const QByteArray& password);
  int ProxyType() const { return type_; }
  // The host a Listen through a SOCKS proxy waits for; the proxy reports where it listens
  // (status code 8) and the socket gets FD_ACCEPT once the host has connected there. The
  // socket itself then carries that connection.
  void ExpectPeer(const QString& host, uint16_t port);

 protected:
  void OnConnect(int error) override;
  void OnReceive(int error) override;
  void OnSend(int error) override;
  void OnClose(int error) override;

  void Close() override;
  bool Connect(const Ipv4Endpoint& address) override;
  bool Connect(const QString& host, uint16_t port) override;
  bool GetPeerName(Ipv4Endpoint& address) override;
  bool Listen(int backlog) override;
  using SocketLayer::GetPeerName;
  int Receive(void* buffer, int length, int flags) override;
  int Send(const void* buffer, int length, int flags) override;

 private:
  bool ConnectToProxy(uint32_t targetAddress, uint16_t port, const QString& targetName,
                      bool bind = false);
  void ReportStatus(int code, const QString& text = QString());
  // Reports the failure, fails the socket's connect and forgets the negotiation.
  void FailNegotiation(int code, int error, const QString& text = QString());
  // Tells the socket where the proxy listens for the expected peer.
  void ReportListening(uint32_t address, uint16_t port);
  bool SendAll(const QByteArray& bytes);

  int type_ = ProxyHandshake::kNone;
  QString proxyHost_;
  int proxyPort_ = 0;
  bool useAuthentication_ = false;
  QByteArray user_;
  QByteArray password_;
  uint32_t targetAddress_ = 0;
  uint16_t targetPort_ = 0;
  QString targetName_;
  QString expectedPeer_;
  uint16_t expectedPeerPort_ = 0;
  bool binding_ = false;
  ProxyHandshake handshake_;
};
