#include "settings/ini_file.h"

#include <QFile>
#include <QHash>
#include <cerrno>
#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"
#include "settings/ini_document.h"
#include "settings/utf16_codec.h"

namespace {

// What identifies one version of a file on disk; an atomic replace changes the inode.
struct FileStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};

  static FileStamp Of(const struct stat& st) {
    return {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
  }
  bool operator==(const FileStamp& o) const {
    return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
  }
};

struct CachedFile {
  FileStamp stamp;
  std::shared_ptr<const IniDocument> doc;
};

// The parsed copies of every INI file this process has read, by native path.
class IniCache {
 public:
  static IniCache& Instance() {
    static IniCache cache;
    return cache;
  }

  std::shared_ptr<const IniDocument> Snapshot(const QByteArray& path) {
    std::lock_guard lock(mutex_);
    return FreshLocked(path);
  }

  // Applies change to the current contents and replaces the file with the result.
  template <typename Change>
  bool Update(const QByteArray& path, Change change) {
    std::lock_guard lock(mutex_);
    const std::shared_ptr<const IniDocument> current = FreshLocked(path);
    IniDocument doc = *current;
    change(doc);
    const QByteArray bytes = doc.Serialize();
    // Writing what the file already holds leaves it alone (refreshes store the same values
    // again and again).
    if (files_[path].stamp.exists && bytes == current->Serialize()) return true;
    if (!ReplaceFile(path, bytes)) {
      files_.remove(path);  // the next read looks at the disk again
      return false;
    }
    struct stat st {};
    CachedFile& cached = files_[path];
    cached.doc = std::make_shared<const IniDocument>(std::move(doc));
    cached.stamp = ::stat(path.constData(), &st) == 0 ? FileStamp::Of(st) : FileStamp{};
    return true;
  }

 private:
  std::shared_ptr<const IniDocument> FreshLocked(const QByteArray& path) {
    struct stat st {};
    const FileStamp now = ::stat(path.constData(), &st) == 0 ? FileStamp::Of(st) : FileStamp{};
    auto it = files_.find(path);
    if (it != files_.end() && it->stamp == now && it->doc) return it->doc;
    CachedFile loaded = Load(path);
    files_[path] = loaded;
    return loaded.doc;
  }

  // Reads through one descriptor so the stamp belongs to exactly the bytes parsed.
  static CachedFile Load(const QByteArray& path) {
    CachedFile result{FileStamp{}, std::make_shared<const IniDocument>()};
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return result;
    struct stat st {};
    QByteArray bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
      bytes.resize(st.st_size);
      qsizetype done = 0;
      while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
      }
      bytes.truncate(done);
      result.stamp = FileStamp::Of(st);
    }
    ::close(fd);
    result.doc = std::make_shared<const IniDocument>(IniDocument::Parse(bytes));
    return result;
  }

  static bool WriteAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += n;
    }
    return true;
  }

  static bool ReplaceFile(const QByteArray& path, const QByteArray& bytes) {
    QByteArray temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());  // mode 0600
    if (fd < 0) return false;
    const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.constData(), path.constData()) != 0) {
      ::unlink(temp.constData());
      return false;
    }
    return true;
  }

  std::mutex mutex_;
  QHash<QByteArray, CachedFile> files_;
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

std::optional<QByteArray> RawValue(const QByteArray& path, const QString& section, const QString& key) {
  auto doc = IniCache::Instance().Snapshot(path);
  std::optional<QByteArray> value = doc->Value(section, key);
  if (value && value->size() > IniFile::kMaxReadBytes) value->truncate(IniFile::kMaxReadBytes);
  return value;
}

}  // namespace

IniFile::IniFile(const QString& fileName) : IniFile(FullPath{}, Paths::ConfigDir() + '/' + fileName) {}

IniFile::IniFile(FullPath, const QString& fullPath)
    : path_(fullPath), nativePath_(NativePath(fullPath)) {}

IniFile IniFile::AtPath(const QString& fullPath) { return IniFile(FullPath{}, fullPath); }

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
  return IniCache::Instance().Snapshot(nativePath_)->HasKeys(section);
}

bool IniFile::WriteRaw(const QString& section, const QList<std::pair<QString, QByteArray>>& entries) {
  const QByteArray sectionBytes = section.trimmed().toUtf8();
  if (!FitsName(sectionBytes) || nativePath_.size() > kMaxBytes) return false;
  QList<std::pair<QByteArray, QByteArray>> keyed;
  for (const auto& [key, value] : entries) {
    const QByteArray keyBytes = key.trimmed().toUtf8();
    if (FitsName(keyBytes)) keyed.append({keyBytes, value});
  }
  if (keyed.isEmpty()) return false;
  return IniCache::Instance().Update(nativePath_, [&](IniDocument& doc) {
    doc.SetAll(sectionBytes, keyed);
  });
}

int IniFile::ReadInt(const SettingKey& key) const {
  // A stored value outside the key's range (a port of 84416) is read as no value at all.
  const int value = ReadInt(key.section, key.key, key.intDefault);
  return key.InRange(value) ? value : key.intDefault;
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
