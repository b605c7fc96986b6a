#include "crash/crash_run.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "platform/version.h"
#include "support/test_support.h"

namespace {

// The controlling side of a new pseudo-terminal; the test keeps one terminal side open
// too, so what the program wrote stays readable after it ends.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    name_ = QString::fromLocal8Bit(::ptsname(master_));
    terminal_ = ::open(name_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
  }
  ~PseudoTerminal() {
    if (terminal_ >= 0) ::close(terminal_);
    if (master_ >= 0) ::close(master_);
  }
  bool Open() const { return terminal_ >= 0; }
  QString Name() const { return name_; }
  void Type(const QByteArray& keys) {
    (void)!::write(master_, keys.constData(), static_cast<size_t>(keys.size()));
  }
  QByteArray Screen() {
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    QByteArray screen;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(master_, buffer, sizeof buffer)) > 0) screen.append(buffer, got);
    return screen;
  }

 private:
  int master_ = -1;
  int terminal_ = -1;
  QString name_;
};

}  // namespace

int FileMode(const QString& path) {
  struct stat status {};
  return ::stat(QFile::encodeName(path).constData(), &status) == 0
             ? static_cast<int>(status.st_mode & 07777)
             : -1;
}

QByteArray UserAgentOfThisVersion() {
  return "Korvane v-" + QByteArray(KorvaneVersion()).replace('.', '-');
}

void EnsureApp() {
  static int argc = 1;
  static char name[] = "crash_tests";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
}

CrashRun RunCrashingCli(const QString& kind, const QString& stateHome,
                        const std::optional<QByteArray>& terminalAnswer,
                        const QStringList& environment) {
  EnsureApp();
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.insert("XDG_STATE_HOME", stateHome);
  env.insert("KORVANE_TEST_CRASH", kind);
  for (const QString& entry : environment)
    env.insert(entry.section('=', 0, 0), entry.section('=', 1));

  QTemporaryDir config;
  PseudoTerminal terminal;
  QProcess process;
  process.setProcessEnvironment(env);
  if (terminalAnswer) {
    if (!terminal.Open()) return {};
    terminal.Type(*terminalAnswer);
    process.setStandardInputFile(terminal.Name());
    // A session of its own with this terminal as its controlling one, as in a shell.
    process.setChildProcessModifier([] {
      ::setsid();
      ::ioctl(STDIN_FILENO, TIOCSCTTY, 0);
    });
  } else {
    process.setStandardInputFile(QProcess::nullDevice());
  }
  QEventLoop loop;
  QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);  // bound only; the run ends far sooner
  process.start(BinDir() + "/korvane-cli", {"--config-dir", config.path(), "toc"});
  if (process.waitForStarted(10000)) loop.exec();
  CrashRun run;
  if (process.state() != QProcess::NotRunning) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  // On a crash QProcess gives the terminating signal as the exit code.
  if (process.exitStatus() == QProcess::CrashExit) run.signal = process.exitCode();
  run.err = process.readAllStandardError();
  if (terminalAnswer) run.terminal = terminal.Screen();
  return run;
}
