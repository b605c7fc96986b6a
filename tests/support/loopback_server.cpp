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

int SendBytes(QTcpSocket* connection, const QByteArray& bytes, int dripMs) {
  if (dripMs < 0) {
    connection->write(bytes);
    return 0;
  }
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    QTimer::singleShot(dripMs * int(i), connection, [connection, byte = bytes.mid(i, 1)] {
      connection->write(byte);
      connection->flush();
    });
  }
  return dripMs * int(bytes.size());
}
