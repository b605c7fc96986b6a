#include "settings/ini_document.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

QByteArray Trim(const QByteArray& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.mid(begin, end - begin);
}

}  // namespace

IniDocument IniDocument::Parse(const QByteArray& bytes) {
  IniDocument doc;
  doc.lines_.clear();
  const qsizetype firstEol = bytes.indexOf('\n');
  doc.eol_ = firstEol > 0 && bytes[firstEol - 1] == '\r' ? "\r\n" : "\n";
  doc.endsWithEol_ = bytes.isEmpty() || bytes.endsWith('\n');
  qsizetype start = 0;
  while (start < bytes.size()) {
    qsizetype end = bytes.indexOf('\n', start);
    if (end < 0) end = bytes.size();
    qsizetype textEnd = end;
    if (textEnd > start && bytes[textEnd - 1] == '\r' && doc.eol_ == "\r\n") --textEnd;
    doc.lines_.push_back(ParseLine(bytes.mid(start, textEnd - start)));
    start = end + 1;
  }
  doc.Reindex();
  return doc;
}

IniDocument::Line IniDocument::ParseLine(const QByteArray& text) {
  Line line{text, Kind::Other, {}};
  const QByteArray trimmed = Trim(text);
  if (trimmed.startsWith('[')) {
    const qsizetype close = trimmed.indexOf(']');
    line.kind = Kind::Section;
    line.name = Trim(trimmed.mid(1, close < 0 ? -1 : close - 1));
    return line;
  }
  if (trimmed.startsWith(';')) return line;
  const qsizetype equals = trimmed.indexOf('=');
  if (equals <= 0) return line;
  line.name = Trim(trimmed.left(equals));
  if (!line.name.isEmpty()) line.kind = Kind::Key;
  return line;
}

QByteArray IniDocument::ParseValue(const QByteArray& text) {
  QByteArray value = Trim(text.mid(text.indexOf('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.mid(1, value.size() - 2);
  }
  return value;
}

QByteArray IniDocument::IndexKey(const QByteArray& section, const QByteArray& key) {
  QByteArray index = section.toLower();
  index.append('\0');
  index.append(key.toLower());
  return index;
}

void IniDocument::Reindex() {
  keyLines_.clear();
  QHash<QByteArray, bool> seenSections;
  QByteArray section;
  bool sectionCounts = false;  // keys of a repeated section are shadowed by the first one
  for (qsizetype i = 0; i < qsizetype(lines_.size()); ++i) {
    const Line& line = lines_[i];
    if (line.kind == Kind::Section) {
      section = line.name.toLower();
      sectionCounts = !seenSections.contains(section);
      seenSections.insert(section, true);
    } else if (line.kind == Kind::Key && sectionCounts) {
      const QByteArray index = IndexKey(section, line.name);
      if (!keyLines_.contains(index)) keyLines_.insert(index, i);
    }
  }
}

std::optional<QByteArray> IniDocument::Value(const QByteArray& section, const QByteArray& key) const {
  const auto it = keyLines_.constFind(IndexKey(Trim(section), Trim(key)));
  if (it == keyLines_.cend()) return std::nullopt;
  return ParseValue(lines_[it.value()].text);
}

bool IniDocument::HasKeys(const QByteArray& section) const {
  QByteArray prefix = Trim(section).toLower();
  prefix.append('\0');
  for (auto it = keyLines_.cbegin(); it != keyLines_.cend(); ++it) {
    if (it.key().startsWith(prefix)) return true;
  }
  return false;
}

qsizetype IniDocument::FindSection(const QByteArray& section) const {
  for (qsizetype i = 0; i < qsizetype(lines_.size()); ++i) {
    if (lines_[i].kind == Kind::Section && lines_[i].name.compare(section, Qt::CaseInsensitive) == 0) {
      return i;
    }
  }
  return -1;
}

void IniDocument::Set(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
  const QByteArray cleanSection = Trim(section);
  const QByteArray cleanKey = Trim(key);
  Line keyLine{cleanKey + '=' + value, Kind::Key, cleanKey};
  const auto existing = keyLines_.constFind(IndexKey(cleanSection, cleanKey));
  if (existing != keyLines_.cend()) {
    lines_[existing.value()] = keyLine;
    return;
  }
  const qsizetype header = FindSection(cleanSection);
  if (header < 0) {
    if (!lines_.empty() && !endsWithEol_) endsWithEol_ = true;
    lines_.push_back(Line{'[' + cleanSection + ']', Kind::Section, cleanSection});
    lines_.push_back(keyLine);
  } else {
    qsizetype insertAt = header + 1;
    for (qsizetype i = header + 1; i < qsizetype(lines_.size()) && lines_[i].kind != Kind::Section; ++i) {
      if (lines_[i].kind == Kind::Key) insertAt = i + 1;
    }
    lines_.insert(lines_.begin() + insertAt, keyLine);
  }
  endsWithEol_ = true;
  Reindex();
}

QByteArray IniDocument::Serialize() const {
  QByteArray out;
  for (size_t i = 0; i < lines_.size(); ++i) {
    out.append(lines_[i].text);
    if (i + 1 < lines_.size() || endsWithEol_) out.append(eol_);
  }
  return out;
}
