#include "loopback_peers.h"

#include <sys/prctl.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <csignal>

void EnsureCoreApp() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "korvane-tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
}

bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs) {
  QTimer tick;  // wakes the waiting loop to look at the clock
  tick.start(20);
  QDeadlineTimer deadline(timeoutMs);
  while (!done() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return done();
}

quint16 FreeLoopbackPort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

PeerProcess::PeerProcess(const QString& program, const QStringList& args, quint16 port)
    : port_(port) {
  process_.setProcessChannelMode(QProcess::MergedChannels);
  // A test that dies on the way takes its peers with it.
  process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
  process_.start(program, args);
  if (!process_.waitForStarted(5000)) return;
  QDeadlineTimer deadline(10000);
  while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, port_);
    if (probe.waitForConnected(200)) {
      ready_ = true;
      return;
    }
    QThread::msleep(50);
  }
}

PeerProcess::~PeerProcess() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(3000)) {
    process_.kill();
    process_.waitForFinished(3000);
  }
}

QString PeerProcess::Output() { return QString::fromLocal8Bit(process_.readAll()); }

namespace {

QString WriteConfig(const QTemporaryDir& dir, const QString& name, const QByteArray& text) {
  const QString path = dir.filePath(name);
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write(text);
  return path;
}

}  // namespace

std::unique_ptr<PeerProcess> StartDante(const QTemporaryDir& dir) {
  const quint16 port = FreeLoopbackPort();
  const QByteArray config =
      "logoutput: stderr\n"
      "internal: 127.0.0.1 port = " +
      QByteArray::number(port) +
      "\n"
      "external: 127.0.0.1\n"
      "clientmethod: none\n"
      "socksmethod: none\n"
      "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
      "socks pass { from: 127.0.0.0/8 to: 127.0.0.0/8 }\n"
      "socks block { from: 0.0.0.0/0 to: 0.0.0.0/0 }\n";
  const QString path = WriteConfig(dir, "danted.conf", config);
  return std::make_unique<PeerProcess>("/usr/sbin/danted", QStringList{"-f", path, "-N", "1"},
                                       port);
}

std::unique_ptr<PeerProcess> StartMicrosocks(const QByteArray& user, const QByteArray& password) {
  const quint16 port = FreeLoopbackPort();
  return std::make_unique<PeerProcess>(
      "/usr/bin/microsocks",
      QStringList{"-i", "127.0.0.1", "-p", QString::number(port), "-u", user, "-P", password},
      port);
}

std::unique_ptr<PeerProcess> StartTinyproxy(const QTemporaryDir& dir, const QByteArray& user,
                                            const QByteArray& password) {
  const quint16 port = FreeLoopbackPort();
  QByteArray config = "Port " + QByteArray::number(port) +
                      "\n"
                      "Listen 127.0.0.1\n"
                      "Timeout 30\n"
                      "Allow 127.0.0.1\n"
                      "MaxClients 20\n"
                      "LogLevel Warning\n";
  if (!user.isEmpty()) config += "BasicAuth " + user + " " + password + "\n";
  const QString path = WriteConfig(dir, "tinyproxy.conf", config);
  return std::make_unique<PeerProcess>("/usr/bin/tinyproxy", QStringList{"-d", "-c", path}, port);
}

ScriptedPeer::ScriptedPeer(std::vector<Turn> script)
    : server_({[this](QTcpSocket* connection) {
                 received_.clear();
                 next_ = 0;
                 Advance(connection);
               },
               [this](QTcpSocket* connection) {
                 received_ += connection->readAll();
                 Advance(connection);
               },
               {}}),
      script_(std::move(script)) {}

void ScriptedPeer::Advance(QTcpSocket* connection) {
  while (next_ < script_.size() && received_.size() >= script_[next_].awaitBytes) {
    const Turn turn = script_[next_++];
    const int after = SendBytes(connection, turn.answer, turn.dripMs);
    if (turn.hangUp) {
      QTimer::singleShot(after, connection, [connection] { connection->disconnectFromHost(); });
      return;
    }
  }
}

EchoPeer::EchoPeer()
    : server_({[](QTcpSocket* connection) { connection->write(kGreeting); },
               [](QTcpSocket* connection) { connection->write(connection->readAll()); },
               {}}) {}
