#include "platform/paths.h"

#include <sys/stat.h>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <mutex>

namespace Paths {
namespace {

std::mutex overrideMutex;
QString& ConfigOverride() {
  static QString dir;
  return dir;
}

// $name/korvane when that variable holds an absolute path, else ~/fallback/korvane.
QString XdgDir(const char* name, const char* fallback) {
  QString base = qEnvironmentVariable(name);
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + fallback;
  return base + "/korvane";
}

}  // namespace

void SetConfigDirOverride(const QString& dir) {
  std::lock_guard lock(overrideMutex);
  ConfigOverride() = QDir(dir).absolutePath();
}

bool MakePrivateDir(const QString& dir) {
  const QString absolute = QDir(dir).absolutePath();
  if (QFileInfo(absolute).isDir()) return true;
  const QString parent = QFileInfo(absolute).path();
  if (parent != absolute && !MakePrivateDir(parent)) return false;
  const QByteArray native = QFile::encodeName(absolute);
  return ::mkdir(native.constData(), 0700) == 0 || QFileInfo(absolute).isDir();
}

QString ConfigDir() {
  QString dir;
  {
    std::lock_guard lock(overrideMutex);
    dir = ConfigOverride();
  }
  if (dir.isEmpty()) dir = XdgDir("XDG_CONFIG_HOME", "/.config");
  MakePrivateDir(dir);
  return dir;
}

QString StateDir() {
  const QString dir = XdgDir("XDG_STATE_HOME", "/.local/state");
  MakePrivateDir(dir);
  return dir;
}

QString MusicDir() {
  const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
  if (!music.isEmpty()) return music;
  return QDir::homePath() + "/Music";
}

QString ProgramDir() {
  if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
  return QFileInfo(QFile::symLinkTarget("/proc/self/exe")).path();
}

QStringList LanguageDirs() {
  const QString program = ProgramDir();
  return {program, QDir::cleanPath(program + "/../share/korvane/languages")};
}

}  // namespace Paths
