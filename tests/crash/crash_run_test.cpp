#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <csignal>

#include "crash/crash_run.h"
#include "crash/https_test_server.h"
#include "platform/version.h"
#include "support/test_support.h"

namespace {

constexpr char kReportPath[] = "/scripts/error_report.php";

class CrashRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApp();
    server_ = std::make_unique<HttpsTestServer>(certificates_.path());
    ASSERT_TRUE(server_->Listening()) << "openssl or the TLS backend is missing";
  }

  CrashRun Crash(const QString& kind, const std::optional<QByteArray>& answer = std::nullopt,
                 const QString& url = {}) {
    return RunCrashingCli(
        kind, state_.path(), answer,
        {"KORVANE_CRASH_URL=" + (url.isEmpty() ? QString(server_->Url(kReportPath)) : url),
         "KORVANE_TEST_CRASH_CA=" + server_->CertificateFile(), "no_proxy=127.0.0.1",
         "NO_PROXY=127.0.0.1"});
  }
  QString ReportFile() const { return state_.path() + "/korvane/korvane.dmp"; }
  QByteArray Report() const { return ReadFileBytes(ReportFile()); }

  QTemporaryDir certificates_;
  QTemporaryDir state_;
  std::unique_ptr<HttpsTestServer> server_;
};

// The functions addr2line names for the report's frames inside korvane-cli.
QStringList KorvaneFunctions(const QByteArray& report) {
  const QString cli = QFileInfo(BinDir() + "/korvane-cli").canonicalFilePath();
  static const QRegularExpression frame(R"(^#(\d+) 0x[0-9a-f]{16} (/\S+)\+0x([0-9a-f]+)$)",
                                        QRegularExpression::MultilineOption);
  QStringList addresses;
  for (auto it = frame.globalMatch(QString::fromUtf8(report)); it.hasNext();) {
    const QRegularExpressionMatch match = it.next();
    if (match.captured(2) != cli) continue;
    // Outer frames hold return addresses; one byte back lies inside the call.
    const qulonglong address =
        match.captured(3).toULongLong(nullptr, 16) - (match.captured(1) == "0" ? 0 : 1);
    addresses << "0x" + QString::number(address, 16);
  }
  QProcess addr2line;
  addr2line.start("addr2line", QStringList{"-f", "-C", "-e", cli} + addresses);
  if (addresses.isEmpty() || !addr2line.waitForFinished(30000)) return {};
  QStringList functions;
  const QStringList lines = QString::fromUtf8(addr2line.readAllStandardOutput()).split('\n');
  for (qsizetype i = 0; i < lines.size(); i += 2) functions << lines[i];  // name, then file:line
  return functions;
}

bool Contains(const QStringList& functions, const QString& part) {
  return std::any_of(functions.begin(), functions.end(),
                     [&](const QString& f) { return f.contains(part); });
}

TEST_F(CrashRunTest, AnsweringNoLeavesAPrivateReportAndSendsNothing) {
  const CrashRun run = Crash("segv", "n\n");
  EXPECT_EQ(run.signal, SIGSEGV) << run.err.toStdString();

  ASSERT_TRUE(QFileInfo::exists(ReportFile()));
  EXPECT_EQ(FileMode(ReportFile()), 0600);
  const QByteArray report = Report();
  EXPECT_TRUE(
      report.startsWith("Korvane crash report\nVersion: " + QByteArray(KorvaneVersion()) + "\n"))
      << report.left(200).toStdString();
  EXPECT_TRUE(report.contains("\nSignal: 11 SIGSEGV, code 1\nFault address: 0x0000000000000000\n"));
  EXPECT_TRUE(report.contains("\nRegisters:\nrax 0x"));
  EXPECT_TRUE(QRegularExpression(R"(\nTime: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d UTC\n)")
                  .match(report)
                  .hasMatch());
  const QByteArray cli = QFileInfo(BinDir() + "/korvane-cli").canonicalFilePath().toUtf8();
  const QByteArray modules = report.mid(report.indexOf("\nModules:\n"));
  const QString range = "\n0x[0-9a-f]{16}-0x[0-9a-f]{16} ";
  EXPECT_TRUE(
      QRegularExpression(range + QRegularExpression::escape(cli) + "\n").match(modules).hasMatch());
  EXPECT_TRUE(QRegularExpression(range + "/\\S+/libc\\.so\\.6\n").match(modules).hasMatch())
      << modules.left(300).toStdString();
  EXPECT_EQ(modules.count(" " + cli + "\n"), 1) << "one line per module";

  const QStringList functions = KorvaneFunctions(report);
  EXPECT_TRUE(Contains(functions, "WriteThroughNullPointer"))
      << functions.join(" | ").toStdString();
  EXPECT_TRUE(functions.contains("main")) << functions.join(" | ").toStdString();

  EXPECT_TRUE(run.terminal.contains("Program crashed!")) << run.terminal.toStdString();
  EXPECT_TRUE(run.terminal.contains("to help us improve Korvane."));
  EXPECT_TRUE(run.terminal.contains(ReportFile().toUtf8()));
  EXPECT_TRUE(run.terminal.contains("[y/N]"));
  EXPECT_EQ(server_->Connections(), 0);
}

