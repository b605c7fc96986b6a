#include "settings/ini_document.h"

#include <QHash>
#include <algorithm>
#include <QString>

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

IniDocument IniDocument::Parse(const QByteArray& file) {
  IniDocument doc;
  static const QByteArray kBom("\xEF\xBB\xBF");
  if (file.startsWith(kBom)) doc.bom_ = kBom;
  const QByteArray bytes = file.mid(doc.bom_.size());
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

const std::string& IniDocument::IndexKey(QStringView section, QStringView key) {
  thread_local std::string buffer;
  buffer.clear();
  auto append = [](QStringView name) {
    name = name.trimmed();
    for (QChar c : name) {
      const char16_t u = c.unicode();
      buffer.push_back(u >= 'A' && u <= 'Z' ? char(u + 32) : u < 0x80 ? char(u) : '?');
    }
  };
  append(section);
  buffer.push_back('\0');
  append(key);
  return buffer;
}

void IniDocument::Reindex() {
  index_.clear();
  sectionsWithKeys_.clear();
  QHash<QByteArray, bool> seenSections;
  QString section;
  bool sectionCounts = false;  // keys of a repeated section are shadowed by the first one
  bool sectionHasKeys = false;
  for (qsizetype i = 0; i < qsizetype(lines_.size()); ++i) {
    const Line& line = lines_[i];
    if (line.kind == Kind::Section) {
      section = QString::fromLatin1(line.name);
      sectionCounts = !seenSections.contains(line.name.toLower());
      seenSections.insert(line.name.toLower(), true);
      sectionHasKeys = false;
    } else if (line.kind == Kind::Key && sectionCounts) {
      index_.try_emplace(IndexKey(section, QString::fromLatin1(line.name)), Indexed{i, ParseValue(line.text)});
      if (!sectionHasKeys) sectionsWithKeys_.insert(IndexKey(section, QStringView()));
      sectionHasKeys = true;
    }
  }
}

std::optional<QByteArray> IniDocument::Value(QStringView section, QStringView key) const {
  const auto it = index_.find(IndexKey(section, key));
  if (it == index_.end()) return std::nullopt;
  return it->second.value;
}

bool IniDocument::HasKeys(QStringView section) const {
  return sectionsWithKeys_.contains(IndexKey(section, QStringView()));
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
  SetAll(section, {{key, value}});
}

void IniDocument::SetAll(const QByteArray& section, const QList<std::pair<QByteArray, QByteArray>>& entries) {
  const QByteArray cleanSection = Trim(section);
  std::vector<Line> added;  // keys the section does not have yet, in the order given
  for (const auto& [key, value] : entries) {
    const QByteArray cleanKey = Trim(key);
    Line keyLine{cleanKey + '=' + value, Kind::Key, cleanKey};
    const auto existing = index_.find(IndexKey(QString::fromLatin1(cleanSection), QString::fromLatin1(cleanKey)));
    if (existing != index_.end()) {
      lines_[existing->second.line] = keyLine;
      existing->second.value = value;
      continue;
    }
    auto same = std::find_if(added.begin(), added.end(), [&](const Line& line) {
      return line.name.compare(cleanKey, Qt::CaseInsensitive) == 0;
    });
    if (same != added.end()) {
      *same = keyLine;  // the later value of a key given twice wins
    } else {
      added.push_back(keyLine);
    }
  }
  if (added.empty()) return;
  const qsizetype header = FindSection(cleanSection);
  if (header < 0) {
    lines_.push_back(Line{'[' + cleanSection + ']', Kind::Section, cleanSection});
    lines_.insert(lines_.end(), added.begin(), added.end());
  } else {
    qsizetype insertAt = header + 1;
    for (qsizetype i = header + 1; i < qsizetype(lines_.size()) && lines_[i].kind != Kind::Section; ++i) {
      if (lines_[i].kind == Kind::Key) insertAt = i + 1;
    }
    lines_.insert(lines_.begin() + insertAt, added.begin(), added.end());
  }
  endsWithEol_ = true;
  Reindex();
}

QByteArray IniDocument::Serialize() const {
  QByteArray out = bom_;
  for (size_t i = 0; i < lines_.size(); ++i) {
    out.append(lines_[i].text);
    if (i + 1 < lines_.size() || endsWithEol_) out.append(eol_);
  }
  return out;
}
