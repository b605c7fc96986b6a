// config get SECTION KEY / config set SECTION KEY VALUE
#include "cli/cli_command.h"
#include "settings/settings_store.h"

namespace {

int ConfigGet(CliContext& ctx, const QString& section, const QString& key) {
  const SettingKey* known = FindSettingKey(section, key);
  if (known && known->type == SettingKey::Type::Int) {
    ctx.out << SettingsStore::Instance().ReadInt(section, key, known->intDefault) << Qt::endl;
    return Exit::Ok;
  }
  QString value;
  SettingsStore::Instance().ReadString(section, key, known ? known->DefaultText() : QString(), value);
  ctx.out << value << Qt::endl;
  return Exit::Ok;
}

int ConfigSet(CliContext& ctx, const QString& section, const QString& key, const QString& value) {
  const SettingKey* known = FindSettingKey(section, key);
  bool written = false;
  if (known && known->type == SettingKey::Type::Int) {
    bool isNumber = false;
    const int number = value.trimmed().toInt(&isNumber);
    if (!isNumber) {
      return Fail(ctx, Exit::BadArguments,
                  QString("%1/%2 takes a whole number, not \"%3\"").arg(section, key, value));
    }
    written = SettingsStore::Instance().WriteInt(section, key, number);
  } else {
    written = SettingsStore::Instance().WriteString(section, key, value);
  }
  if (!written) {
    return Fail(ctx, Exit::Failed,
                QString("could not write %1/%2 to %3").arg(section, key, SettingsStore::Instance().Path()));
  }
  return Exit::Ok;
}

int RunConfig(CliContext& ctx) {
  const QStringList& a = ctx.args;
  if (a.size() == 3 && a[0] == "get") return ConfigGet(ctx, a[1], a[2]);
  if (a.size() == 4 && a[0] == "set") return ConfigSet(ctx, a[1], a[2], a[3]);
  return Fail(ctx, Exit::BadArguments, "usage: config get SECTION KEY | config set SECTION KEY VALUE");
}

const RegisterCommand kConfig({"config", "get SECTION KEY | set SECTION KEY VALUE",
                               "Print a setting (its default when not stored), or store one.",
                               {}, RunConfig});

}  // namespace
