#include "metadata/disc_info.h"

#include <algorithm>

#include "settings/ini_file.h"

namespace {

constexpr int kMaxTracks = 99;
// Cached track keys are read up to this number, a little past the largest disc.
constexpr int kLastCachedTrackKey = 101;

const QString& EmptyText() {
  static const QString empty;
  return empty;
}

QString Latin(const char* text) { return QString::fromLatin1(text); }

QString TrackKey(const char* prefix, int trackNumber) {
  return Latin(prefix) + QString::number(trackNumber);
}

IniFile Cache() { return IniFile(QString::fromLatin1(DiscInfo::kCacheFileName)); }

// Reads keys prefix1, prefix2, ... into list until the first key that is absent; a
// value equal to its own key name counts as absent. Only the disc's own tracks are read:
// keys past the end of the list belong to no track.
void LoadNumberedKeys(const IniFile& cache, const QString& section, const char* prefix,
                      QStringList& list) {
  const int last = std::min<int>(kLastCachedTrackKey, int(list.size()));
  for (int n = 1; n <= last; ++n) {
    const QString key = TrackKey(prefix, n);
    QString value;
    if (!cache.ReadString(section, key, key, value)) return;
    list[n - 1] = value;
  }
}

void SetOrAppend(QStringList& list, int index, const QString& value) {
  if (index < list.size()) {
    list[index] = value;
  } else {
    list.append(value);
  }
}

}  // namespace

QString DiscInfo::DefaultTrackTitle(int trackNumber) {
  return QStringLiteral("Track %1").arg(trackNumber, 2, 10, QLatin1Char('0'));
}

bool DiscInfo::ResetToDefaults(int trackCount) {
  discId = Latin(kNoDiscId);
  artist = Latin(kUnknownArtist);
  album = Latin(kUnknownAlbum);
  year = Latin(kDefaultYear);
  genre = Latin(kDefaultGenre);
  comment = Latin(kDefaultComment);
  trackTitles.clear();
  trackArtists.clear();
  musicBrainz = MusicBrainzIds();
  discNumber = 0;
  discTotal = 0;
  known_ = 0;
  unsavedVarious_.reset();
  if (trackCount < 1 || trackCount > kMaxTracks) return false;
  for (int n = 1; n <= trackCount; ++n) {
    trackTitles.append(DefaultTrackTitle(n));
    trackArtists.append(Latin(kUnknownArtist));
  }
  return true;
}

bool DiscInfo::InitForDisc(const TocAddresses& toc) {
  ResetToDefaults(toc.HasValidTrackCount() ? int(toc.trackStarts.size()) : 0);
  discId = DiscIdText(ComputeDiscId(toc));
  return LoadFromCache();
}

bool DiscInfo::IsInCache() const { return Cache().HasKeys(discId); }

bool DiscInfo::LoadFromCache() {
  if (!IsInCache()) return false;
  const IniFile cache = Cache();
  cache.ReadString(discId, QStringLiteral("Disc_Title"), Latin(kUnknownAlbum), album);
  // A detail stored at its placeholder value ("Disc_Genre=Rock") was confirmed: it is known.
  auto loadDetail = [&](const QString& key, Detail detail, QString& field) {
    if (cache.ReadString(discId, key, Latin(Placeholder(detail)), field)) return;
    if (QString stored; cache.ReadString(discId, key, QString(), stored)) SetKnown(detail);
  };
  loadDetail(QStringLiteral("Disc_Year"), Year, year);
  loadDetail(QStringLiteral("Disc_Genre"), Genre, genre);
  loadDetail(QStringLiteral("Disc_Comment"), Comment, comment);
  LoadNumberedKeys(cache, discId, "Track_", trackTitles);
  if (GetVariousArtists() == 1) LoadNumberedKeys(cache, discId, "Artist_", trackArtists);
  // On a various-artists disc the disc artist is the album artist.
  cache.ReadString(discId, QStringLiteral("Disc_Artist"), Latin(kUnknownArtist), artist);
  LoadMusicBrainz(cache);
  return true;
}

