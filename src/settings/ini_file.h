#pragma once
#include <QList>
#include <QString>
#include <utility>

#include "settings/setting_keys.h"

// One INI file with four typed accessors. Reads come from a parsed copy shared by every
// IniFile of the same path in the process, re-read only when the file's size, times or
// identity changes. Every write replaces the file atomically (a temporary file beside it,
// then a rename), with mode 0600, so a crash or a full disk never leaves it half-written
// and a reader never sees a torn file; a symbolic link is followed, so the link stays.
// Each write holds a lock on "<file>.lock" across processes and applies its change to the
// file as it is then, so writers in several processes lose nothing. A file that exists but
// cannot be read reads as defaults, is said once to the fault reporter, and is never
// replaced: writes to it fail. Reads and writes are safe from any thread.
class IniFile {
 public:
  // Values, sections, keys and the path may take at most this many bytes once encoded.
  static constexpr int kMaxBytes = 511;
  // Raw values are read up to this many bytes.
  static constexpr int kMaxReadBytes = 510;

  // A file of this name in the per-user settings folder (created when missing).
  explicit IniFile(const QString& fileName);
  // A file at a full path (language files).
  static IniFile AtPath(const QString& fullPath);

  const QString& Path() const { return path_; }

  // Receives "cannot read <path>: <reason>" once per file that exists but cannot be read.
  // The default writes it on stderr after the program's name. Null restores the default.
  using FaultReporter = void (*)(const QString& message);
  static void SetFaultReporter(FaultReporter reporter);

  int ReadInt(const QString& section, const QString& key, int defaultValue) const;
  bool WriteInt(const QString& section, const QString& key, int value);
  // Fills out with the stored value, or the default when the key is missing; true when
  // the result differs from the default.
  bool ReadString(const QString& section, const QString& key, const QString& defaultValue,
                  QString& out) const;
  // Stores the text as UTF-8. A value longer than kMaxBytes is cut to the longest prefix
  // that fits; line breaks become blanks so a value never adds lines to the file. False,
  // with nothing written, for an over-long or malformed section or key, or a failed write.
  bool WriteString(const QString& section, const QString& key, const QString& text);
  // Several (key, text) pairs of one section, stored as WriteString stores them but in one
  // replace of the file. Pairs with an over-long or malformed key are left out; false when
  // none is left or the write fails.
  using TextEntries = QList<std::pair<QString, QString>>;
  bool WriteStrings(const QString& section, const TextEntries& entries);
  // True when the section exists and holds at least one key.
  bool HasKeys(const QString& section) const;

  // The same, with the section, key and default of the table of keys.
  int ReadInt(const SettingKey& key) const;
  bool WriteInt(const SettingKey& key, int value);
  bool ReadString(const SettingKey& key, QString& out) const;
  QString ReadText(const SettingKey& key) const;
  bool WriteString(const SettingKey& key, const QString& text);

 private:
  struct FullPath {};
  IniFile(FullPath, const QString& fullPath);
  bool WriteRaw(const QString& section, const QList<std::pair<QString, QByteArray>>& entries);

  QString path_;
  QByteArray nativePath_;  // path_ in the file system's encoding, for the cache
};
