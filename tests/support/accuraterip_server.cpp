#include "support/accuraterip_server.h"

#include <QTcpSocket>
#include <QUrl>

#include "rip/track_checksums.h"
#include "support/virtual_disc.h"

AccurateRipServer::AccurateRipServer()
    : server_({{}, [this](QTcpSocket* connection) { OnData(connection); }, {}}) {}

QString AccurateRipServer::Url() const {
  return QStringLiteral("http://127.0.0.1:%1").arg(server_.Port());
}

void AccurateRipServer::OnData(QTcpSocket* connection) {
  QByteArray& request = pending_[connection];
  request += connection->readAll();
  if (!request.contains("\r\n\r\n")) return;
  const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
  pending_.remove(connection);
  const QByteArray path = QUrl::fromEncoded(requestLine.value(1)).path().toUtf8();
  requests_ << QString::fromUtf8(path);
  const auto file = files_.constFind(path);
  const bool found = requestLine.value(0) == "GET" && file != files_.constEnd();
  const QByteArray body = found ? *file : QByteArray("not found");
  const QByteArray status =
      !status_.isEmpty() ? status_ : QByteArray(found ? "200 OK" : "404 Not Found");
  connection->write("HTTP/1.1 " + status + "\r\nContent-Type: application/octet-stream\r\n" +
                    "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
}

QByteArray DbarResponse(int trackCount, uint32_t a, uint32_t b, uint32_t c,
                        const std::vector<DbarTrack>& tracks) {
  QByteArray bytes;
  const auto put32 = [&](uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.append(char((value >> (8 * i)) & 0xFF));
  };
  bytes.append(char(trackCount));
  put32(a);
  put32(b);
  put32(c);
  for (const DbarTrack& track : tracks) {
    bytes.append(char(track.confidence));
    put32(track.checksum);
    put32(track.offsetChecksum);
  }
  return bytes;
}

QByteArray DbarPath(const QString& identity) {
  const QString a = identity.section('-', 1, 1);
  return QString("/accuraterip/%1/%2/%3/dBAR-%4.bin")
      .arg(a.right(1), a.mid(6, 1), a.mid(5, 1), identity)
      .toUtf8();
}

QByteArray TrueDbarResponse(const TestDisc& disc, int trackCount, const QString& identity,
                            int confidence) {
  std::vector<DbarTrack> tracks;
  for (int i = 0; i < trackCount; ++i) {
    const QByteArray audio = disc.TrackAudio(i);
    TrackChecksums sums(uint32_t(audio.size() / 4), i == 0, i == trackCount - 1);
    sums.Add(reinterpret_cast<const uint8_t*>(audio.constData()), size_t(audio.size()));
    tracks.push_back({confidence, sums.AccurateRipV1()});
  }
  const auto word = [&](int part) { return identity.section('-', part, part).toUInt(nullptr, 16); };
  return DbarResponse(trackCount, word(1), word(2), word(3), tracks);
}
