#pragma once
#include <QByteArray>
#include <QCoreApplication>
#include <QHash>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "support/loopback_server.h"

// An AccurateRip database on 127.0.0.1 for the tests: answers GET requests for the paths it
// was given with their bytes, and 404 for any other. Records every path asked for.
class AccurateRipServer {
 public:
  AccurateRipServer();

  // "http://127.0.0.1:PORT", the value of the "Server" setting that reaches it.
  QString Url() const;
  // Serves bytes at a path such as "/accuraterip/4/b/3/dBAR-....bin".
  void Serve(const QByteArray& path, const QByteArray& bytes) { files_[path] = bytes; }
  // Every answer gets this status line instead of "200 OK" / "404 Not Found".
  void SetStatus(const QByteArray& status) { status_ = status; }
  const QStringList& Requests() const { return requests_; }

  // Runs a blocking call (a client of this server) on a thread of its own while this
  // thread's event loop serves it; returns the call's result.
  template <class Call>
  static auto WhileServing(Call call) {
    std::atomic<bool> done{false};
    decltype(call()) result{};
    std::thread worker([&] {
      result = call();
      done = true;
    });
    while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    return result;
  }

 private:
  void OnData(QTcpSocket* connection);

  LoopbackServer server_;
  QHash<QByteArray, QByteArray> files_;
  QHash<QTcpSocket*, QByteArray> pending_;
  QByteArray status_;
  QStringList requests_;
};

// A database answer built by hand: per response the header (track count, a, b, c) and per
// track confidence, checksum and offset-finding checksum, all little-endian.
struct DbarTrack {
  int confidence;
  uint32_t checksum;
  uint32_t offsetChecksum = 0;
};
QByteArray DbarResponse(int trackCount, uint32_t a, uint32_t b, uint32_t c,
                        const std::vector<DbarTrack>& tracks);

class TestDisc;

// The database's path of a disc's answer, from its identity "nnn-aaaaaaaa-bbbbbbbb-cccccccc".
QByteArray DbarPath(const QString& identity);
// A response that holds the true v1 checksums of every track of the disc, each with this
// confidence: what the database says of an accurate pressing.
QByteArray TrueDbarResponse(const TestDisc& disc, int trackCount, const QString& identity,
                            int confidence);
