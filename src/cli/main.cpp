// korvane-cli: Korvane without a window, for scripts, servers and tests.
#include <QCoreApplication>
#include <QTextStream>
#include <algorithm>

#include "cli/cli_command.h"
#include "platform/crash_handler.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/version.h"

namespace {

const RegisterGlobalOption kConfigDir(
    {QCommandLineOption("config-dir", "Folder of korvane.ini and discs.ini for this run.", "DIR"),
     [](const QString& dir) { Paths::SetConfigDirOverride(dir); }});

QString CommandList() {
  std::vector<const CliCommand*> sorted;
  for (const CliCommand& command : CliCommands()) sorted.push_back(&command);
  std::sort(sorted.begin(), sorted.end(),
            [](const CliCommand* a, const CliCommand* b) { return a->name < b->name; });
  QString text = "\nCommands:\n";
  for (const CliCommand* command : sorted) {
    const QString usage = (command->name + ' ' + command->synopsis).trimmed();
    text += QString("  %1\n      %2\n").arg(usage, command->summary);
  }
  return text + "\nFormats this build writes (rip --format): " + WritableFormatList() + "\n";
}

// The command is the first argument that is neither an option nor an option's value.
QString FindCommandName(const QStringList& arguments, const QStringList& valueOptions) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    if (arg == "--") return i + 1 < arguments.size() ? arguments[i + 1] : QString();
    if (!arg.startsWith('-')) return arg;
    const QString name = arg.mid(arg.startsWith("--") ? 2 : 1);
    if (!name.contains('=') && valueOptions.contains(name)) ++i;
  }
  return {};
}

// An option that takes a value, followed by another option ("--server --config-dir X"),
// would take that option for its value: that is refused, naming both. A value that does
// start with "--" is given as --option=VALUE.
QString OptionTakenAsValue(const QCommandLineParser& parser, const QStringList& arguments) {
  const QStringList given = parser.optionNames();
  for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    if (arg == "--") break;
    if (!arg.startsWith('-') || arg.contains('=')) continue;
    const QString name = arg.mid(arg.startsWith("--") ? 2 : 1);
    if (!given.contains(name) || parser.values(name).isEmpty()) continue;  // takes no value
    const QString& value = arguments[++i];
    if (value.startsWith("--")) {
      return QString(
                 "%1 needs a value, not the option %2 (write %1=VALUE for a value that "
                 "starts with --)")
          .arg(arg, value);
    }
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  const auto crashHandler = InstallCrashHandler();
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("korvane-cli");
  QCoreApplication::setApplicationVersion(KorvaneVersion());
  QTextStream out(stdout);
  QTextStream err(stderr);

  QCommandLineParser parser;
  parser.setApplicationDescription("Korvane rips audio CDs. This is its command-line front end.");
  const QCommandLineOption help({"h", "help"}, "Show this help.");
  const QCommandLineOption version("version", "Show the version.");
  const QCommandLineOption verbose(
      "verbose", "Log drive commands, rip decisions and network steps on stderr.");
  parser.addOption(help);
  parser.addOption(version);
  parser.addOption(verbose);
  parser.addPositionalArgument("command", "The command to run (see below).");
  QStringList valueOptions;
  for (const GlobalOption& global : GlobalOptions()) {
    parser.addOption(global.option);
    if (!global.option.valueName().isEmpty()) valueOptions += global.option.names();
  }
  const CliCommand* command = FindCliCommand(FindCommandName(app.arguments(), valueOptions));
  if (command && command->addOptions) command->addOptions(parser);

  if (!parser.parse(app.arguments())) {
    err << "korvane-cli: " << parser.errorText() << Qt::endl;
    return Exit::BadArguments;
  }
  if (const QString misplaced = OptionTakenAsValue(parser, app.arguments()); !misplaced.isEmpty()) {
    err << "korvane-cli: " << misplaced << Qt::endl;
    return Exit::BadArguments;
  }
  if (parser.isSet(verbose)) Log::EnableVerbose();
  if (parser.isSet(version)) {
    out << "Korvane " << KorvaneVersion() << Qt::endl;
    return Exit::Ok;
  }
  if (parser.isSet(help) || parser.positionalArguments().isEmpty()) {
    out << parser.helpText() << CommandList();
    return parser.isSet(help) ? Exit::Ok : Exit::BadArguments;
  }
  if (!command) {
    err << "korvane-cli: unknown command \"" << parser.positionalArguments().first()
        << "\" (see --help)" << Qt::endl;
    return Exit::BadArguments;
  }
  for (const GlobalOption& global : GlobalOptions()) {
    if (parser.isSet(global.option)) global.apply(parser.value(global.option));
  }

  CliContext ctx{parser, parser.positionalArguments().mid(1), out, err};
  if (!command->takesArguments && !ctx.args.isEmpty()) {
    return Fail(ctx, Exit::BadArguments,
                QString("%1 takes no arguments, not \"%2\" (see --help)")
                    .arg(command->name, ctx.args.join(' ')));
  }
  return command->run(ctx);
}
