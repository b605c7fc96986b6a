#include "cli/cli_command.h"

#include "encoders/output_format.h"

namespace {

std::vector<CliCommand>& Registry() {
  static std::vector<CliCommand> commands;
  return commands;
}

std::vector<GlobalOption>& GlobalRegistry() {
  static std::vector<GlobalOption> options;
  return options;
}

}  // namespace

const std::vector<GlobalOption>& GlobalOptions() { return GlobalRegistry(); }

RegisterGlobalOption::RegisterGlobalOption(GlobalOption option) {
  GlobalRegistry().push_back(std::move(option));
}

const std::vector<CliCommand>& CliCommands() { return Registry(); }

const CliCommand* FindCliCommand(const QString& name) {
  for (const CliCommand& command : Registry()) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

RegisterCommand::RegisterCommand(CliCommand command) { Registry().push_back(std::move(command)); }

QString Printable(const QString& text) {
  QString printable = text;
  for (QChar& c : printable) {
    if (c.category() == QChar::Other_Control) c = QLatin1Char('?');
  }
  return printable;
}

int Fail(CliContext& ctx, int status, const QString& message) {
  ctx.err << "korvane-cli: " << Printable(message) << Qt::endl;
  return status;
}

QString WritableFormatList() { return WritableFormatShortNames().join(", "); }

QString UnknownFormatMessage(const QString& given) {
  return QString("unknown format \"%1\"; this build writes %2").arg(given, WritableFormatList());
}
