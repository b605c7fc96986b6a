// korvane: the desktop window.
#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QTextStream>
#include <QTimer>

#include "drive/virtual/virtual_drive.h"
#include "platform/crash_handler.h"
#include "platform/paths.h"
#include "platform/version.h"
#include "ui/main_frame.h"
#include "ui/screenshots.h"

int main(int argc, char** argv) {
  const auto crashHandler = InstallCrashHandler();
  QApplication app(argc, argv);
  QApplication::setApplicationName("korvane");
  QApplication::setApplicationVersion(KorvaneVersion());
  QApplication::setDesktopFileName("korvane");

  QCommandLineParser parser;
  parser.setApplicationDescription("Korvane rips audio CDs.");
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption configDir("config-dir",
                                     "Folder of korvane.ini and discs.ini for this run.", "DIR");
  QCommandLineOption screenshots(
      "screenshot", "Save pictures of the windows as PNG files in DIR, then quit.", "DIR");
  screenshots.setFlags(QCommandLineOption::HiddenFromHelp);
  parser.addOption(configDir);
  parser.addOption(screenshots);
  parser.process(app);
  if (parser.isSet(configDir)) Paths::SetConfigDirOverride(parser.value(configDir));

  QString error;
  if (!SetUpVirtualDriveFromEnvironment(&error)) {
    QTextStream(stderr) << "korvane: " << error << Qt::endl;
  }

  CMainFrame frame;
  frame.show();
  if (parser.isSet(screenshots)) {
    QTimer::singleShot(300, &frame, [&frame, folder = parser.value(screenshots)] {
      for (const QString& file : TakeScreenshots(frame, folder))
        QTextStream(stdout) << file << Qt::endl;
      QApplication::exit(0);
    });
  }
  return app.exec();
}
