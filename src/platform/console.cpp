#include "platform/console.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

struct KeyReader::TerminalMode {
  termios mode{};
};

KeyReader::KeyReader() {
  auto saved = std::make_unique<TerminalMode>();
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved->mode) != 0) return;
  termios keys = saved->mode;
  keys.c_lflag &= ~tcflag_t(ICANON | ECHO);
  keys.c_cc[VMIN] = 0;
  keys.c_cc[VTIME] = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &keys);
  saved_ = std::move(saved);
}

KeyReader::~KeyReader() {
  if (saved_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_->mode);
}

char KeyReader::WaitForKey(int ms) const {
  pollfd input{STDIN_FILENO, POLLIN, 0};
  if (poll(&input, saved_ ? 1 : 0, ms) <= 0 || !(input.revents & POLLIN)) return 0;
  char key = 0;
  return read(STDIN_FILENO, &key, 1) == 1 ? key : 0;
}

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

}  // namespace

void OnInterrupt(InterruptHandler handler) { std::signal(SIGINT, handler); }

void OnInterruptOrStop(InterruptHandler handler) {
  for (int signal : kStopSignals) std::signal(signal, handler);
}

void ReleaseInterrupts() {
  for (int signal : kStopSignals) std::signal(signal, SIG_DFL);
}

int ExitStatusForSignal(int signal) { return 128 + signal; }

void WriteToStandardErrorNow(const char* text, int size) {
  (void)!::write(STDERR_FILENO, text, size_t(size));
}

void EndProcessNow(int status) { ::_exit(status); }

void WriteAllTo(int fd, const QByteArray& text) {
  qsizetype done = 0;
  while (done < text.size()) {
    const ssize_t written =
        ::write(fd, text.constData() + done, static_cast<size_t>(text.size() - done));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    done += written;
  }
}

QByteArray ReadLineFrom(int fd, int maxBytes) {
  QByteArray line;
  char c = 0;
  while (line.size() < maxBytes) {
    const ssize_t got = ::read(fd, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || c == '\n') break;
    line += c;
  }
  return line;
}

bool IsTerminal(int fd) { return ::isatty(fd); }

bool StandardInputIsForegroundTerminal() {
  if (!::isatty(STDIN_FILENO)) return false;
  const pid_t foreground = ::tcgetpgrp(STDIN_FILENO);
  return foreground < 0 || foreground == ::getpgrp();  // < 0: not the controlling terminal
}

int OpenTerminalOfStandardInput() {
  const char* terminal = ::ttyname(STDIN_FILENO);
  return terminal ? ::open(terminal, O_WRONLY | O_NOCTTY | O_CLOEXEC) : -1;
}

void CloseDescriptor(int fd) { ::close(fd); }
