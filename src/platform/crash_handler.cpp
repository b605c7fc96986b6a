#include "platform/crash_handler.h"

#include <cxxabi.h>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/crash_report.h"
#include "platform/paths.h"
#include "platform/version.h"

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr int kSignalCount = static_cast<int>(std::size(kFatalSignals));
constexpr size_t kPathCapacity = 4096;
constexpr size_t kMapsBufferSize = 1 << 20;  // untouched pages cost nothing until a crash
constexpr size_t kMinAltStackSize = 64 * 1024;

// Everything the signal handler touches, prepared at installation because the handler
// must not allocate. Plain data without a destructor, so it outlives static destruction.
struct HandlerState {
  char reportPath[kPathCapacity];
  char reporterPath[kPathCapacity];  // empty when there is no reporter to start
  char programPath[kPathCapacity];
  char* reporterArgv[3];
  char reason[512];
  std::atomic<bool> reasonSet;
  char* mapsBuffer;
  char* altStack;
  stack_t previousAltStack;
  struct sigaction previous[kSignalCount];
  std::terminate_handler previousTerminate;
  std::atomic<bool> installed;
  std::atomic<pid_t> reportingThread;  // the thread that writes the report, once one does
};

HandlerState state{};

bool CopyText(char* target, size_t capacity, const QByteArray& text) {
  const bool fits = static_cast<size_t>(text.size()) < capacity;
  const size_t size = fits ? static_cast<size_t>(text.size()) : 0;
  std::memcpy(target, text.constData(), size);
  target[size] = '\0';
  return fits;
}

[[noreturn]] void DieBy(int signal) {
  struct sigaction defaultAction {};
  defaultAction.sa_handler = SIG_DFL;
  sigemptyset(&defaultAction.sa_mask);
  ::sigaction(signal, &defaultAction, nullptr);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, signal);
  ::sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);
}

