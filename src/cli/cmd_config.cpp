// config get SECTION KEY / config set SECTION KEY VALUE / config list [SECTION]
#include <algorithm>

#include "cli/cli_command.h"
#include "cli/cli_disc.h"
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

// Fails, naming the sections there are, unless the table has this section.
bool KnownSection(CliContext& ctx, const QString& section) {
  if (!KnownNames(section).isEmpty()) return true;
  Fail(ctx, Exit::BadArguments,
       QString("unknown section \"%1\"; the sections are %2").arg(section, KnownNames()));
  return false;
}

// The table's row for SECTION KEY; null, with the failure told, for a key it does not know.
const SettingKey* KnownKey(CliContext& ctx, const QString& section, const QString& key) {
  const SettingKey* known = FindSettingKey(section, key);
  if (known || !KnownSection(ctx, section)) return known;
  Fail(ctx, Exit::BadArguments,
       QString("unknown key \"%1\" in %2; its keys are %3").arg(key, section, KnownNames(section)));
  return nullptr;
}

// An Int key's value: a whole number, or for "FormatSelected" a format's name (wav, mp3...).
bool ParseIntValue(const SettingKey& key, const QString& value, int& number) {
  if (&key == &Key::FormatSelected) {
    if (const FormatDescriptor* format = FindFormatByName(value.trimmed())) {
      number = ToStored(format->id);
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
    const bool isNumber = ParseIntValue(*known, value, number);
    if (known == &Key::FormatSelected &&
        (!isNumber || ToStored(FromStored<FormatId>(number)) != number)) {
      return Fail(ctx, Exit::BadArguments, UnknownFormatMessage(value));
    }
    if (!isNumber) {
      return Fail(ctx, Exit::BadArguments,
                  QString("%1/%2 takes a whole number, not \"%3\"").arg(section, key, value));
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

// A value as `config list` shows it: text in quotes, a format with its name, and the proxy
// password only as set or not (a listing is read over shoulders; `config get` prints it).
QString ShownValue(const SettingKey& key, const QString& value) {
  if (&key == &Key::FdPassword && !value.isEmpty()) return "(set)";
  if (key.type == SettingKey::Type::Text) return '"' + Printable(value) + '"';
  if (&key == &Key::FormatSelected) {
    const FormatDescriptor& format = FindFormat(FromStored<FormatId>(value.toInt()));
    return QString("%1 (%2)").arg(value, QLatin1String(format.shortName));
  }
  return value;
}

QString StoredValue(const SettingKey& key) {
  if (key.type == SettingKey::Type::Int)
    return QString::number(SettingsStore::Instance().ReadInt(key));
  QString value;
  SettingsStore::Instance().ReadString(key, value);
  return value;
}

// Every key of the table (or of one section) with its value and its default, one section
// after the other, the columns aligned within a section.
int ConfigList(CliContext& ctx, const QString& only) {
  if (!only.isEmpty() && !KnownSection(ctx, only)) return Exit::BadArguments;
  struct Line {
    QString key, value, fallback;
  };
  QList<std::pair<QString, QList<Line>>> sections;
  for (const SettingKey* key : AllSettingKeys()) {
    const QString section = QLatin1String(key->section);
    if (!only.isEmpty() && section.compare(only, Qt::CaseInsensitive) != 0) continue;
    if (sections.isEmpty() || sections.last().first != section) sections.append({section, {}});
    sections.last().second.append({QLatin1String(key->key), ShownValue(*key, StoredValue(*key)),
                                   ShownValue(*key, key->DefaultText())});
  }
  for (const auto& [section, lines] : sections) {
    qsizetype keyWidth = 0, valueWidth = 0;
    for (const Line& line : lines) {
      keyWidth = std::max(keyWidth, line.key.size());
      valueWidth = std::max(valueWidth, line.value.size());
    }
    if (&section != &sections.first().first) ctx.out << Qt::endl;
    ctx.out << '[' << section << ']' << Qt::endl;
    for (const Line& line : lines) {
      ctx.out << line.key.leftJustified(keyWidth) << " = " << line.value.leftJustified(valueWidth)
              << "  default " << line.fallback << Qt::endl;
    }
  }
  return Exit::Ok;
}

int RunConfig(CliContext& ctx) {
  const QStringList& a = ctx.args;
  if (a.size() == 3 && a[0] == "get") return ConfigGet(ctx, a[1], a[2]);
  if (a.size() == 4 && a[0] == "set") return ConfigSet(ctx, a[1], a[2], a[3]);
  if ((a.size() == 1 || a.size() == 2) && a[0] == "list") return ConfigList(ctx, a.value(1));
  return Fail(
      ctx, Exit::BadArguments,
      "usage: config get SECTION KEY | config set SECTION KEY VALUE | config list [SECTION]");
}

const RegisterCommand kConfig(
    {"config",
     "get SECTION KEY | set SECTION KEY VALUE | list [SECTION]",
     "Print a setting (its default when not stored), store one, or list every setting with its "
     "value and default.",
     {},
     RunConfig,
     true});

}  // namespace
