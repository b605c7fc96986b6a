#include "web_test_server.h"

#include <QTcpSocket>

WebTestServer::WebTestServer()
    : server_({.connected = {},
               .readyRead = [this](QTcpSocket* connection) { OnData(connection); },
               .disconnected = [this](QTcpSocket* connection) { pending_.remove(connection); }}) {
  clock_.start();
}

void WebTestServer::AddRedirect(const QByteArray& target, const QByteArray& to) {
  Add(target, {302, QByteArray(), "text/plain", {"Location: " + Url() + to}});
}

WebTestServer::Reply WebTestServer::Answer(const QByteArray& target) {
  QList<Reply>& queue = replies_[target];
  if (queue.isEmpty()) return {404, R"({"error": "Not Found"})"};
  return queue.size() > 1 ? queue.takeFirst() : queue.first();
}

void WebTestServer::OnData(QTcpSocket* connection) {
  QByteArray& buffer = pending_[connection];
  buffer += connection->readAll();
  const qsizetype end = buffer.indexOf("\r\n\r\n");
  if (end < 0) return;
  const QList<QByteArray> lines = buffer.left(end).split('\n');
  buffer.remove(0, end + 4);
  Request request;
  request.atMs = clock_.elapsed();
  const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
  request.target = requestLine.value(1);
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const qsizetype colon = lines[i].indexOf(':');
    if (colon > 0)
      request.headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
  }
  requests_.append(request);
  const Reply reply = Answer(request.target);
  QByteArray answer = "HTTP/1.1 " + QByteArray::number(reply.status) + " Answer\r\n" +
                      "Content-Type: " + reply.contentType + "\r\n" +
                      "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
  for (const QByteArray& header : reply.headers) answer += header + "\r\n";
  answer += "Connection: close\r\n\r\n" + reply.body;
  connection->write(answer);
  connection->disconnectFromHost();
}
