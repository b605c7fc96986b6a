#include "settings/ini_file.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>

#include "platform/file_ops.h"
#include "platform/paths.h"
#include "settings/ini_document.h"
#include "settings/utf16_codec.h"

namespace {

// What reads have asked of one version of a file: each section parsed on its own, by the
// name as asked (a missing section as an empty document), so a large file such as a disc
// cache of thousands of discs is never held whole for a read.
struct CachedFile {
  FileStamp stamp;
  ReadableFile pin;  // kept open while the copies are
  QHash<QString, std::shared_ptr<const IniDocument>> sections;
};

// A file, or one section of it, as it was read: the parsed contents, or nothing when the
// file exists but cannot be read (then reason says why).
struct Loaded {
  FileStamp stamp;
  ReadableFile pin;
  std::shared_ptr<const IniDocument> doc;
  bool readable = true;
  QString reason;
};

const QByteArray kBom("\xEF\xBB\xBF");

// Reads the rest of the file; errno tells why when it fails.
std::optional<QByteArray> ReadAll(const ReadableFile& file, int64_t size) {
  QByteArray bytes(size, Qt::Uninitialized);
  qsizetype done = 0;
  while (done < bytes.size()) {
    const int64_t n = file.Read(bytes.data() + done, bytes.size() - done);
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    done += n;
  }
  bytes.truncate(done);
  return bytes;
}

// The lines of the first section of this name, its header included, read from the file a
// block at a time up to the next header; errno tells why when it fails.
std::optional<QByteArray> ReadSection(const ReadableFile& file, const QString& section) {
  QByteArray kept;
  QByteArray pending;  // the lines of the last block, the last one perhaps unfinished
  bool inside = false;
  bool firstLine = true;
  char block[65536];
  for (;;) {
    const int64_t n = file.Read(block, sizeof block);
    if (n < 0) return std::nullopt;
    pending.append(block, n);
    qsizetype start = 0;
    for (;;) {
      const qsizetype end = pending.indexOf('\n', start);
      if (end < 0 && n > 0) break;  // the line goes on in the next block
      QByteArrayView line(pending.constData() + start, (end < 0 ? pending.size() : end) - start);
      if (firstLine && line.startsWith(kBom)) line = line.sliced(kBom.size());
      firstLine = false;
      const std::optional<QByteArrayView> header = IniDocument::SectionHeader(line);
      if (header && inside) return kept;
      if (header && IniDocument::NameMatches(*header, section)) inside = true;
      if (inside) kept.append(line).append('\n');
      if (end < 0) return kept;  // the end of the file
      start = end + 1;
    }
    pending.remove(0, start);
  }
}

const std::shared_ptr<const IniDocument>& EmptyDocument() {
  static const auto empty = std::make_shared<const IniDocument>();
  return empty;
}

void WarnOnStderr(const QString& message) {
  const QString program = QCoreApplication::applicationName();
  qWarning().noquote() << (program.isEmpty() ? message : program + ": " + message);
}

std::atomic<IniFile::FaultReporter> g_reporter{&WarnOnStderr};

void Report(const std::optional<QString>& fault) {
  if (fault) g_reporter.load()(*fault);
}

// The parsed copies of every INI file this process has read, by native path.
class IniCache {
 public:
  static IniCache& Instance() {
    static IniCache cache;
    return cache;
  }

  // One section of the file as it is now.
  std::shared_ptr<const IniDocument> Section(const QByteArray& path, const QString& section) {
    std::optional<QString> fault;
    std::shared_ptr<const IniDocument> doc;
    {
      std::lock_guard lock(mutex_);
      doc = FreshSectionLocked(path, section, fault);
    }
    Report(fault);
    return doc;
  }

  // Replaces the file with what change makes of its current contents. Other processes
  // writing the same file wait on the lock, and the contents are read again under it, so
  // no one's change is lost. A file that exists but cannot be read is never replaced.
  template <typename Change>
  bool Update(const QByteArray& path, Change change) {
    const QByteArray target = ResolveLinks(path);
    const FileLock fileLock(target + ".lock");
    if (!fileLock.Held()) return false;
    std::optional<QString> fault;
    bool written = false;
    {
      std::lock_guard lock(mutex_);
      const Loaded current = LoadNoting(path, std::nullopt, fault);
      if (current.readable) {
        const QByteArray bytes = change(*current.doc);
        // Writing what the file already holds leaves it alone (refreshes store the same
        // values again and again).
        if (bytes == current.doc->Serialize()) {
          written = true;
        } else {
          written = ReplaceFileContents(target, bytes);
          files_.remove(path);  // the next read parses what is on disk now
        }
      }
    }
    Report(fault);
    return written;
  }

