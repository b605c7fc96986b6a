#pragma once
#include <QList>
#include <QString>
#include <cstdint>

#include "platform/cd_text_packs.h"

// Title and performer of the disc (record 0) or of track t (record t).
struct CdTextRecord {
  QString title;
  QString performer;
};

struct CdText {
  QList<CdTextRecord> records;  // the disc, then tracks 1..n
};

namespace CdTextPacks {
constexpr int kMaxFieldBytes = 511;  // a field never grows past this
}  // namespace CdTextPacks

// Walks the title and performer packs of a READ TOC format 5 response (4-byte header, then
// 18-byte packs; dataLength is the length from bytes 0..1) into trackCount + 1 records.
// Text that runs over a pack's end continues in the next pack; a pack that holds the end of
// one track's text goes on with the next track's. Packs that name a track beyond the records,
// and packs that run past the bytes given, are left out. Text is Windows-1252.
CdText ParseCdText(const uint8_t* response, int responseBytes, int dataLength, int trackCount);

// Reads the CD-TEXT of the disc in the current drive. False when no drive is present, the
// drive returns no CD-TEXT, or the TOC has no tracks.
bool LoadCdText(CdText& text);
