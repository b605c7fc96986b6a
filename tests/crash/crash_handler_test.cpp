#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <exception>

#include "crash/crash_run.h"
#include "platform/crash_handler.h"

namespace {

void EarlierSignalHandler(int) {}
void EarlierTerminateHandler() { std::abort(); }

struct sigaction CurrentAction(int signal) {
  struct sigaction action {};
  ::sigaction(signal, nullptr, &action);
  return action;
}

TEST(CrashHandler, InstallsOnceAndPutsTheEarlierHandlersBack) {
  constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
  struct sigaction saved[std::size(kSignals)];
  for (size_t i = 0; i < std::size(kSignals); ++i) {
    struct sigaction earlier {};
    earlier.sa_handler = EarlierSignalHandler;
    sigemptyset(&earlier.sa_mask);
    ::sigaction(kSignals[i], &earlier, &saved[i]);
  }
  const std::terminate_handler savedTerminate = std::set_terminate(EarlierTerminateHandler);
  stack_t noStack{};
  noStack.ss_flags = SS_DISABLE;
  ::sigaltstack(&noStack, nullptr);

  {
    const auto handler = InstallCrashHandler();
    ASSERT_TRUE(handler);
    EXPECT_FALSE(InstallCrashHandler()) << "one installation at a time";
    for (const int signal : kSignals) {
      const struct sigaction action = CurrentAction(signal);
      EXPECT_NE(action.sa_handler, EarlierSignalHandler) << signal;
      EXPECT_TRUE(action.sa_flags & SA_SIGINFO);
      EXPECT_TRUE(action.sa_flags & SA_ONSTACK) << "a stack overflow still gets a report";
    }
    EXPECT_NE(std::get_terminate(), EarlierTerminateHandler);
    stack_t stack{};
    ::sigaltstack(nullptr, &stack);
    EXPECT_FALSE(stack.ss_flags & SS_DISABLE);
    EXPECT_GE(stack.ss_size, 64u * 1024);
  }

  for (const int signal : kSignals)
    EXPECT_EQ(CurrentAction(signal).sa_handler, EarlierSignalHandler) << signal;
  EXPECT_EQ(std::get_terminate(), EarlierTerminateHandler);
  stack_t stack{};
  ::sigaltstack(nullptr, &stack);
  EXPECT_TRUE(stack.ss_flags & SS_DISABLE);
  EXPECT_TRUE(InstallCrashHandler()) << "installable again once the first is gone";

  for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &saved[i], nullptr);
  std::set_terminate(savedTerminate);
}

TEST(CrashHandler, TheReportLivesInThePrivateStateFolder) {
  const QByteArray savedState = qgetenv("XDG_STATE_HOME");
  const QByteArray savedHome = qgetenv("HOME");
  QTemporaryDir home;
  qputenv("HOME", home.path().toUtf8());

  const struct {
    QByteArray state;
    QString folder;
  } cases[] = {
      {home.path().toUtf8() + "/state", home.path() + "/state/korvane"},
      {"", home.path() + "/.local/state/korvane"},
      {"relative/state", home.path() + "/.local/state/korvane"},  // not absolute: ignored
  };
  for (const auto& c : cases) {
    qputenv("XDG_STATE_HOME", c.state);
    EXPECT_EQ(CrashHandler::ReportPath(), c.folder + "/korvane.dmp") << c.state.constData();
    EXPECT_EQ(FileMode(c.folder), 0700);
  }
  qputenv("XDG_STATE_HOME", savedState);
  qputenv("HOME", savedHome);
}

}  // namespace
