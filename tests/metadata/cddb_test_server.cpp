#include "cddb_test_server.h"

#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

CddbTestServer::CddbTestServer(Mode mode)
    : mode_(mode),
      server_({[this](QTcpSocket* connection) {
                 if (mode_ == Mode::Line && !silent_) Write(connection, greeting_);
               },
               [this](QTcpSocket* connection) { OnData(connection); },
               [this](QTcpSocket* connection) { pending_.remove(connection); }}) {}

void CddbTestServer::AddEntry(const QByteArray& category, const QByteArray& discId,
                              const QByteArray& entry) {
  entries_.insert(category + ' ' + discId, entry);
}

void CddbTestServer::Write(QTcpSocket* connection, const QByteArray& bytes) {
  if (answerDelayMs_ <= 0) {
    SendBytes(connection, bytes, dripMs_);
    return;
  }
  QTimer::singleShot(answerDelayMs_, connection,
                     [this, connection, bytes] { SendBytes(connection, bytes, dripMs_); });
}

void CddbTestServer::OnData(QTcpSocket* connection) {
  QByteArray& buffer = pending_[connection];
  buffer += connection->readAll();
  if (silent_) return;
  if (mode_ == Mode::Http) {
    qsizetype end;
    while ((end = buffer.indexOf("\r\n\r\n")) >= 0) {
      const QByteArray request = buffer.left(end);
      buffer.remove(0, end + 4);
      HandleHttp(connection, request);
    }
    return;
  }
  qsizetype end;
  while ((end = buffer.indexOf('\n')) >= 0) {
    QByteArray line = buffer.left(end);
    buffer.remove(0, end + 1);
    if (line.endsWith('\r')) line.chop(1);
    HandleLine(connection, line);
  }
}

void CddbTestServer::HandleLine(QTcpSocket* connection, const QByteArray& line) {
  commands_ << QString::fromLatin1(line);
  if (!hangUpOn_.isEmpty() && line.startsWith(hangUpOn_)) return connection->disconnectFromHost();
  if (line.startsWith("cddb hello ")) hello_ = QString::fromLatin1(line.mid(11));
  if (line == "quit") {
    Write(connection, "230 korvane-test Closing connection.  Goodbye.\r\n");
    connection->disconnectFromHost();
    return;
  }
  Write(connection, Answer(line));
}

void CddbTestServer::HandleHttp(QTcpSocket* connection, const QByteArray& request) {
  const QList<QByteArray> lines = request.split('\n');
  const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
  for (qsizetype i = 1; i < lines.size(); ++i) httpHeaders_ << lines[i].trimmed();
  const QUrl url(QString::fromLatin1(requestLine.value(1)));
  QByteArray body;
  int missing = 0;
  if (requestLine.value(0) != "GET" || url.path() != "/~cddb/cddb.cgi") {
    body = "500 Unrecognized request.\r\n";
  } else {
    // In a query string "+" stands for a blank.
    const QUrlQuery query(url.query().replace(QLatin1Char('+'), QLatin1String("%20")));
    const QByteArray command = query.queryItemValue("cmd", QUrl::FullyDecoded).toLatin1();
    hello_ = query.queryItemValue("hello", QUrl::FullyDecoded);
    commands_ << QString::fromLatin1(command);
    if (!hangUpOn_.isEmpty() && command.startsWith(hangUpOn_))
      return connection->disconnectFromHost();
    body = RefuseProtoLevel(query.queryItemValue("proto").toInt());
    if (body.isEmpty()) body = Answer(command);
    if (command.startsWith("cddb read ")) missing = missingBytes_;
  }
  Write(connection,
        "HTTP/1.1 " + httpStatus_ + "\r\nContent-Type: text/plain; charset=ISO-8859-1\r\n" +
            "Content-Length: " + QByteArray::number(body.size() + missing) + "\r\n\r\n" + body);
  if (missing > 0) connection->disconnectFromHost();
}

QByteArray CddbTestServer::Answer(const QByteArray& command) {
  if (command.startsWith("cddb hello "))
    return "200 Hello and welcome korvane_user running Korvane.\r\n";
  if (command.startsWith("proto ")) {
    const QByteArray refused = RefuseProtoLevel(command.mid(6).toInt());
    return refused.isEmpty() ? "201 OK, CDDB protocol level now: " + command.mid(6) + "\r\n"
                             : refused;
  }
  if (command.startsWith("cddb query ")) return queryAnswer_;
  if (command.startsWith("cddb read ") && !readAnswer_.isEmpty()) return readAnswer_;
  if (command.startsWith("cddb read ")) {
    const QByteArray key = command.mid(10);
    const auto entry = entries_.constFind(key);
    if (entry == entries_.constEnd()) return "401 " + key + " No such CD entry in database.\r\n";
    return "210 " + key + " CD database entry follows (until terminating `.')\r\n" + *entry +
           ".\r\n";
  }
  return "500 Unrecognized command.\r\n";
}

QByteArray CddbTestServer::RefuseProtoLevel(int level) const {
  return level > maxProtoLevel_ ? "501 Illegal protocol level.\r\n" : QByteArray();
}
