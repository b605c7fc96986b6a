// config get SECTION KEY / config set SECTION KEY VALUE
#include "cli/cli_command.h"
#include "encoders/output_format.h"
#include "settings/settings_store.h"

namespace {

// The sections of the table of keys, or the keys of one section, for a message.
QString KnownNames(const QString& section = QString()) {
  QStringList names;
  for (const SettingKey* entry : AllSettingKeys()) {
    const QString name = QString::fromLatin1(section.isEmpty() ? entry->section : entry->key);
    const bool inSection = section.compare(QLatin1String(entry->section), Qt::CaseInsensitive) == 0;
    if ((section.isEmpty() || inSection) && !names.contains(name)) names << name;
  }
  return names.join(", ");
}

// The table's row for SECTION KEY; null, with the failure told, for a key it does not know.
const SettingKey* KnownKey(CliContext& ctx, const QString& section, const QString& key) {
  const SettingKey* known = FindSettingKey(section, key);
  if (known) return known;
  const QString keys = KnownNames(section);
  Fail(ctx, Exit::BadArguments,
       keys.isEmpty()
           ? QString("unknown section \"%1\"; the sections are %2").arg(section, KnownNames())
           : QString("unknown key \"%1\" in %2; its keys are %3").arg(key, section, keys));
  return nullptr;
}

// An Int key's value: a whole number, or for "FormatSelected" a format's name (wav, mp3...).
bool ParseIntValue(const SettingKey& key, const QString& value, int& number) {
  if (&key == &Key::FormatSelected) {
    if (const FormatRow* row = FindFormatRowByShortName(value.trimmed())) {
      number = ToStored(row->menuId);
      return true;
    }
  }
  bool isNumber = false;
  number = value.trimmed().toInt(&isNumber);
  return isNumber;
}

int ConfigGet(CliContext& ctx, const QString& section, const QString& key) {
  const SettingKey* known = KnownKey(ctx, section, key);
  if (!known) return Exit::BadArguments;
  if (known->type == SettingKey::Type::Int) {
    ctx.out << SettingsStore::Instance().ReadInt(*known) << Qt::endl;
    return Exit::Ok;
  }
  QString value;
  SettingsStore::Instance().ReadString(*known, value);
  ctx.out << value << Qt::endl;
  return Exit::Ok;
}

int ConfigSet(CliContext& ctx, const QString& section, const QString& key, const QString& value) {
  const SettingKey* known = KnownKey(ctx, section, key);
  if (!known) return Exit::BadArguments;
  bool written = false;
  if (known->type == SettingKey::Type::Int) {
    int number = 0;
    if (!ParseIntValue(*known, value, number)) {
      const QString names = known == &Key::FormatSelected ? " or a format name" : "";
      return Fail(
          ctx, Exit::BadArguments,
          QString("%1/%2 takes a whole number%3, not \"%4\"").arg(section, key, names, value));
    }
    if (!known->choices.empty() && !known->Allows(number)) {
      return Fail(ctx, Exit::BadArguments,
                  QString("%1/%2 takes one of %3, not %4")
                      .arg(section, key, known->ChoicesText())
                      .arg(number));
    }
    if (!known->InRange(number)) {
      return Fail(ctx, Exit::BadArguments,
                  QString("%1/%2 takes a number from %3 to %4, not %5")
                      .arg(section, key)
                      .arg(known->minValue)
                      .arg(known->maxValue)
                      .arg(number));
    }
    written = SettingsStore::Instance().WriteInt(section, key, number);
  } else {
    written = SettingsStore::Instance().WriteString(section, key, value);
  }
  if (!written) {
    return Fail(
        ctx, Exit::Failed,
        QString("could not write %1/%2 to %3").arg(section, key, SettingsStore::Instance().Path()));
  }
  return Exit::Ok;
}

int RunConfig(CliContext& ctx) {
  const QStringList& a = ctx.args;
  if (a.size() == 3 && a[0] == "get") return ConfigGet(ctx, a[1], a[2]);
  if (a.size() == 4 && a[0] == "set") return ConfigSet(ctx, a[1], a[2], a[3]);
  return Fail(ctx, Exit::BadArguments,
              "usage: config get SECTION KEY | config set SECTION KEY VALUE");
}

const RegisterCommand kConfig({"config",
                               "get SECTION KEY | set SECTION KEY VALUE",
                               "Print a setting (its default when not stored), or store one.",
                               {},
                               RunConfig});

}  // namespace
