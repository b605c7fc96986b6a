#pragma once
#include <QByteArray>
#include <QHash>
#include <optional>
#include <vector>

// One INI file held in memory the way the Windows profile functions read it: section and
// key names match without regard to case, blanks around names and values are trimmed, a
// value in matching quotes loses them, the first section or key of a name wins, and every
// line that is not a key of a section (comments, blank or stray lines) is kept verbatim.
// Setting a key rewrites only its own line, or adds one line, so a hand-edited file keeps
// its shape.
class IniDocument {
 public:
  static IniDocument Parse(const QByteArray& bytes);

  std::optional<QByteArray> Value(const QByteArray& section, const QByteArray& key) const;
  // True when the section exists and holds at least one key.
  bool HasKeys(const QByteArray& section) const;

  // Replaces the key's line in place, or appends the key after the last key of its
  // section, or appends the section and the key at the end of the file.
  void Set(const QByteArray& section, const QByteArray& key, const QByteArray& value);

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
  static QByteArray IndexKey(const QByteArray& section, const QByteArray& key);
  void Reindex();
  qsizetype FindSection(const QByteArray& section) const;

  std::vector<Line> lines_;
  QByteArray eol_ = "\n";
  bool endsWithEol_ = true;
  QHash<QByteArray, qsizetype> keyLines_;  // lower-case "section\0key" -> line index
};
