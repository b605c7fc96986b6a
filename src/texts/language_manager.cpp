#include "texts/language_manager.h"

#include <QDir>

#include "platform/paths.h"
#include "settings/settings_store.h"
#include "texts/builtin_texts.h"

namespace {

const QString kTranslationSection = QStringLiteral("Translation");
const QString kLanguageNameKey = QStringLiteral("LanguageName");

}  // namespace

LanguageManager& LanguageManager::Instance() {
  static LanguageManager manager;
  return manager;
}

bool LanguageManager::GetText(unsigned id, QString& out) const {
  const QString languagePath = SettingsStore::Instance().ReadText(Key::Language);
  const QString key = QString::number(id);
  // A translation equal to its own key counts as missing, like any value equal to the
  // default, so the English text shows instead.
  bool found = !languagePath.isEmpty() &&
               IniFile::AtPath(languagePath).ReadString(kTranslationSection, key, key, out);
  if (!found) {
    const char* builtIn = FindBuiltInText(id);
    found = builtIn != nullptr;
    out = found ? QString::fromUtf8(builtIn) : key;
  }
  out.replace(QStringLiteral("{RN}"), QStringLiteral("\r\n"));
  return found;
}

QString LanguageManager::Text(unsigned id) const {
  QString text;
  GetText(id, text);
  return text;
}

bool LanguageManager::EnumerateLanguages(const QString& folder, QStringList& names) {
  names.clear();
  std::lock_guard lock(mapMutex_);
  paths_.clear();
  return AppendLanguagesLocked(folder, names);
}

bool LanguageManager::EnumerateAllLanguages(QStringList& names) {
  names.clear();
  std::lock_guard lock(mapMutex_);
  paths_.clear();
  bool found = false;
  for (const QString& folder : Paths::LanguageDirs()) {
    found = AppendLanguagesLocked(folder, names) || found;
  }
  return found;
}

bool LanguageManager::AppendLanguagesLocked(const QString& folder, QStringList& names) {
  const QDir dir(folder);
  // Ordered by file name without regard to case, so the menu keeps one order from run to
  // run whatever order the file system keeps; the pattern matches "*.LNG" as well.
  const QStringList files = dir.entryList({QString::fromLatin1(kSearchPattern)}, QDir::Files,
                                          QDir::Name | QDir::IgnoreCase);
  for (const QString& file : files) {
    const QString path = dir.filePath(file);
    QString name;
    IniFile::AtPath(path).ReadString(kTranslationSection, kLanguageNameKey, file, name);
    names.append(name);
    paths_.insert(name, path);
  }
  return !files.isEmpty();
}

QString LanguageManager::LanguagePath(const QString& name) const {
  std::lock_guard lock(mapMutex_);
  return paths_.value(name);
}

bool LanguageManager::ChooseLanguage(const QString& name) {
  return SettingsStore::Instance().WriteString(Key::Language, LanguagePath(name));
}
