#pragma once
#include <QLoggingCategory>

// One logging category per subsystem. All are silent by default; QT_LOGGING_RULES
// ("korvane.drive.debug=true", "korvane.*.debug=true") or korvane-cli --verbose turn them on,
// so a bug report can carry what the drive answered and what the rip and network decided.
Q_DECLARE_LOGGING_CATEGORY(lcDrive)   // korvane.drive: failed commands with their sense data
Q_DECLARE_LOGGING_CATEGORY(lcRip)     // korvane.rip: read retries, silence fill, outcomes
Q_DECLARE_LOGGING_CATEGORY(lcNet)     // korvane.net: connects, proxy negotiation
Q_DECLARE_LOGGING_CATEGORY(lcFreeDb)  // korvane.freedb: lookup steps and server answers

namespace Log {
// Turns every Korvane category's debug output on (korvane-cli --verbose).
void EnableVerbose();
}  // namespace Log
