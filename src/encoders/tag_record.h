#pragma once
#include <QString>
#include <array>

class DiscInfo;

// The tag texts of one track for the encoders that write tags: one zero-terminated
// Windows-1252 string of at most kMaxTextBytes bytes a slot (for tags that hold only that code
// page, such as ID3v1), and the same texts whole, for tags that hold Unicode. An empty slot is
// not known and gets no tag. A new kind of text joins as a slot in front of SlotCount.
struct TagRecord {
  enum Slot { Title, Artist, Album, Year, Genre, Comment, TrackNumber, AlbumArtist, SlotCount };
  static constexpr int kSlotBytes = 512;
  static constexpr int kMaxTextBytes = kSlotBytes - 1;

  const char* Text(Slot slot) const { return texts[slot].data(); }
  const QString& Wide(Slot slot) const { return wide[slot]; }

  std::array<std::array<char, kSlotBytes>, SlotCount> texts{};
  std::array<QString, SlotCount> wide;
};

// Clears the record and fills it for the track at a 0-based index: its title and artist,
// the album and album artist, the year, genre and comment of the disc where they are known,
// and the 1-based track number.
void FillTagRecord(TagRecord& record, const DiscInfo& info, int trackIndex);
