#include "reporter/crash_question.h"

#include <fcntl.h>
#include <unistd.h>
#include <QFile>
#include <QMessageBox>

#include <cerrno>

#include "texts/language_manager.h"

namespace CrashQuestion {
namespace {

constexpr int kMaxAnswer = 64;

void WriteText(int fd, const QByteArray& text) {
  qsizetype done = 0;
  while (done < text.size()) {
    const ssize_t written =
        ::write(fd, text.constData() + done, static_cast<size_t>(text.size() - done));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    done += written;
  }
}

QByteArray ReadLine(int fd) {
  QByteArray line;
  char c = 0;
  while (line.size() < kMaxAnswer) {
    const ssize_t got = ::read(fd, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || c == '\n') break;
    line += c;
  }
  return line;
}

bool IsYes(const QByteArray& answer) {
  const QByteArray word = answer.trimmed().toLower();
  return word == "y" || word == "yes";
}

}  // namespace

Way Choose(const QProcessEnvironment& environment, bool stdinIsTerminal) {
  const QString platform = environment.value("QT_QPA_PLATFORM");
  const bool drawsNowhere = platform.startsWith("offscreen") || platform.startsWith("minimal");
  const bool display =
      !environment.value("DISPLAY").isEmpty() || !environment.value("WAYLAND_DISPLAY").isEmpty();
  if (display && !drawsNowhere) return Way::kWindow;
  return stdinIsTerminal ? Way::kTerminal : Way::kNone;
}

QString Caption() { return LanguageManager::Instance().Text(9401); }

QString Message() { return LanguageManager::Instance().Text(9400).replace("\r\n", "\n"); }

bool AskOnTerminal(int in, int out, const QString& reportPath) {
  const QString question = QString("\n%1\n%2\n%3\n[y/N] ").arg(Caption(), Message(), reportPath);
  WriteText(out, question.toLocal8Bit());
  return IsYes(ReadLine(in));
}

bool AskOnThisTerminal(const QString& reportPath) {
  if (::isatty(STDERR_FILENO)) return AskOnTerminal(STDIN_FILENO, STDERR_FILENO, reportPath);
  const char* terminal = ::ttyname(STDIN_FILENO);
  const int out = terminal ? ::open(terminal, O_WRONLY | O_NOCTTY | O_CLOEXEC) : -1;
  if (out < 0) return false;
  const bool yes = AskOnTerminal(STDIN_FILENO, out, reportPath);
  ::close(out);
  return yes;
}

bool AskInWindow() {
  QMessageBox box(QMessageBox::Warning, Caption(), Message(), QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(QMessageBox::No);
  box.setWindowFlag(
      Qt::WindowStaysOnTopHint);  // system-modal: nothing else of Korvane is left to own it
  return box.exec() == QMessageBox::Yes;
}

}  // namespace CrashQuestion
