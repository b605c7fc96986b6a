#pragma once
#include <QByteArray>
#include <QList>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// One INI file held in memory the way the Windows profile functions read it: section and
// key names match without regard to case, blanks around names and values are trimmed, a
// value in matching quotes loses them, the first section or key of a name wins, and every
// line that is not a key of a section (comments, blank or stray lines) is kept verbatim.
// Setting a key rewrites only its own line, or adds one line, so a hand-edited file keeps
// its shape. A UTF-8 byte-order mark (which Windows editors write) is kept but not read as
// part of the first line.
//
// The document keeps the file's bytes as they are and indexes sections and keys by name,
// so parsing is one pass and a lookup is a hash probe, however large the file.
class IniDocument {
 public:
  using Entries = QList<std::pair<QByteArray, QByteArray>>;

  static IniDocument Parse(const QByteArray& bytes);
  // The name of the section a line opens, trimmed; none for a line that is no section
  // header. The line comes without its line end. With NameMatches, a reader can pick one
  // section's lines out of a file without holding the file whole: the first section of a
  // name is the one that counts, and it ends where the next header begins.
  static std::optional<QByteArrayView> SectionHeader(QByteArrayView line);
  // Whether a name in the file is this name, matched as sections and keys are.
  static bool NameMatches(QByteArrayView stored, QStringView name);

  std::optional<QByteArray> Value(QStringView section, QStringView key) const;
  // True when the section exists and holds at least one key.
  bool HasKeys(QStringView section) const;

  // Replaces the key's line in place, or appends the key after the last key of its
  // section, or appends the section and the key at the end of the file. A value with blanks
  // at either end, or in matching quotes, is written in quotes, so Value reads it back whole.
  void Set(const QByteArray& section, const QByteArray& key, const QByteArray& value);
  // Several keys of one section at once, as Set would one after the other.
  void SetAll(const QByteArray& section, const Entries& entries);
  // The file as SetAll would leave it, without changing this document.
  QByteArray WithValues(const QByteArray& section, const Entries& entries) const;

  const QByteArray& Serialize() const { return bytes_; }

 private:
  struct Section {
    qsizetype nameBegin;
    qsizetype insertAt;  // where a new key goes: after the section's last key, or its header
    int nameLength;
    bool insertNeedsEol;  // the line before insertAt is the file's last and has no line end
    bool hasKeys;
  };
  struct Key {
    qsizetype lineBegin;
    int lineLength;  // without the line end
    int nameOffset;  // within the line
    int nameLength;
    uint32_t section;
  };

  // Open addressing over ids; names are compared through a callback, so the table holds
  // nothing but ids and hashes.
  class NameTable {
   public:
    void Reserve(size_t count);
    template <typename Matches>
    std::optional<uint32_t> Find(uint32_t hash, Matches matches) const;
    void Insert(uint32_t hash, uint32_t id);

   private:
    struct Slot {
      uint32_t idPlusOne = 0;  // 0: empty
      uint32_t hash = 0;
    };
    void Grow();
    std::vector<Slot> slots_;
    size_t used_ = 0;
  };

  void ParseLine(qsizetype begin, qsizetype contentEnd, qsizetype next, bool hasEol,
                 std::optional<uint32_t>& section);
  // Name is a QStringView (a caller's name) or a QByteArrayView (a name in the file), trimmed.
  template <typename Name>
  std::optional<uint32_t> FindSection(Name name) const;
  template <typename Name>
  std::optional<uint32_t> FindKey(uint32_t section, Name name) const;
  QByteArrayView KeyLine(const Key& key) const;

  QByteArray bytes_;  // the whole file, byte-order mark included
  QByteArray eol_ = "\n";
  std::vector<Section> sections_;  // the first section of each name, in file order
  std::vector<Key> keys_;          // the first key of each name in those sections
  NameTable sectionIndex_;
  NameTable keyIndex_;
};
