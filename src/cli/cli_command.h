#pragma once
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <vector>

// Exit statuses of korvane-cli.
namespace Exit {
constexpr int Ok = 0;
constexpr int BadArguments = 1;
constexpr int NoDisc = 2;          // no drive, no disc, tray open
constexpr int PartialFailure = 3;  // done with read errors, or nothing found
constexpr int Failed = 4;          // some work failed
}  // namespace Exit

// What a command sees when it runs.
struct CliContext {
  QCommandLineParser& parser;
  QStringList args;  // positional arguments after the command's name
  QTextStream& out;
  QTextStream& err;
};

// One sub-command of korvane-cli. Each cmd_*.cpp file registers its commands with a
// static RegisterCommand object.
struct CliCommand {
  QString name;
  QString synopsis;  // arguments shown in --help, e.g. "get SECTION KEY"
  QString summary;
  std::function<void(QCommandLineParser&)> addOptions;  // may be empty
  std::function<int(CliContext&)> run;
  bool takesArguments = false;  // words after the command's name; refused when false
};

const std::vector<CliCommand>& CliCommands();
const CliCommand* FindCliCommand(const QString& name);

struct RegisterCommand {
  explicit RegisterCommand(CliCommand command);
};

// An option of korvane-cli that holds for every command (--config-dir, --drive, ...):
// apply runs with the option's value before the command runs.
struct GlobalOption {
  QCommandLineOption option;
  std::function<void(const QString& value)> apply;
};

const std::vector<GlobalOption>& GlobalOptions();

struct RegisterGlobalOption {
  explicit RegisterGlobalOption(GlobalOption option);
};

// Text from a disc, a server or a language file as the terminal may show it: control
// characters (an ESC would start a terminal command) become "?".
QString Printable(const QString& text);

// Prints a one-line failure on stderr, made Printable, and returns the status, for
// `return Fail(...)`.
int Fail(CliContext& ctx, int status, const QString& message);

// The command-line names of the formats this build writes, for help texts and messages:
// "aac, mp3, ogg, wav, wma, iso, bin".
QString WritableFormatList();
// "unknown format "flac"; this build writes ..."
QString UnknownFormatMessage(const QString& given);
