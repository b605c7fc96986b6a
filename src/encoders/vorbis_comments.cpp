#include "encoders/vorbis_comments.h"

#include "encoders/audio_encoder.h"
#include "encoders/tag_record.h"

std::vector<VorbisComment> VorbisComments(const TagRecord& tags, const TrackFacts& track) {
  static constexpr std::pair<const char*, TagRecord::Slot> kFields[] = {
      {"TITLE", TagRecord::Title},     {"ARTIST", TagRecord::Artist},
      {"ALBUM", TagRecord::Album},     {"DATE", TagRecord::Year},
      {"GENRE", TagRecord::Genre},     {"TRACKNUMBER", TagRecord::TrackNumber},
      {"COMMENT", TagRecord::Comment},
  };
  std::vector<VorbisComment> comments;
  for (const auto& [name, slot] : kFields) {
    const QString text = tags.Wide(slot).trimmed();
    if (!text.isEmpty()) comments.emplace_back(name, text.toUtf8());
  }
  if (track.trackCount > 0)
    comments.emplace_back("TRACKTOTAL", QByteArray::number(track.trackCount));
  return comments;
}