TEST_F(CrashRunTest, AnsweringYesPostsTheReportByteForByte) {
  const CrashRun run = Crash("abort", "y\n");
  EXPECT_EQ(run.signal, SIGABRT) << run.err.toStdString();
  const QByteArray report = Report();
  EXPECT_TRUE(report.contains("\nSignal: 6 SIGABRT, code -6\n"));
  EXPECT_FALSE(report.contains("Fault address"));
  EXPECT_TRUE(Contains(KorvaneFunctions(report), "main"));

  ASSERT_EQ(server_->Requests().size(), 1) << run.err.toStdString();
  const HttpsTestServer::Request& request = server_->Requests().first();
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.path, kReportPath);
  EXPECT_EQ(request.headers.value("user-agent"), UserAgentOfThisVersion());
  EXPECT_EQ(request.headers.value("content-type"), "application/octet-stream");
  EXPECT_EQ(request.body.size(), report.size());
  EXPECT_TRUE(request.body == report) << "the report's raw bytes, nothing before or after";
  EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
}

TEST_F(CrashRunTest, ASecondCrashOverwritesTheReport) {
  ASSERT_TRUE(QDir().mkpath(state_.path() + "/korvane"));
  ASSERT_TRUE(WriteFileBytes(ReportFile(), QByteArray(300000, 'x')));
  QFile::setPermissions(ReportFile(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);

  EXPECT_EQ(Crash("throw").signal, SIGABRT);
  const QByteArray first = Report();
  EXPECT_FALSE(first.contains("xxxx")) << "the old file is cut, not written over in place";
  EXPECT_TRUE(
      first.contains("\nReason: uncaught exception std::runtime_error: crash on purpose "
                     "(KORVANE_TEST_CRASH=throw)\n"));
  EXPECT_EQ(FileMode(ReportFile()), 0600);

  EXPECT_EQ(Crash("segv").signal, SIGSEGV);
  const QByteArray second = Report();
  EXPECT_TRUE(second.contains("\nSignal: 11 SIGSEGV"));
  EXPECT_FALSE(second.contains("SIGABRT"));
  EXPECT_FALSE(second.contains("Reason:"));
  EXPECT_EQ(server_->Connections(), 0) << "no terminal, no display: nobody was asked";
}

TEST_F(CrashRunTest, ACrashInAWorkerThreadIsCaught) {
  const CrashRun run = Crash("thread");
  EXPECT_EQ(run.signal, SIGSEGV);
  const QByteArray report = Report();
  const QRegularExpressionMatch ids =
      QRegularExpression(R"(\nProcess: (\d+), thread (\d+)\n)").match(report);
  ASSERT_TRUE(ids.hasMatch()) << report.left(400).toStdString();
  EXPECT_NE(ids.captured(1), ids.captured(2)) << "reported from the thread that crashed";
  EXPECT_TRUE(Contains(KorvaneFunctions(report), "WriteThroughNullPointer"));
  EXPECT_EQ(server_->Connections(), 0);
}

TEST_F(CrashRunTest, WithoutDisplayOrTerminalNothingIsAskedOrSent) {
  const CrashRun run = Crash("segv", std::nullopt);
  EXPECT_EQ(run.signal, SIGSEGV);
  EXPECT_TRUE(Report().contains("SIGSEGV"));
  EXPECT_FALSE(run.err.contains("Program crashed!"));
  EXPECT_EQ(server_->Connections(), 0);
}

TEST_F(CrashRunTest, TheReportNeverTravelsUnencryptedAndAFailedUploadIsSilent) {
  QTcpServer plain;
  ASSERT_TRUE(plain.listen(QHostAddress::LocalHost, 0));
  int plainConnections = 0;
  QObject::connect(&plain, &QTcpServer::newConnection, [&] { ++plainConnections; });
  const CrashRun run = Crash(
      "abort", "y\n", QString("http://127.0.0.1:%1%2").arg(plain.serverPort()).arg(kReportPath));
  EXPECT_EQ(run.signal, SIGABRT);
  EXPECT_EQ(plainConnections, 0);
  EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();

  const quint16 closedPort = plain.serverPort();
  plain.close();  // nobody listens there now
  const CrashRun refused = Crash("abort", "y\n", QString("https://127.0.0.1:%1/").arg(closedPort));
  EXPECT_EQ(refused.signal, SIGABRT);
  EXPECT_TRUE(refused.err.isEmpty()) << refused.err.toStdString();
}

}  // namespace