 private:
  // The cached section while the file is unchanged, else the section read again.
  std::shared_ptr<const IniDocument> FreshSectionLocked(const QByteArray& path,
                                                        const QString& section,
                                                        std::optional<QString>& fault) {
    if (const std::optional<FileStamp> now = StampOf(path)) {
      auto it = files_.find(path);
      if (it != files_.end() && it->stamp == *now) {
        if (auto cached = it->sections.constFind(section); cached != it->sections.constEnd())
          return *cached;
      }
    }
    Loaded loaded = LoadNoting(path, section, fault);
    if (!loaded.readable) {
      files_.remove(path);
      return loaded.doc;
    }
    CachedFile& file = files_[path];
    if (!(file.stamp == loaded.stamp)) file = CachedFile{loaded.stamp, loaded.pin, {}};
    file.sections.insert(section, loaded.doc);
    return loaded.doc;
  }

  // Load, noting whether the file can be read: the first time it turns out unreadable,
  // fault receives the message that says so.
  Loaded LoadNoting(const QByteArray& path, const std::optional<QString>& section,
                    std::optional<QString>& fault) {
    Loaded loaded = Load(path, section);
    if (loaded.readable) {
      unreadable_.remove(path);  // a later fault is reported again
    } else if (!unreadable_.contains(path)) {
      unreadable_.insert(path);
      fault = QString("cannot read %1: %2").arg(QFile::decodeName(path), loaded.reason);
    }
    return loaded;
  }

  // The whole file, or only the section named, read through one descriptor so the stamp
  // belongs to exactly the bytes parsed. Only a missing file reads as empty; any other
  // failure leaves the file unreadable.
  static Loaded Load(const QByteArray& path, const std::optional<QString>& section) {
    Loaded result{FileStamp{}, ReadableFile{}, EmptyDocument(), true, {}};
    auto fail = [&](int error) {
      result.readable = false;
      result.reason = qt_error_string(error);
      return result;
    };
    ReadableFile file = ReadableFile::Open(path);
    if (file.Error()) return file.Error() == ENOENT ? result : fail(file.Error());
    if (file.GetKind() == ReadableFile::Kind::kFolder) return fail(EISDIR);
    if (file.GetKind() != ReadableFile::Kind::kRegular) {
      result.readable = false;
      result.reason = "not a regular file";
      return result;
    }
    // Read as UTF-8, a UTF-16 file would lose its text, and a write would add UTF-8 lines to
    // it; it is left as it is, and said.
    if (StartsWithUtf16Mark(file)) {
      result.readable = false;
      result.reason = "it is UTF-16 text, which is not read; save it as UTF-8";
      return result;
    }
    const std::optional<QByteArray> bytes =
        section ? ReadSection(file, *section) : ReadAll(file, file.Stamp().size);
    if (!bytes) return fail(errno);
    result.stamp = file.Stamp();
    result.pin = std::move(file);
    result.doc = std::make_shared<const IniDocument>(IniDocument::Parse(*bytes));
    return result;
  }

  // A byte-order mark of UTF-16, either order, at the start of the file.
  static bool StartsWithUtf16Mark(const ReadableFile& file) {
    char mark[2] = {};
    if (file.ReadAt(mark, 2, 0) != 2) return false;
    const QByteArray head(mark, 2);
    return head == "\xFF\xFE" || head == "\xFE\xFF";
  }

