// A language file from outside: it is listed under its name (or its file name), chosen, and
// every text asked for comes back, translated or built in.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "platform/paths.h"
#include "texts/language_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QTemporaryDir config;
  static QTemporaryDir languages;
  Paths::SetConfigDirOverride(config.path());
  {
    QFile file(QDir(languages.path()).filePath("fuzz.lng"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    file.write(reinterpret_cast<const char*>(data), qint64(size));
  }
  LanguageManager& manager = LanguageManager::Instance();
  QStringList names;
  if (!manager.EnumerateLanguages(languages.path(), names) || names.size() != 1) __builtin_trap();
  if (!manager.ChooseLanguage(names.first())) __builtin_trap();
  for (unsigned id : {0u, 1u, 4001u, 4002u, 10000u, 12000u, 0xFFFFFFFFu}) manager.Text(id);
  return 0;
}
