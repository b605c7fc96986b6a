#include "support/test_support.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include "platform/paths.h"

TempConfig::TempConfig() { Paths::SetConfigDirOverride(dir_.path()); }

QString BinDir() { return QStringLiteral(KORVANE_BIN_DIR); }

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
  if (!process.waitForFinished(timeoutMs)) {
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

QByteArray ReadFileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFileBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}
