#include "encoders/tag_record.h"

#include <algorithm>
#include <cstring>

#include "metadata/disc_info.h"
#include "platform/codepage.h"
#include "settings/ini_file.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"

void FillSlot(TagRecord& record, TagRecord::Slot slot, const QString& text) {
  const QByteArray bytes = Ansi::Encode(text);
  const qsizetype length = std::min<qsizetype>(bytes.size(), TagRecord::kMaxTextBytes);
  record.texts[slot].fill('\0');
  std::memcpy(record.texts[slot].data(), bytes.constData(), size_t(length));
  record.wide[slot] = text;
}

void FillTagRecord(TagRecord& record, const DiscInfo& info, int trackIndex) {
  for (auto& slot : record.texts) slot.fill('\0');
  for (QString& text : record.wide) text.clear();
  FillSlot(record, TagRecord::Title, info.GetTrackTitle(trackIndex));
  FillSlot(record, TagRecord::Artist, info.GetTrackArtist(trackIndex));
  FillSlot(record, TagRecord::Album, info.album);
  FillSlot(record, TagRecord::Year, info.TagText(DiscInfo::Year));
  FillSlot(record, TagRecord::Genre, info.TagText(DiscInfo::Genre));
  FillSlot(record, TagRecord::Comment, info.TagText(DiscInfo::Comment));
  FillSlot(record, TagRecord::TrackNumber, QString::number(trackIndex + 1));
  FillSlot(record, TagRecord::AlbumArtist, info.AlbumArtist());
  record.musicBrainz = {info.musicBrainz.release, info.musicBrainz.albumArtist,
                        info.musicBrainz.releaseGroup, info.TrackId(trackIndex),
                        info.RecordingId(trackIndex)};
  record.discNumber = info.discNumber;
  record.discTotal = info.discTotal;
  record.cover = EmbedsCover() ? StoredCover(info.musicBrainz.release) : CoverImage();
}

namespace {

CoverUse CoverSetting() {
  return FromStored<CoverUse>(IniFile(SettingsStore::kFileName).ReadInt(Key::MbCover));
}

}  // namespace

bool EmbedsCover() {
  const CoverUse use = CoverSetting();
  return use == CoverUse::Embed || use == CoverUse::Both;
}

bool SavesCoverFile() {
  const CoverUse use = CoverSetting();
  return use == CoverUse::File || use == CoverUse::Both;
}

QList<MusicBrainzTag> MusicBrainzTags(const TagRecord& tags) {
  const TagRecord::MusicBrainzIds& ids = tags.musicBrainz;
  const MusicBrainzTag all[] = {
      {"MusicBrainz Album Id", "MUSICBRAINZ_ALBUMID", "MusicBrainz/Album Id", ids.albumId},
      {"MusicBrainz Artist Id", "MUSICBRAINZ_ARTISTID", "MusicBrainz/Artist Id", ids.artistId},
      {"MusicBrainz Album Artist Id", "MUSICBRAINZ_ALBUMARTISTID", "MusicBrainz/Album Artist Id",
       ids.artistId},
      {"MusicBrainz Release Group Id", "MUSICBRAINZ_RELEASEGROUPID", "MusicBrainz/Release Group Id",
       ids.releaseGroupId},
      {"MusicBrainz Release Track Id", "MUSICBRAINZ_RELEASETRACKID", "MusicBrainz/Release Track Id",
       ids.releaseTrackId},
      {nullptr, "MUSICBRAINZ_TRACKID", "MusicBrainz/Track Id", ids.recordingId},
  };
  QList<MusicBrainzTag> known;
  for (const MusicBrainzTag& tag : all) {
    if (!tag.value.isEmpty()) known.append(tag);
  }
  return known;
}
