#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The permission bits of a file (0600), or -1 when it is missing.
int FileMode(const QString& path);

// The user agent of a crash upload from this build: "Korvane v-2-5-5" for version 2.5.5.
QByteArray UserAgentOfThisVersion();

// The Qt application of this test program (a QApplication, for the message box), created
// on first use.
void EnsureApp();

// One run of korvane-cli that crashes on purpose (KORVANE_TEST_CRASH=kind) with its crash
// report under stateHome and no display. With a terminalAnswer, standard input is a new
// pseudo-terminal that already holds that typed answer; without one, /dev/null.
struct CrashRun {
  int signal = 0;       // the signal that ended the program; 0 when it exited or hung
  QByteArray terminal;  // what the program wrote to the pseudo-terminal
  QByteArray err;
};
CrashRun RunCrashingCli(const QString& kind, const QString& stateHome,
                        const std::optional<QByteArray>& terminalAnswer,
                        const QStringList& environment);
