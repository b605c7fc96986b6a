#include "platform/log.h"

// Debug and info messages are off until a rule turns them on; warnings always show.
Q_LOGGING_CATEGORY(lcDrive, "korvane.drive", QtWarningMsg)
Q_LOGGING_CATEGORY(lcRip, "korvane.rip", QtWarningMsg)
Q_LOGGING_CATEGORY(lcNet, "korvane.net", QtWarningMsg)
Q_LOGGING_CATEGORY(lcFreeDb, "korvane.freedb", QtWarningMsg)

void Log::EnableVerbose() {
  QLoggingCategory::setFilterRules(QStringLiteral("korvane.*.debug=true"));
}
