#include "settings/ini_document.h"

#include <QString>
#include <algorithm>
#include <climits>
#include <cstring>

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

QByteArrayView Trim(QByteArrayView text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.sliced(begin, end - begin);
}

// Names compare as lower-case ASCII; any other character stands for '?' (names are ASCII,
// and a name in the file is read byte by byte).
char Fold(char16_t unit) {
  if (unit >= 'A' && unit <= 'Z') return char(unit + 32);
  return unit < 0x80 ? char(unit) : '?';
}
char Fold(char byte) { return Fold(char16_t(static_cast<unsigned char>(byte))); }
char Fold(QChar unit) { return Fold(unit.unicode()); }

// FNV-1a over the folded name, seeded (a key's section), with a final mix for the table.
template <typename Name>
uint32_t HashName(Name name, uint32_t seed) {
  uint32_t h = 2166136261u;
  for (int shift = 0; shift < 32; shift += 8) h = (h ^ ((seed >> shift) & 0xFF)) * 16777619u;
  for (auto unit : name) h = (h ^ uint8_t(Fold(unit))) * 16777619u;
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  h *= 0xC2B2AE35u;
  h ^= h >> 16;
  return h;
}

template <typename Name>
bool SameName(QByteArrayView stored, Name name) {
  if (stored.size() != name.size()) return false;
  for (qsizetype i = 0; i < stored.size(); ++i) {
    if (Fold(stored[i]) != Fold(name[i])) return false;
  }
  return true;
}

bool InMatchingQuotes(QByteArrayView value) {
  return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
         value.back() == value.front();
}

QByteArray ParseValue(QByteArrayView line) {
  QByteArrayView value = Trim(line.sliced(line.indexOf('=') + 1));
  if (InMatchingQuotes(value)) value = value.sliced(1, value.size() - 2);
  return value.toByteArray();
}

// The value as its line holds it so that ParseValue gives it back: a value that reading would
// trim, or strip of a pair of quotes (an album titled "Heroes", quotes and all), is put in
// quotes of its own. Any other value is written as it is, as the profile functions do.
QByteArray StoredValue(const QByteArray& value) {
  const bool trimmed = value.isEmpty() || (!IsBlank(value.front()) && !IsBlank(value.back()));
  if (trimmed && !InMatchingQuotes(value)) return value;
  return '"' + value + '"';
}

}  // namespace

void IniDocument::NameTable::Reserve(size_t count) {
  size_t size = 16;
  while (size < count * 2) size *= 2;
  if (size > slots_.size()) {
    std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(size));
    for (const Slot& slot : old) {
      if (!slot.idPlusOne) continue;
      size_t i = slot.hash & (slots_.size() - 1);
      while (slots_[i].idPlusOne) i = (i + 1) & (slots_.size() - 1);
      slots_[i] = slot;
    }
  }
}

template <typename Matches>
std::optional<uint32_t> IniDocument::NameTable::Find(uint32_t hash, Matches matches) const {
  if (slots_.empty()) return std::nullopt;
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask; slots_[i].idPlusOne; i = (i + 1) & mask) {
    if (slots_[i].hash == hash && matches(slots_[i].idPlusOne - 1)) return slots_[i].idPlusOne - 1;
  }
  return std::nullopt;
}

void IniDocument::NameTable::Insert(uint32_t hash, uint32_t id) {
  if ((used_ + 1) * 2 > slots_.size()) Reserve(used_ + 1);
  const size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  while (slots_[i].idPlusOne) i = (i + 1) & mask;
  slots_[i] = Slot{id + 1, hash};
  ++used_;
}

IniDocument IniDocument::Parse(const QByteArray& file) {
  IniDocument doc;
  doc.bytes_ = file;
  const qsizetype body = file.startsWith(kBom) ? kBom.size() : 0;
  const qsizetype firstEol = file.indexOf('\n', body);
  doc.eol_ = firstEol > body && file[firstEol - 1] == '\r' ? "\r\n" : "\n";
  // Reserved for lines of about 32 bytes, which spares large files most of the regrowing
  // without a pass of its own to count them.
  const size_t lines = size_t(file.size() / 32) + 1;
  doc.keys_.reserve(lines);
  doc.keyIndex_.Reserve(lines);
  std::optional<uint32_t> section;  // the section the current line belongs to, unless shadowed
  const char* data = file.constData();
  qsizetype start = body;
  while (start < file.size()) {
    const void* found = std::memchr(data + start, '\n', size_t(file.size() - start));
    const qsizetype end = found ? static_cast<const char*>(found) - data : file.size();
    const qsizetype contentEnd = found && end > start && data[end - 1] == '\r' ? end - 1 : end;
    const qsizetype next = found ? end + 1 : end;
    doc.ParseLine(start, contentEnd, next, found != nullptr, section);
    start = next;
  }
  return doc;
}

