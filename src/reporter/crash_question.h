#pragma once
#include <QProcessEnvironment>
#include <QString>

// Asking the user whether to send a crash report: in a message box when a display is
// there, on the terminal when standard input is one, and otherwise not at all (no answer
// is a No).
namespace CrashQuestion {

enum class Way { kWindow, kTerminal, kNone };

// A display is there when DISPLAY or WAYLAND_DISPLAY is set and Qt is not told to draw
// where nobody sees it (the offscreen and minimal platforms).
Way Choose(const QProcessEnvironment& environment, bool stdinIsTerminal);

// Text 9401, and text 9400 with "\n" line breaks.
QString Caption();
QString Message();

// Writes the question to out and reads one line from in: true only for "y" or "yes", in
// any case.
bool AskOnTerminal(int in, int out, const QString& reportPath);

// The same on the terminal of standard input: the question goes to standard error when
// that is a terminal too, else to standard input's terminal.
bool AskOnThisTerminal(const QString& reportPath);

// A warning message box with Yes and No; needs a QApplication.
bool AskInWindow();

}  // namespace CrashQuestion
