#include "crash/https_test_server.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>

namespace {

bool MakeCertificate(const QString& certificate, const QString& key) {
  QProcess openssl;
  openssl.start("openssl",
                {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                 "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                 "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", certificate});
  return openssl.waitForFinished(30000) && openssl.exitStatus() == QProcess::NormalExit &&
         openssl.exitCode() == 0;
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

HttpsTestServer::HttpsTestServer(const QString& dir) : certificateFile_(dir + "/server.crt") {
  const QString keyFile = dir + "/server.key";
  if (!MakeCertificate(certificateFile_, keyFile)) return;
  QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
  tls.setLocalCertificate(QSslCertificate(ReadAll(certificateFile_)));
  tls.setPrivateKey(QSslKey(ReadAll(keyFile), QSsl::Ec));
  tls.setPeerVerifyMode(QSslSocket::VerifyNone);
  server_.setSslConfiguration(tls);
  connect(&server_, &QSslServer::startedEncryptionHandshake, this, [this] { ++connections_; });
  connect(&server_, &QTcpServer::pendingConnectionAvailable, this, [this] {
    while (server_.hasPendingConnections())
      Serve(static_cast<QSslSocket*>(server_.nextPendingConnection()));
  });
  server_.listen(QHostAddress::LocalHost, 0);
}

QByteArray HttpsTestServer::Url(const QByteArray& path) const {
  return "https://127.0.0.1:" + QByteArray::number(Port()) + path;
}

void HttpsTestServer::Serve(QSslSocket* socket) {
  auto received = std::make_shared<QByteArray>();
  connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
  connect(socket, &QSslSocket::readyRead, this, [this, socket, received] {
    *received += socket->readAll();
    Request request;
    if (!TakeRequest(*received, request)) return;
    requests_.append(request);
    socket->write("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nConnection: close\r\n\r\nok\n");
    socket->disconnectFromHost();
  });
}

// A whole request (head and Content-Length bytes of body) out of received, when it is there.
bool HttpsTestServer::TakeRequest(QByteArray& received, Request& request) {
  const qsizetype headEnd = received.indexOf("\r\n\r\n");
  if (headEnd < 0) return false;
  const QList<QByteArray> lines = received.left(headEnd).split('\n');
  const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
  if (requestLine.size() < 2) return false;
  request.method = requestLine[0];
  request.path = requestLine[1];
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const qsizetype colon = lines[i].indexOf(':');
    if (colon > 0)
      request.headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
  }
  const qsizetype length = request.headers.value("content-length", "0").toLongLong();
  if (received.size() < headEnd + 4 + length) return false;
  request.body = received.mid(headEnd + 4, length);
  received.remove(0, headEnd + 4 + length);
  return true;
}
