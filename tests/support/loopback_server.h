#pragma once
#include <QByteArray>
#include <QObject>
#include <QTcpServer>
#include <functional>

class QTcpSocket;

// A TCP server for the tests on 127.0.0.1, at a port of its own (bound to port 0). Every
// connection it accepts is handed to the handlers: connected when it is accepted, readyRead
// when bytes arrive (the handler reads them), disconnected when the peer leaves, after which
// the connection is deleted. Connections still open when the server goes never call back.
class LoopbackServer : public QObject {
 public:
  struct Handlers {
    std::function<void(QTcpSocket*)> connected;
    std::function<void(QTcpSocket*)> readyRead;
    std::function<void(QTcpSocket*)> disconnected;
  };
  explicit LoopbackServer(Handlers handlers);
  ~LoopbackServer() override;

  quint16 Port() const { return server_.serverPort(); }
  // Connections accepted so far.
  int Connections() const { return connections_; }

 private:
  void Accept(QTcpSocket* connection);

  QTcpServer server_;
  Handlers handlers_;
  int connections_ = 0;
};

// Sends bytes on connection: at once when dripMs < 0, else one byte at a time, dripMs
// apart (the first at once). Returns about how many milliseconds from now the last byte goes.
int SendBytes(QTcpSocket* connection, const QByteArray& bytes, int dripMs);
