#include <gtest/gtest.h>

#include <unistd.h>
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "crash/crash_run.h"
#include "reporter/crash_question.h"
#include "reporter/crash_upload.h"

namespace {

using CrashQuestion::Way;

QProcessEnvironment Environment(const QStringList& entries) {
  QProcessEnvironment environment;
  for (const QString& entry : entries)
    environment.insert(entry.section('=', 0, 0), entry.section('=', 1));
  return environment;
}

TEST(CrashQuestion, AsksInAWindowOnADisplayOnTheTerminalOtherwiseNobody) {
  const struct {
    QStringList environment;
    bool terminal;
    Way way;
  } cases[] = {
      {{"DISPLAY=:0"}, false, Way::kWindow},
      {{"DISPLAY=:0"}, true, Way::kWindow},
      {{"WAYLAND_DISPLAY=wayland-0"}, false, Way::kWindow},
      {{"DISPLAY=:0", "QT_QPA_PLATFORM=xcb"}, false, Way::kWindow},
      {{"DISPLAY=:0", "QT_QPA_PLATFORM=offscreen"},
       true,
       Way::kTerminal},  // a box nobody would see
      {{"DISPLAY=:0", "QT_QPA_PLATFORM=minimal"}, false, Way::kNone},
      {{"DISPLAY="}, true, Way::kTerminal},
      {{}, true, Way::kTerminal},
      {{}, false, Way::kNone},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CrashQuestion::Choose(Environment(c.environment), c.terminal), c.way)
        << c.environment.join(' ').toStdString() << " terminal " << c.terminal;
  }
}

TEST(CrashQuestion, OnlyYesOnTheTerminalSends) {
  const struct {
    QByteArray typed;
    bool yes;
  } cases[] = {
      {"y\n", true},  {"Y\n", true}, {"yes\n", true}, {" YES \n", true}, {"y", true},
      {"n\n", false}, {"\n", false}, {"", false},     {"yep\n", false},  {"no\ny\n", false},
  };
  for (const auto& c : cases) {
    int input[2];
    int output[2];
    ASSERT_EQ(::pipe(input), 0);
    ASSERT_EQ(::pipe(output), 0);
    (void)!::write(input[1], c.typed.constData(), static_cast<size_t>(c.typed.size()));
    ::close(input[1]);
    EXPECT_EQ(CrashQuestion::AskOnTerminal(input[0], output[1], "/state/korvane.dmp"), c.yes)
        << c.typed.constData();
    ::close(output[1]);
    QByteArray shown(4096, '\0');
    shown.resize(::read(output[0], shown.data(), static_cast<size_t>(shown.size())));
    EXPECT_EQ(
        shown,
        "\nProgram crashed!\nA detailed error report has been created. You can send it to help us "
        "improve Korvane.\nWe will treat this report as confidential and anonymous. Do you want to "
        "send the error report now?\n/state/korvane.dmp\n[y/N] ");
    ::close(input[0]);
    ::close(output[0]);
  }
}

TEST(CrashQuestion, TheWindowIsAWarningWithYesAndNo) {
  EnsureApp();
  for (const auto answer : {QMessageBox::Yes, QMessageBox::No}) {
    QMessageBox* shown = nullptr;
    QTimer::singleShot(0, [&] {
      shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!shown) return QApplication::exit();  // nothing to answer: exec would never return
      EXPECT_EQ(shown->windowTitle(), "Program crashed!");
      EXPECT_TRUE(shown->text().startsWith("A detailed error report has been created."));
      EXPECT_TRUE(shown->text().contains("Korvane.\nWe will treat")) << "{RN} is a line break";
      EXPECT_EQ(shown->icon(), QMessageBox::Warning);
      EXPECT_EQ(shown->standardButtons(), QMessageBox::Yes | QMessageBox::No);
      EXPECT_EQ(static_cast<QAbstractButton*>(shown->defaultButton()),
                shown->button(QMessageBox::No));
      shown->button(answer)->click();
    });
    EXPECT_EQ(CrashQuestion::AskInWindow(), answer == QMessageBox::Yes);
    EXPECT_NE(shown, nullptr);
  }
}

TEST(CrashUpload, GoesToTheReportAddressWithTheVersionInTheUserAgent) {
  EXPECT_EQ(CrashUpload::UserAgent(), UserAgentOfThisVersion());
  const QByteArray saved = qgetenv("KORVANE_CRASH_URL");
  qunsetenv("KORVANE_CRASH_URL");
  EXPECT_TRUE(CrashUpload::Url().startsWith("https://"));
  EXPECT_TRUE(CrashUpload::Url().endsWith("/scripts/error_report.php"));
  qputenv("KORVANE_CRASH_URL", "https://127.0.0.1:9/elsewhere");
  EXPECT_EQ(CrashUpload::Url(), "https://127.0.0.1:9/elsewhere");
  qputenv("KORVANE_CRASH_URL", saved);
  EXPECT_FALSE(CrashUpload::Send("/nonexistent/korvane.dmp"));
}

}  // namespace
