#pragma once
#include <QString>
#include <memory>

// What happens when Korvane crashes. Handlers for SIGSEGV, SIGBUS, SIGILL, SIGFPE and
// SIGABRT (and std::terminate, which aborts) run on an alternate signal stack and write a
// crash report to ReportPath() with async-signal-safe calls only. The handler then starts
// the reporter program "korvane-crash-reporter" from the executable's folder with the
// report's path, waits until it has asked the user (and perhaps sent the report), and ends
// the process with the signal's default action, so the exit status still tells the crash.
//
// Each program calls InstallCrashHandler first thing in main and keeps the returned object
// as long as it runs; destroying it puts the previous handlers back.
class CrashHandler {
 public:
  ~CrashHandler();
  CrashHandler(const CrashHandler&) = delete;
  CrashHandler& operator=(const CrashHandler&) = delete;

  // $XDG_STATE_HOME/korvane/korvane.dmp (default ~/.local/state/korvane/korvane.dmp).
  static QString ReportPath();
  // The reporter program beside the running executable.
  static QString ReporterPath();

 private:
  friend std::unique_ptr<CrashHandler> InstallCrashHandler();
  CrashHandler() = default;
};

// Installs the handlers; null when they are installed already. Afterwards reads
// KORVANE_TEST_CRASH once and crashes on purpose when it asks for it: "segv" (a write
// through a null pointer), "abort", "throw" (an uncaught exception) or "thread" (a write
// through a null pointer in a second thread).
std::unique_ptr<CrashHandler> InstallCrashHandler();
