#include "reporter/crash_question.h"

#include <QFile>
#include <QMessageBox>

#include "platform/console.h"
#include "texts/language_manager.h"

namespace CrashQuestion {
namespace {

constexpr int kMaxAnswer = 64;

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
  WriteAllTo(out, question.toLocal8Bit());
  return IsYes(ReadLineFrom(in, kMaxAnswer));
}

bool AskOnThisTerminal(const QString& reportPath) {
  if (IsTerminal(kStandardError)) return AskOnTerminal(kStandardInput, kStandardError, reportPath);
  const int out = OpenTerminalOfStandardInput();
  if (out < 0) return false;
  const bool yes = AskOnTerminal(kStandardInput, out, reportPath);
  CloseDescriptor(out);
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