void DiscInfo::LoadMusicBrainz(const IniFile& cache) {
  cache.ReadString(discId, QStringLiteral("MB_Release"), QString(), musicBrainz.release);
  cache.ReadString(discId, QStringLiteral("MB_ReleaseGroup"), QString(), musicBrainz.releaseGroup);
  cache.ReadString(discId, QStringLiteral("MB_AlbumArtist"), QString(), musicBrainz.albumArtist);
  discNumber = cache.ReadInt(discId, QStringLiteral("Disc_Number"), 0);
  discTotal = cache.ReadInt(discId, QStringLiteral("Disc_Total"), 0);
  musicBrainz.recordings.clear();
  musicBrainz.tracks.clear();
  if (musicBrainz.release.isEmpty()) return;
  for (int n = 1; n <= trackTitles.size(); ++n) {
    QString recording, track;
    cache.ReadString(discId, TrackKey("MB_Recording", n), QString(), recording);
    cache.ReadString(discId, TrackKey("MB_Track", n), QString(), track);
    musicBrainz.recordings.append(recording);
    musicBrainz.tracks.append(track);
  }
}

void DiscInfo::ForgetRelease() {
  musicBrainz = MusicBrainzIds();
  discNumber = 0;
  discTotal = 0;
}

void DiscInfo::AddMusicBrainzKeys(QList<std::pair<QString, QString>>& entries) const {
  if (musicBrainz.release.isEmpty()) {
    // A release cached before is forgotten: without it, no track id or set place is read.
    QString cached;
    Cache().ReadString(discId, QStringLiteral("MB_Release"), QString(), cached);
    if (!cached.isEmpty()) {
      entries.append({QStringLiteral("MB_Release"), QString()});
      entries.append({QStringLiteral("Disc_Number"), QStringLiteral("0")});
      entries.append({QStringLiteral("Disc_Total"), QStringLiteral("0")});
    }
    return;
  }
  entries.append({QStringLiteral("MB_Release"), musicBrainz.release});
  entries.append({QStringLiteral("MB_ReleaseGroup"), musicBrainz.releaseGroup});
  entries.append({QStringLiteral("MB_AlbumArtist"), musicBrainz.albumArtist});
  entries.append({QStringLiteral("Disc_Number"), QString::number(discNumber)});
  entries.append({QStringLiteral("Disc_Total"), QString::number(discTotal)});
  for (int i = 0; i < trackTitles.size(); ++i) {
    entries.append({TrackKey("MB_Recording", i + 1), RecordingId(i)});
    entries.append({TrackKey("MB_Track", i + 1), TrackId(i)});
  }
}

bool DiscInfo::SaveToCache() const {
  // Collected first and written in one replace of the file, which may hold many discs.
  IniFile::TextEntries entries;
  auto addIfChanged = [&](const QString& key, const QString& value, const QString& defaultValue) {
    if (value != defaultValue) entries.append({key, value});
  };
  auto addIfKnown = [&](const QString& key, Detail detail) {
    if (IsKnown(detail)) entries.append({key, DetailText(detail)});
  };
  addIfChanged(QStringLiteral("Disc_Title"), album, Latin(kUnknownAlbum));
  addIfKnown(QStringLiteral("Disc_Year"), Year);
  addIfKnown(QStringLiteral("Disc_Genre"), Genre);
  addIfKnown(QStringLiteral("Disc_Comment"), Comment);
  if (unsavedVarious_) entries.append({QStringLiteral("VA"), QString::number(*unsavedVarious_)});
  AddNumberedKeys(
      entries, "Track_", int(trackTitles.size()), [&](int i) { return trackTitles[i]; },
      [](int i) { return DefaultTrackTitle(i + 1); });
  if (GetVariousArtists() == 1) {
    AddNumberedKeys(
        entries, "Artist_", int(trackArtists.size()), [&](int i) { return GetTrackArtist(i); },
        [](int) { return Latin(kUnknownArtist); });
  }
  addIfChanged(QStringLiteral("Disc_Artist"), artist, Latin(kUnknownArtist));
  AddMusicBrainzKeys(entries);
  return entries.isEmpty() || Cache().WriteStrings(discId, entries);
}

