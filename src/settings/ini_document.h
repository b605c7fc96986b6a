#pragma once
#include <QByteArray>
#include <QList>
#include <QStringView>
#include <optional>
#include <string>
#include <utility>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// One INI file held in memory the way the Windows profile functions read it: section and
// key names match without regard to case, blanks around names and values are trimmed, a
// value in matching quotes loses them, the first section or key of a name wins, and every
// line that is not a key of a section (comments, blank or stray lines) is kept verbatim.
// Setting a key rewrites only its own line, or adds one line, so a hand-edited file keeps
// its shape. A UTF-8 byte-order mark (which Windows editors write) is kept but not read as
// part of the first line.
class IniDocument {
 public:
  static IniDocument Parse(const QByteArray& bytes);

  std::optional<QByteArray> Value(QStringView section, QStringView key) const;
  // True when the section exists and holds at least one key.
  bool HasKeys(QStringView section) const;

  // Replaces the key's line in place, or appends the key after the last key of its
  // section, or appends the section and the key at the end of the file.
  void Set(const QByteArray& section, const QByteArray& key, const QByteArray& value);
  // Several keys of one section at once, as Set would one after the other.
  void SetAll(const QByteArray& section, const QList<std::pair<QByteArray, QByteArray>>& entries);

  QByteArray Serialize() const;

 private:
  enum class Kind { Other, Section, Key };
  struct Line {
    QByteArray text;  // as in the file, without its line end
    Kind kind = Kind::Other;
    QByteArray name;  // section or key name, trimmed
  };

  static Line ParseLine(const QByteArray& text);
  static QByteArray ParseValue(const QByteArray& text);
  struct Indexed {
    qsizetype line;
    QByteArray value;  // parsed once, so a read copies a shared buffer and nothing else
  };
  // Lower-case "section\0key" (names are ASCII) into a buffer reused by the calling thread.
  static const std::string& IndexKey(QStringView section, QStringView key);
  void Reindex();
  qsizetype FindSection(const QByteArray& section) const;

  std::vector<Line> lines_;
  QByteArray bom_;  // a UTF-8 byte-order mark the file began with, kept on writing
  QByteArray eol_ = "\n";
  bool endsWithEol_ = true;
  std::unordered_map<std::string, Indexed> index_;
  std::unordered_set<std::string> sectionsWithKeys_;  // lower-case section names
};