bool WriteReportFile(int signal, const siginfo_t* info, const void* context) {
  const int fd =
      ::open(state.reportPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  ::fchmod(fd, 0600);  // a report left by an older version may have had a wider mode
  CrashReport::Facts facts;
  facts.signal = signal;
  facts.info = info;
  facts.context = context;
  facts.version = KorvaneVersion();
  facts.program = state.programPath;
  facts.reason = state.reasonSet.load(std::memory_order_acquire) ? state.reason : "";
  facts.mapsBuffer = state.mapsBuffer;
  facts.mapsBufferSize = kMapsBufferSize;
  CrashReport::Write(fd, facts);
  ::close(fd);
  return true;
}

// Starts the reporter and waits until it is done. The child calls nothing between fork and
// exec that could need a lock this process's crashed threads may hold.
void RunReporter() {
  if (!state.reporterPath[0]) return;
  const pid_t child = ::_Fork();
  if (child == 0) {
    for (const int fatal : kFatalSignals) ::signal(fatal, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(state.reporterPath, state.reporterArgv, environ);
    ::_exit(127);
  }
  if (child < 0) return;
  while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
}

void OnFatalSignal(int signal, siginfo_t* info, void* context) {
  const auto self = static_cast<pid_t>(::syscall(SYS_gettid));
  pid_t reporting = 0;
  if (!state.reportingThread.compare_exchange_strong(reporting, self)) {
    if (reporting == self) DieBy(signal);  // writing the report crashed
    for (;;) ::pause();                    // another thread reports and then ends the process
  }
  if (WriteReportFile(signal, info, context)) RunReporter();
  DieBy(signal);
}

// Keeps the uncaught exception's type and message for the report, then aborts.
void NoteUncaughtException() {
  std::string reason = "std::terminate without an active exception";
  if (const std::type_info* type = abi::__cxa_current_exception_type()) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
    reason = std::string("uncaught exception ") + (demangled ? demangled : type->name());
    std::free(demangled);
    try {
      std::rethrow_exception(std::current_exception());
    } catch (const std::exception& e) {
      reason += std::string(": ") + e.what();
    } catch (...) {
    }
  }
  std::replace(reason.begin(), reason.end(), '\n', ' ');
  const size_t size = std::min(reason.size(), sizeof state.reason - 1);
  std::memcpy(state.reason, reason.data(), size);
  state.reason[size] = '\0';
  state.reasonSet.store(true, std::memory_order_release);
}

[[noreturn]] void OnTerminate() {
  NoteUncaughtException();
  std::abort();
}

bool PrepareState() {
  if (!CopyText(state.reportPath, kPathCapacity, QFile::encodeName(CrashHandler::ReportPath())))
    return false;
  CopyText(state.programPath, kPathCapacity,
           QFile::encodeName(QFile::symLinkTarget("/proc/self/exe")));
  const QByteArray reporter = QFile::encodeName(CrashHandler::ReporterPath());
  if (::access(reporter.constData(), X_OK) != 0 ||
      !CopyText(state.reporterPath, kPathCapacity, reporter)) {
    state.reporterPath[0] = '\0';
  }
  state.reporterArgv[0] = state.reporterPath;
  state.reporterArgv[1] = state.reportPath;
  state.reporterArgv[2] = nullptr;
  state.reasonSet = false;
  state.reportingThread = 0;
  state.mapsBuffer = new char[kMapsBufferSize];
  // The unwinder loads its library on first use; doing that now keeps the handler from
  // ever loading anything.
  void* frame = nullptr;
  ::backtrace(&frame, 1);
  return true;
}

// An alternate stack lets the handler run when the crash was a stack overflow.
void InstallAltStack() {
  const size_t size = std::max<size_t>(kMinAltStackSize, SIGSTKSZ);
  state.altStack = new char[size];
  stack_t stack{};
  stack.ss_sp = state.altStack;
  stack.ss_size = size;
  ::sigaltstack(&stack, &state.previousAltStack);
}

void RestoreAltStack() {
  stack_t current{};
  if (::sigaltstack(nullptr, &current) == 0 && current.ss_sp == state.altStack) {
    stack_t previous = state.previousAltStack;
    if (previous.ss_sp == nullptr) previous.ss_flags = SS_DISABLE;
    ::sigaltstack(&previous, nullptr);
  }
}

[[gnu::noinline]] void WriteThroughNullPointer() {
  static volatile int* volatile target = nullptr;
  *target = 1;
}

[[noreturn, gnu::noinline]] void ThrowUncaught() {
  throw std::runtime_error("crash on purpose (KORVANE_TEST_CRASH=throw)");
}

void ThrowThroughNoexcept() noexcept { ThrowUncaught(); }

void CrashOnPurposeIfAsked() {
  const QByteArray how = qgetenv("KORVANE_TEST_CRASH");
  if (how == "segv") WriteThroughNullPointer();
  if (how == "abort") std::abort();
  if (how == "throw") ThrowThroughNoexcept();
  if (how == "thread") std::thread(WriteThroughNullPointer).join();
}

}  // namespace

QString CrashHandler::ReportPath() { return Paths::StateDir() + "/korvane.dmp"; }

QString CrashHandler::ReporterPath() { return Paths::ProgramDir() + "/korvane-crash-reporter"; }

CrashHandler::~CrashHandler() {
  for (int i = 0; i < kSignalCount; ++i) ::sigaction(kFatalSignals[i], &state.previous[i], nullptr);
  std::set_terminate(state.previousTerminate);
  RestoreAltStack();
  delete[] state.altStack;
  delete[] state.mapsBuffer;
  state.altStack = nullptr;
  state.mapsBuffer = nullptr;
  state.installed = false;
}

std::unique_ptr<CrashHandler> InstallCrashHandler() {
  if (state.installed.exchange(true)) return nullptr;
  if (!PrepareState()) {
    state.installed = false;
    return nullptr;
  }
  InstallAltStack();
  struct sigaction action {};
  action.sa_sigaction = OnFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < kSignalCount; ++i) ::sigaction(kFatalSignals[i], &action, &state.previous[i]);
  state.previousTerminate = std::set_terminate(OnTerminate);
  std::unique_ptr<CrashHandler> handler(new CrashHandler);
  CrashOnPurposeIfAsked();
  return handler;
}
