#include "support/test_support.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include "platform/paths.h"

TempConfig::TempConfig() { Paths::SetConfigDirOverride(dir_.path()); }

OfflineRipConfig::OfflineRipConfig() {
  WriteFileBytes(File(QStringLiteral("korvane.ini")), "[AccurateRip]\nVerify=0\n");
}

QString BinDir() { return QStringLiteral(KORVANE_BIN_DIR); }

namespace {

// With an application, its event loop keeps running meanwhile, so servers the test runs
// in this thread can answer the program.
bool WaitForExit(QProcess& process, int timeoutMs) {
  if (!QCoreApplication::instance()) return process.waitForFinished(timeoutMs);
  QTimer tick;  // wakes the waiting loop to look at the clock
  tick.start(50);
  QDeadlineTimer deadline(timeoutMs);
  while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return process.state() == QProcess::NotRunning;
}

}  // namespace

ProcessResult RunProgram(const QString& program, const QStringList& args,
                         const QStringList& environment, int timeoutMs) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const QString& entry : environment) {
    const qsizetype eq = entry.indexOf('=');
    env.insert(entry.left(eq), entry.mid(eq + 1));
  }
  process.setProcessEnvironment(env);
  process.start(program, args);
  ProcessResult result;
  if (!process.waitForStarted(10000)) return result;
  process.closeWriteChannel();
  if (!WaitForExit(process, timeoutMs)) {
    process.kill();
    process.waitForFinished();
    return result;
  }
  result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  result.out = process.readAllStandardOutput();
  result.err = process.readAllStandardError();
  return result;
}

ProcessResult RunCli(const QString& configDir, const QStringList& args,
                     const QStringList& environment, int timeoutMs) {
  return RunProgram(BinDir() + "/korvane-cli", QStringList{"--config-dir", configDir} + args,
                    environment, timeoutMs);
}

QStringList FilesUnder(const QString& folder) {
  QStringList files;
  QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) files.append(QDir(folder).relativeFilePath(it.next()));
  files.sort();
  return files;
}

QByteArray ReadFileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFileBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}
