// korvane-crash-reporter: started by a crashed Korvane program with the path of its crash
// report. Asks the user whether to send the report and sends it when the answer is Yes.
// Always exits 0: whatever happens here, the crashed program goes on to end.
#include <QApplication>
#include <QFile>

#include "platform/console.h"
#include "reporter/crash_question.h"
#include "reporter/crash_upload.h"

namespace {

bool AskUser(int& argc, char** argv, const QString& reportPath) {
  using CrashQuestion::Way;
  switch (CrashQuestion::Choose(QProcessEnvironment::systemEnvironment(),
                                StandardInputIsForegroundTerminal())) {
    case Way::kWindow: {
      QApplication app(argc, argv);
      return CrashQuestion::AskInWindow();
    }
    case Way::kTerminal: {
      QCoreApplication app(argc, argv);
      return CrashQuestion::AskOnThisTerminal(reportPath);
    }
    case Way::kNone: break;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 0;
  const QString reportPath = QFile::decodeName(argv[1]);
  if (AskUser(argc, argv, reportPath)) CrashUpload::Send(reportPath);
  return 0;
}
