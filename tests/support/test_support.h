#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A fresh settings folder for one test: every IniFile of the process uses it.
class TempConfig {
 public:
  TempConfig();
  QString Dir() const { return dir_.path(); }
  QString File(const QString& name) const { return dir_.filePath(name); }

 private:
  QTemporaryDir dir_;
};

// A fresh settings folder for a test that runs rips in korvane-cli: they are not verified
// against the real AccurateRip database ("AccurateRip"/"Verify" off), which tests never reach.
class OfflineRipConfig : public TempConfig {
 public:
  OfflineRipConfig();
};

// The Qt application object a test fixture needs (QCoreApplication for the drive layer's
// settings and events, QApplication for widgets), with the argument vector it refers to.
template <class Application>
struct TestApplication {
  int argc = 1;
  char arg0[8] = "test";
  char* argv[1] = {arg0};
  Application app{argc, argv};
};

struct ProcessResult {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

// The folder of the built programs (korvane-cli, ...).
QString BinDir();

// Runs a program to its end (at most timeoutMs) with extra environment entries "NAME=value".
// When the test has a QCoreApplication, its event loop runs while the program does.
ProcessResult RunProgram(const QString& program, const QStringList& args,
                         const QStringList& environment = {}, int timeoutMs = 60000);

// Runs korvane-cli with --config-dir dir before args.
ProcessResult RunCli(const QString& configDir, const QStringList& args,
                     const QStringList& environment = {}, int timeoutMs = 60000);

// Every file under a folder, hidden ones included, as sorted paths relative to it.
QStringList FilesUnder(const QString& folder);

QByteArray ReadFileBytes(const QString& path);
bool WriteFileBytes(const QString& path, const QByteArray& bytes);
