// A disc-cache file ("discs.ini") from outside: the disc's section is read over the defaults,
// stored again and read back to the same record. The first input byte gives the track count,
// one a disc can have (1 to 99): with more, the record has no track entries to compare.
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "metadata/disc_info.h"
#include "platform/paths.h"

namespace {

constexpr const char* kDiscId = "7A0B5C0D";

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// Printable ASCII, blanks and quotes at either end included: such a text must come back whole.
bool IsPlain(const QString& text) {
  for (QChar c : text) {
    if (c.unicode() < 0x20 || c.unicode() > 0x7E) return false;
  }
  return true;
}

bool AllPlain(const DiscInfo& info) {
  for (const QString* field : {&info.artist, &info.album, &info.year, &info.genre, &info.comment}) {
    if (!IsPlain(*field)) return false;
  }
  for (const QStringList* list : {&info.trackTitles, &info.trackArtists}) {
    for (const QString& text : *list) {
      if (!IsPlain(text)) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QTemporaryDir work;
  if (size == 0) return 0;
  Paths::SetConfigDirOverride(work.path());
  {
    QFile cache(work.filePath(DiscInfo::kCacheFileName));
    if (!cache.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    cache.write(reinterpret_cast<const char*>(data + 1), qint64(size - 1));
  }
  const int trackCount = data[0] % 99 + 1;
  DiscInfo info;
  info.ResetToDefaults(trackCount);
  info.discId = kDiscId;
  if (info.LoadFromCache()) {
    Check(info.trackTitles.size() >= trackCount);
    for (int i = 0; i < trackCount; ++i) info.GetTrackArtist(i);
    const bool plain = AllPlain(info);
    info.SaveToCache();
    DiscInfo again;
    again.ResetToDefaults(trackCount);
    again.discId = kDiscId;
    Check(again.LoadFromCache());
    if (plain) {
      Check(again.artist == info.artist && again.album == info.album && again.year == info.year);
      Check(again.genre == info.genre && again.comment == info.comment);
      Check(again.trackTitles == info.trackTitles);
    }
    again.discId.clear();  // stored already
  }
  info.discId.clear();
  return 0;
}