void IniDocument::ParseLine(qsizetype begin, qsizetype contentEnd, qsizetype next, bool hasEol,
                            std::optional<uint32_t>& section) {
  if (contentEnd - begin > INT_MAX) return;  // no such line is a name; kept verbatim
  const QByteArrayView line(bytes_.constData() + begin, contentEnd - begin);
  const QByteArrayView trimmed = Trim(line);
  if (const std::optional<QByteArrayView> header = SectionHeader(trimmed)) {
    const QByteArrayView name = *header;
    if (FindSection(name)) {
      section.reset();  // a repeated section is shadowed by the first one of its name
      return;
    }
    section = uint32_t(sections_.size());
    sections_.push_back(
        Section{name.data() - bytes_.constData(), next, int(name.size()), !hasEol, false});
    sectionIndex_.Insert(HashName(name, 0), *section);
    return;
  }
  if (!section || trimmed.startsWith(';')) return;
  const qsizetype equals = trimmed.indexOf('=');
  if (equals <= 0) return;
  const QByteArrayView name = Trim(trimmed.first(equals));
  Section& owner = sections_[*section];
  owner.hasKeys = true;
  owner.insertAt = next;
  owner.insertNeedsEol = !hasEol;
  if (FindKey(*section, name)) return;  // the first key of a name wins
  keyIndex_.Insert(HashName(name, *section), uint32_t(keys_.size()));
  keys_.push_back(
      Key{begin, int(line.size()), int(name.data() - line.data()), int(name.size()), *section});
}

std::optional<QByteArrayView> IniDocument::SectionHeader(QByteArrayView line) {
  const QByteArrayView trimmed = Trim(line);
  if (!trimmed.startsWith('[')) return std::nullopt;
  const qsizetype close = trimmed.indexOf(']');
  return Trim(trimmed.sliced(1, (close < 0 ? trimmed.size() : close) - 1));
}

bool IniDocument::NameMatches(QByteArrayView stored, QStringView name) {
  return SameName(stored, name.trimmed());
}

QByteArrayView IniDocument::KeyLine(const Key& key) const {
  return QByteArrayView(bytes_.constData() + key.lineBegin, key.lineLength);
}

template <typename Name>
std::optional<uint32_t> IniDocument::FindSection(Name name) const {
  return sectionIndex_.Find(HashName(name, 0), [&](uint32_t id) {
    const Section& s = sections_[id];
    return SameName(QByteArrayView(bytes_.constData() + s.nameBegin, s.nameLength), name);
  });
}

template <typename Name>
std::optional<uint32_t> IniDocument::FindKey(uint32_t section, Name name) const {
  return keyIndex_.Find(HashName(name, section), [&](uint32_t id) {
    const Key& k = keys_[id];
    return k.section == section && SameName(KeyLine(k).sliced(k.nameOffset, k.nameLength), name);
  });
}

std::optional<QByteArray> IniDocument::Value(QStringView section, QStringView key) const {
  const std::optional<uint32_t> s = FindSection(section.trimmed());
  if (!s) return std::nullopt;
  const std::optional<uint32_t> k = FindKey(*s, key.trimmed());
  if (!k) return std::nullopt;
  return ParseValue(KeyLine(keys_[*k]));
}

bool IniDocument::HasKeys(QStringView section) const {
  const std::optional<uint32_t> s = FindSection(section.trimmed());
  return s && sections_[*s].hasKeys;
}

void IniDocument::Set(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
  SetAll(section, {{key, value}});
}

void IniDocument::SetAll(const QByteArray& section, const Entries& entries) {
  *this = Parse(WithValues(section, entries));
}

QByteArray IniDocument::WithValues(const QByteArray& section, const Entries& entries) const {
  struct Edit {
    qsizetype begin;
    qsizetype end;
    QByteArray text;
  };
  const QByteArray cleanSection = Trim(section).toByteArray();
  const std::optional<uint32_t> s = FindSection(QByteArrayView(cleanSection));
  std::vector<Edit> edits;  // lines replaced in place
  std::vector<Edit> added;  // keys the section does not have yet, in the order given
  for (const auto& [key, value] : entries) {
    const QByteArray cleanKey = Trim(key).toByteArray();
    const QByteArray line = cleanKey + '=' + StoredValue(value);
    const std::optional<uint32_t> k = s ? FindKey(*s, QByteArrayView(cleanKey)) : std::nullopt;
    if (k) {
      const Key& existing = keys_[*k];
      auto same = std::find_if(edits.begin(), edits.end(),
                               [&](const Edit& e) { return e.begin == existing.lineBegin; });
      if (same != edits.end())
        same->text = line;
      else
        edits.push_back({existing.lineBegin, existing.lineBegin + existing.lineLength, line});
      continue;
    }
    auto same = std::find_if(added.begin(), added.end(), [&](const Edit& e) {
      return SameName(QByteArrayView(e.text).first(e.text.indexOf('=')), QByteArrayView(cleanKey));
    });
    if (same != added.end())
      same->text = line;  // the later value of a key given twice wins
    else
      added.push_back({0, 0, line});
  }
  if (!added.empty()) {
    Edit insert;
    if (s) {
      insert.begin = sections_[*s].insertAt;
      if (sections_[*s].insertNeedsEol) insert.text = eol_;
    } else {
      insert.begin = bytes_.size();
      const qsizetype body = bytes_.startsWith(kBom) ? kBom.size() : 0;
      if (bytes_.size() > body && !bytes_.endsWith('\n')) insert.text = eol_;
      insert.text += '[' + cleanSection + ']' + eol_;
    }
    for (const Edit& line : added) insert.text += line.text + eol_;
    insert.end = insert.begin;
    edits.push_back(std::move(insert));
  }
  std::sort(edits.begin(), edits.end(),
            [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
  QByteArray out;
  qsizetype extra = 0;
  for (const Edit& e : edits) extra += e.text.size();
  out.reserve(bytes_.size() + extra);
  qsizetype at = 0;
  for (const Edit& e : edits) {
    out.append(bytes_.constData() + at, e.begin - at);
    out.append(e.text);
    at = e.end;
  }
  out.append(bytes_.constData() + at, bytes_.size() - at);
  return out;
}
