#include "encoders/vorbis_comments.h"

#include "encoders/audio_encoder.h"
#include "encoders/picture_block.h"
#include "encoders/tag_record.h"

std::vector<VorbisComment> VorbisComments(const TagRecord& tags, const TrackFacts& track) {
  static constexpr std::pair<const char*, TagRecord::Slot> kFields[] = {
      {"TITLE", TagRecord::Title},     {"ARTIST", TagRecord::Artist},
      {"ALBUM", TagRecord::Album},     {"DATE", TagRecord::Year},
      {"GENRE", TagRecord::Genre},     {"TRACKNUMBER", TagRecord::TrackNumber},
      {"COMMENT", TagRecord::Comment}, {"ALBUMARTIST", TagRecord::AlbumArtist},
  };
  std::vector<VorbisComment> comments;
  for (const auto& [name, slot] : kFields) {
    const QString text = tags.Wide(slot).trimmed();
    if (!text.isEmpty()) comments.emplace_back(name, text.toUtf8());
  }
  if (track.trackCount > 0)
    comments.emplace_back("TRACKTOTAL", QByteArray::number(track.trackCount));
  for (VorbisComment& comment : ReleaseComments(tags)) comments.push_back(std::move(comment));
  return comments;
}

std::vector<VorbisComment> ReleaseComments(const TagRecord& tags) {
  std::vector<VorbisComment> comments;
  if (tags.discNumber > 0) {
    comments.emplace_back("DISCNUMBER", QByteArray::number(tags.discNumber));
    comments.emplace_back("DISCTOTAL", QByteArray::number(tags.discTotal));
  }
  for (const MusicBrainzTag& id : MusicBrainzTags(tags))
    comments.emplace_back(id.vorbis, id.value.toUtf8());
  return comments;
}

QByteArray PictureCommentValue(const TagRecord& tags) {
  return tags.cover.IsEmpty() ? QByteArray() : FlacPictureBlock(tags.cover).toBase64();
}
