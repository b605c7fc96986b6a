#pragma once
#include <QByteArray>

#include <memory>

// The terminal and the process's signals, for the command line and the crash reporter.

// Descriptors of the standard streams.
constexpr int kStandardInput = 0;
constexpr int kStandardError = 2;

// While it lives, a terminal on standard input gives single keys without echo; anything else
// on standard input is left alone.
class KeyReader {
 public:
  KeyReader();
  ~KeyReader();
  KeyReader(const KeyReader&) = delete;
  KeyReader& operator=(const KeyReader&) = delete;

  bool Interactive() const { return saved_ != nullptr; }

  // The key pressed within ms milliseconds, or 0. A signal ends the wait early.
  char WaitForKey(int ms) const;

 private:
  struct TerminalMode;
  std::unique_ptr<TerminalMode> saved_;  // the mode to restore; null when not a terminal
};

// Handlers of interrupts run inside a signal handler: they may only set atomic flags and
// call the functions below marked async-signal-safe. A handler gets the signal's number.
using InterruptHandler = void (*)(int signal);

// On Ctrl-C, call handler.
void OnInterrupt(InterruptHandler handler);
// On Ctrl-C, a closed terminal or a request to stop the process (a service stop), call handler.
void OnInterruptOrStop(InterruptHandler handler);
// The default again for every signal OnInterrupt and OnInterruptOrStop took.
void ReleaseInterrupts();

// The exit status of a process ended by the signal (the shell's 128 + number).
int ExitStatusForSignal(int signal);
// Writes text to standard error as it is, unbuffered. Async-signal-safe.
void WriteToStandardErrorNow(const char* text, int size);
// Ends the process at once with status, running no exit handlers. Async-signal-safe.
[[noreturn]] void EndProcessNow(int status);

// Writes all of text to fd, retrying interrupted writes; stops at the first failure.
void WriteAllTo(int fd, const QByteArray& text);
// One line from fd without its end, at most maxBytes; empty at the end of the input.
QByteArray ReadLineFrom(int fd, int maxBytes);

bool IsTerminal(int fd);
// True when standard input is a terminal this process may read without being stopped: not
// the controlling terminal, or the controlling terminal with this process in the foreground.
bool StandardInputIsForegroundTerminal();
// The terminal standard input reads from, opened for writing; -1 when it is none.
int OpenTerminalOfStandardInput();
void CloseDescriptor(int fd);
