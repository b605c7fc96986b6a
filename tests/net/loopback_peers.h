#pragma once
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

#include "support/loopback_server.h"

// Helpers for tests that talk to real peers on 127.0.0.1: the Qt application the sockets
// need, free ports, the proxy servers from Debian started as child processes, and a
// scripted TCP peer for the answers those servers never give.

// The process's QCoreApplication, created on first use.
void EnsureCoreApp();

// Runs the event loop until done() holds or timeoutMs pass; returns done().
bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// A port nobody listens on right now (bound to port 0 and released).
quint16 FreeLoopbackPort();

// A server program run in the foreground for the life of the object.
class PeerProcess {
 public:
  PeerProcess(const QString& program, const QStringList& args, quint16 port);
  ~PeerProcess();
  // True once the program accepts connections on its port.
  bool Ready() const { return ready_; }
  quint16 Port() const { return port_; }
  QString Output();

 private:
  QProcess process_;
  quint16 port_;
  bool ready_ = false;
};

// dante's danted: SOCKS 4 and SOCKS 5 without authentication.
std::unique_ptr<PeerProcess> StartDante(const QTemporaryDir& dir);
// microsocks: SOCKS 5 with user name and password.
std::unique_ptr<PeerProcess> StartMicrosocks(const QByteArray& user, const QByteArray& password);
// tinyproxy: HTTP CONNECT, with Basic authentication when a user is given.
std::unique_ptr<PeerProcess> StartTinyproxy(const QTemporaryDir& dir, const QByteArray& user = {},
                                            const QByteArray& password = {});

// A TCP server on 127.0.0.1 that plays a script on each connection: wait until a given
// number of bytes (counted from the connection's start) have arrived, then answer.
class ScriptedPeer : public QObject {
 public:
  struct Turn {
    int awaitBytes = 0;  // total bytes received before answering
    QByteArray answer;
    bool hangUp = false;  // close the connection after answering
    int dripMs = -1;      // >= 0: send the answer one byte at a time, this far apart
  };
  explicit ScriptedPeer(std::vector<Turn> script);
  quint16 Port() const { return server_.Port(); }
  // Everything received on the most recent connection.
  QByteArray Received() const { return received_; }
  int Connections() const { return server_.Connections(); }

 private:
  void Advance(QTcpSocket* connection);

  LoopbackServer server_;
  std::vector<Turn> script_;
  QByteArray received_;
  size_t next_ = 0;
};

// A target server behind the proxies: sends a greeting, then echoes what it receives.
class EchoPeer : public QObject {
 public:
  static constexpr char kGreeting[] = "200 echo ready\r\n";
  EchoPeer();
  quint16 Port() const { return server_.Port(); }

 private:
  LoopbackServer server_;
};