  std::mutex mutex_;
  QHash<QByteArray, CachedFile> files_;
  QSet<QByteArray> unreadable_;  // reported already
};

QByteArray NativePath(const QString& path) { return QFile::encodeName(path); }

bool FitsName(const QByteArray& name) {
  return !name.isEmpty() && name.size() <= IniFile::kMaxBytes && !name.contains('\n') &&
         !name.contains('\r') && !name.contains(']') && !name.contains('=');
}

// A text as a value line holds it: UTF-8 cut to IniFile::kMaxBytes, line breaks as blanks.
QByteArray StoredText(const QString& text) {
  QString oneLine = text;
  oneLine.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
  return Utf16Codec::EncodePrefix(oneLine, IniFile::kMaxBytes);
}

std::optional<QByteArray> RawValue(const QByteArray& path, const QString& section,
                                   const QString& key) {
  auto doc = IniCache::Instance().Section(path, section);
  std::optional<QByteArray> value = doc->Value(section, key);
  if (value && value->size() > IniFile::kMaxReadBytes) value->truncate(IniFile::kMaxReadBytes);
  return value;
}

}  // namespace

IniFile::IniFile(const QString& fileName)
    : IniFile(FullPath{}, Paths::ConfigDir() + '/' + fileName) {}

IniFile::IniFile(FullPath, const QString& fullPath)
    : path_(fullPath), nativePath_(NativePath(fullPath)) {}

IniFile IniFile::AtPath(const QString& fullPath) { return IniFile(FullPath{}, fullPath); }

void IniFile::SetFaultReporter(FaultReporter reporter) {
  g_reporter = reporter ? reporter : &WarnOnStderr;
}

int IniFile::ReadInt(const QString& section, const QString& key, int defaultValue) const {
  const std::optional<QByteArray> raw = RawValue(nativePath_, section, key);
  if (!raw) return defaultValue;
  bool ok = false;
  const QByteArray text = raw->trimmed();
  // Like the profile functions: the leading number counts, anything after it is ignored.
  qsizetype end = text.startsWith('-') || text.startsWith('+') ? 1 : 0;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  const long long value = text.left(end).toLongLong(&ok);
  if (!ok) return defaultValue;
  return int(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

bool IniFile::WriteInt(const QString& section, const QString& key, int value) {
  return WriteRaw(section, {{key, QByteArray::number(value)}});
}

bool IniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue,
                         QString& out) const {
  const std::optional<QByteArray> raw = RawValue(nativePath_, section, key);
  if (!raw || QString::fromLatin1(*raw) == defaultValue) {
    out = defaultValue;
    return false;
  }
  out = Utf16Codec::Decode(*raw);
  return out != defaultValue;
}

bool IniFile::WriteString(const QString& section, const QString& key, const QString& text) {
  return WriteRaw(section, {{key, StoredText(text)}});
}

bool IniFile::WriteStrings(const QString& section, const TextEntries& entries) {
  QList<std::pair<QString, QByteArray>> stored;
  stored.reserve(entries.size());
  for (const auto& [key, text] : entries) stored.append({key, StoredText(text)});
  return WriteRaw(section, stored);
}

bool IniFile::HasKeys(const QString& section) const {
  return IniCache::Instance().Section(nativePath_, section)->HasKeys(section);
}

bool IniFile::WriteRaw(const QString& section,
                       const QList<std::pair<QString, QByteArray>>& entries) {
  const QByteArray sectionBytes = section.trimmed().toUtf8();
  if (!FitsName(sectionBytes) || nativePath_.size() > kMaxBytes) return false;
  IniDocument::Entries keyed;
  for (const auto& [key, value] : entries) {
    const QByteArray keyBytes = key.trimmed().toUtf8();
    if (FitsName(keyBytes)) keyed.append({keyBytes, value});
  }
  if (keyed.isEmpty()) return false;
  return IniCache::Instance().Update(
      nativePath_, [&](const IniDocument& doc) { return doc.WithValues(sectionBytes, keyed); });
}

int IniFile::ReadInt(const SettingKey& key) const {
  // A stored value outside the key's range (a port of 84416) is read as no value at all; one
  // between a key's choices (an MP3 rate of 100 kbit/s) as the nearest choice.
  return key.Nearest(ReadInt(key.section, key.key, key.intDefault));
}

bool IniFile::WriteInt(const SettingKey& key, int value) {
  return WriteInt(key.section, key.key, value);
}

bool IniFile::ReadString(const SettingKey& key, QString& out) const {
  return ReadString(key.section, key.key, key.DefaultText(), out);
}

QString IniFile::ReadText(const SettingKey& key) const {
  QString out;
  ReadString(key, out);
  return out;
}

bool IniFile::WriteString(const SettingKey& key, const QString& text) {
  return WriteString(key.section, key.key, text);
}
