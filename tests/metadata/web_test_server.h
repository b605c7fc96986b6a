#pragma once
#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>

#include "support/loopback_server.h"

class QTcpSocket;

// An HTTP server on 127.0.0.1 for the tests of the web-service clients: it answers GET requests
// by their path and query from the answers the test gives it (one after another for a path
// given several, the last one repeated), 404 for anything else, and records every request.
class WebTestServer : public QObject {
 public:
  struct Reply {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    QList<QByteArray> headers = {};  // extra header lines, "Retry-After: 1"
  };
  struct Request {
    QByteArray target;                      // path and query
    QHash<QByteArray, QByteArray> headers;  // names in lower case
    qint64 atMs = 0;                        // since the server started
  };

  WebTestServer();

  quint16 Port() const { return server_.Port(); }
  QByteArray Url() const { return "http://127.0.0.1:" + QByteArray::number(Port()); }
  void Add(const QByteArray& target, const Reply& reply) { replies_[target].append(reply); }
  // A redirect to another target of this server.
  void AddRedirect(const QByteArray& target, const QByteArray& to);
  const QList<Request>& Requests() const { return requests_; }

 private:
  void OnData(QTcpSocket* connection);
  Reply Answer(const QByteArray& target);

  LoopbackServer server_;
  QHash<QTcpSocket*, QByteArray> pending_;
  QHash<QByteArray, QList<Reply>> replies_;
  QList<Request> requests_;
  QElapsedTimer clock_;
};
