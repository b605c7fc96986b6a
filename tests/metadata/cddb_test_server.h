#pragma once
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>

#include "support/loopback_server.h"

class QTcpSocket;

// A CDDB server on 127.0.0.1 for the tests, speaking either the line protocol (greeting,
// cddb hello, proto, cddb query, cddb read, quit) or HTTP requests to /~cddb/cddb.cgi.
// It serves the entries the test gives it and records every command it receives.
class CddbTestServer : public QObject {
 public:
  enum class Mode { Line, Http };
  explicit CddbTestServer(Mode mode);

  quint16 Port() const { return server_.Port(); }

  // The whole answer to "cddb query", e.g. "200 rock 0501a202 Artist / Album\r\n".
  void SetQueryAnswer(const QByteArray& answer) { queryAnswer_ = answer; }
  // An xmcd entry (lines ending in CR LF, without the final ".") for "cddb read".
  void AddEntry(const QByteArray& category, const QByteArray& discId, const QByteArray& entry);
  // Every answer goes out one byte at a time, this many milliseconds apart.
  void SetDripMs(int ms) { dripMs_ = ms; }
  // Accepts connections and then says nothing at all.
  void SetSilent(bool silent) { silent_ = silent; }
  // Hangs up instead of answering the command that starts with this text.
  void SetHangUpOn(const QByteArray& command) { hangUpOn_ = command; }
  // The line protocol's greeting, instead of "201 ... ready".
  void SetGreeting(const QByteArray& greeting) { greeting_ = greeting; }
  // Refuses protocol levels above this one, as a server of that level does.
  void SetMaxProtoLevel(int level) { maxProtoLevel_ = level; }
  // HTTP answers carry this status line instead of "200 OK".
  void SetHttpStatus(const QByteArray& status) { httpStatus_ = status; }
  // The whole answer to "cddb read", instead of the entry that was added.
  void SetReadAnswer(const QByteArray& answer) { readAnswer_ = answer; }
  // The HTTP answer to "cddb read" announces this many bytes more than it carries, and the
  // server hangs up after it (not to be combined with dripping or delays).
  void SetMissingBytes(int bytes) { missingBytes_ = bytes; }
  // Every answer, the greeting too, goes out this many milliseconds after its command (not
  // to be combined with hanging up).
  void SetAnswerDelayMs(int ms) { answerDelayMs_ = ms; }

  // Commands received, in order (HTTP commands decoded from "cmd").
  const QStringList& Commands() const { return commands_; }
  // The hello fields of the last command that carried them.
  const QString& Hello() const { return hello_; }
  // Header lines of the HTTP requests, one string each.
  const QList<QByteArray>& HttpHeaders() const { return httpHeaders_; }
  int Connections() const { return server_.Connections(); }

 private:
  void OnData(QTcpSocket* connection);
  void HandleLine(QTcpSocket* connection, const QByteArray& line);
  void HandleHttp(QTcpSocket* connection, const QByteArray& request);
  QByteArray Answer(const QByteArray& command);
  // 501 when the level is above the server's, else empty.
  QByteArray RefuseProtoLevel(int level) const;
  void Write(QTcpSocket* connection, const QByteArray& bytes);

  Mode mode_;
  LoopbackServer server_;
  QHash<QTcpSocket*, QByteArray> pending_;
  QByteArray queryAnswer_;
  QHash<QByteArray, QByteArray> entries_;  // "category discid" -> entry
  int dripMs_ = -1;
  bool silent_ = false;
  QByteArray hangUpOn_;
  QByteArray httpStatus_ = "200 OK";
  QByteArray readAnswer_;
  int missingBytes_ = 0;
  int answerDelayMs_ = 0;
  QByteArray greeting_ = "201 korvane-test CDDBP server v1.5PL0 ready\r\n";
  int maxProtoLevel_ = 6;
  QStringList commands_;
  QString hello_;
  QList<QByteArray> httpHeaders_;
};
