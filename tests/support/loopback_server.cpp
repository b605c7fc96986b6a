#include "support/loopback_server.h"

#include <QTcpSocket>
#include <QTimer>

LoopbackServer::LoopbackServer(Handlers handlers) : handlers_(std::move(handlers)) {
  server_.listen(QHostAddress::LocalHost, 0);
  QObject::connect(&server_, &QTcpServer::newConnection, this, [this] {
    while (QTcpSocket* connection = server_.nextPendingConnection()) Accept(connection);
  });
}

LoopbackServer::~LoopbackServer() {
  // The open connections go with the listening server; they must not call back into a
  // half-destroyed owner on their way out.
  for (QTcpSocket* connection : server_.findChildren<QTcpSocket*>()) connection->disconnect(this);
}

void LoopbackServer::Accept(QTcpSocket* connection) {
  ++connections_;
  QObject::connect(connection, &QTcpSocket::readyRead, this, [this, connection] {
    if (handlers_.readyRead) handlers_.readyRead(connection);
  });
  QObject::connect(connection, &QTcpSocket::disconnected, this, [this, connection] {
    if (handlers_.disconnected) handlers_.disconnected(connection);
    connection->deleteLater();
  });
  if (handlers_.connected) handlers_.connected(connection);
}

namespace {

// Each byte is sent by the timer the byte before it started, so the bytes keep their order
// however late a loaded machine runs the timers.
void DripBytes(QTcpSocket* connection, const QByteArray& bytes, qsizetype next, int dripMs) {
  if (next >= bytes.size()) return;
  connection->write(bytes.mid(next, 1));
  connection->flush();
  QTimer::singleShot(dripMs, connection, [connection, bytes, next, dripMs] {
    DripBytes(connection, bytes, next + 1, dripMs);
  });
}

}  // namespace

int SendBytes(QTcpSocket* connection, const QByteArray& bytes, int dripMs) {
  if (dripMs < 0) {
    connection->write(bytes);
    return 0;
  }
  DripBytes(connection, bytes, 0, dripMs);
  return dripMs * int(bytes.size());
}
