#pragma once
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSslServer>
#include <QString>

// An HTTPS server on 127.0.0.1 with a self-signed certificate that openssl makes for it.
// It records each request and answers 200 with a short body.
class HttpsTestServer : public QObject {
 public:
  struct Request {
    QByteArray method;
    QByteArray path;
    QMap<QByteArray, QByteArray> headers;  // names in lower case
    QByteArray body;
  };

  // Keeps the certificate and key in dir.
  explicit HttpsTestServer(const QString& dir);
  bool Listening() const { return server_.isListening(); }
  quint16 Port() const { return server_.serverPort(); }
  QString CertificateFile() const { return certificateFile_; }
  QByteArray Url(const QByteArray& path) const;
  int Connections() const { return connections_; }
  const QList<Request>& Requests() const { return requests_; }

 private:
  void Serve(QSslSocket* socket);
  bool TakeRequest(QByteArray& received, Request& request);

  QSslServer server_;
  QString certificateFile_;
  int connections_ = 0;
  QList<Request> requests_;
};
