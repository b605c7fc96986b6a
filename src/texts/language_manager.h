#pragma once
#include <QHash>
#include <QString>
#include <QStringList>
#include <mutex>

// The interface texts in the user's language. Every text has a numeric identifier; a
// language file ("*.lng", an INI file with a "Translation" section of identifier = text)
// may translate any of them, and the built-in English table answers the rest. The chosen
// file's full path is the setting "General" / "Language" (empty: English only).
//
// Texts may be asked for from any thread. The name -> path map belongs to the language
// menu and is guarded by its own lock.
class LanguageManager {
 public:
  static constexpr const char* kSearchPattern = "*.lng";

  static LanguageManager& Instance();

  // The text for id: the current language file's translation when it has one, else the
  // built-in English text (true either way), else the identifier in decimal (false).
  // "{RN}" becomes a CR LF line break. The language setting is read at every call, so a
  // change of language shows from the next text on.
  bool GetText(unsigned id, QString& out) const;
  // GetText for callers that only want the text.
  QString Text(unsigned id) const;

  // Lists the language files of folder, ordered by file name, into names and rebuilds the
  // name -> path map. A file without "LanguageName" is listed under its file name; of two
  // files with the same name, both are listed and the map keeps the later one. False, with
  // names empty, when the folder holds no language file or cannot be read.
  bool EnumerateLanguages(const QString& folder, QStringList& names);
  // The same over every language folder (Paths::LanguageDirs()) in turn; false when none
  // of them holds a language file.
  bool EnumerateAllLanguages(QStringList& names);

  // The file of a listed language name, or empty when the last listing did not have it.
  QString LanguagePath(const QString& name) const;
  // Makes the named language the current one by storing its path in the settings; a name
  // the last listing did not have stores an empty path, which selects the built-in texts.
  bool ChooseLanguage(const QString& name);

 private:
  LanguageManager() = default;
  bool AppendLanguagesLocked(const QString& folder, QStringList& names);

  mutable std::mutex mapMutex_;
  QHash<QString, QString> paths_;  // language name -> full path of its file
};