QString DiscInfo::CachePath() { return Cache().Path(); }

void DiscInfo::AddNumberedKeys(QList<std::pair<QString, QString>>& entries, const char* prefix,
                               int count, const std::function<QString(int)>& value,
                               const std::function<QString(int)>& defaultValue) {
  // Loading stops at the first absent key, so the default values in front of the last
  // changed one are written too: the saved run of keys has no gap and loads back whole.
  int end = count;
  while (end > 0 && value(end - 1) == defaultValue(end - 1)) --end;
  for (int i = 0; i < end; ++i) entries.append({TrackKey(prefix, i + 1), value(i)});
}

int DiscInfo::GetVariousArtists() const {
  if (unsavedVarious_) return *unsavedVarious_;
  return Cache().ReadInt(discId, QStringLiteral("VA"), 0);
}

bool DiscInfo::SetVariousArtists(int various) {
  unsavedVarious_.reset();
  Cache().WriteInt(discId, QStringLiteral("VA"), various);
  return true;
}

const char* DiscInfo::Placeholder(Detail detail) {
  switch (detail) {
    case Year: return kDefaultYear;
    case Genre: return kDefaultGenre;
    case Comment: return kDefaultComment;
  }
  return "";
}

const QString& DiscInfo::DetailText(Detail detail) const {
  switch (detail) {
    case Year: return year;
    case Genre: return genre;
    case Comment: return comment;
  }
  return EmptyText();
}

bool DiscInfo::IsKnown(Detail detail) const {
  return (known_ & detail) != 0 || DetailText(detail) != Latin(Placeholder(detail));
}

QString DiscInfo::TagText(Detail detail) const {
  return IsKnown(detail) ? DetailText(detail) : QString();
}

QString DiscInfo::AlbumArtist() const {
  const bool named = !artist.isEmpty() && artist != Latin(kUnknownArtist);
  return GetVariousArtists() == 1 && !named ? Latin(kVariousArtists) : artist;
}

const QString& DiscInfo::GetTrackTitle(int index) const {
  if (index < 0 || index >= trackTitles.size()) return EmptyText();
  return trackTitles[index];
}

const QString& DiscInfo::GetTrackArtist(int index) const {
  if (index < 0 || index >= trackArtists.size()) return EmptyText();
  return GetVariousArtists() == 1 ? trackArtists[index] : artist;
}

namespace {

// The one performer of the whole disc: the disc's own, else the one every track names.
// Empty when the tracks name someone else than the disc, or name different performers.
QString SinglePerformer(const CdText& text, int trackCount) {
  QString single = text.records.isEmpty() ? QString() : text.records[0].performer;
  for (int t = 1; t <= trackCount && t < text.records.size(); ++t) {
    const QString& performer = text.records[t].performer;
    if (performer.isEmpty() || performer == single) continue;
    if (!single.isEmpty()) return QString();
    single = performer;
  }
  return single;
}

bool NamesPerformers(const CdText& text) {
  return std::any_of(text.records.begin(), text.records.end(),
                     [](const CdTextRecord& record) { return !record.performer.isEmpty(); });
}

}  // namespace

void DiscInfo::ImportCdText(const CdText& text, int trackCount) {
  const QString single = SinglePerformer(text, trackCount);
  if (!single.isEmpty()) artist = single;
  // A track artist of its own only when the tracks name different performers.
  if (single.isEmpty() && NamesPerformers(text)) MarkVariousArtists(1);
  const CdTextRecord none;
  auto record = [&](int index) -> const CdTextRecord& {
    return index < text.records.size() ? text.records[index] : none;
  };
  if (!record(0).title.isEmpty()) album = record(0).title;
  if (!record(0).performer.isEmpty()) artist = record(0).performer;
  for (int i = 0; i < trackCount; ++i) {
    if (const QString& title = record(i + 1).title; !title.isEmpty())
      SetOrAppend(trackTitles, i, title);
    if (const QString& performer = record(i + 1).performer; !performer.isEmpty()) {
      SetOrAppend(trackArtists, i, performer);
    }
  }
}
