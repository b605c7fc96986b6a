#include "drive/virtual/cd_text.h"

#include <QList>

#include <algorithm>

#include "drive/virtual/disc_image.h"
#include "platform/codepage.h"

namespace CdTextPacks {
namespace {

// READ TOC's 16-bit data length must cover the packs: texts beyond this many packs are cut.
constexpr int kMaxPacks = (0xFFFF - 2) / kPackSize;
constexpr int kMaxCharacterPosition = 15;

struct TextEntry {
  int track = 0;  // 0 = the disc
  QByteArray text;
};

void AppendPacks(uint8_t type, const QList<TextEntry>& entries, QByteArray& packs) {
  // The strings of one kind laid end to end, and for each byte the entry it belongs to and
  // its position inside that entry's string.
  QByteArray stream;
  QList<int> owner;
  QList<int> position;
  for (int i = 0; i < entries.size(); ++i) {
    const QByteArray text = entries[i].text + '\0';
    stream += text;
    for (int k = 0; k < text.size(); ++k) {
      owner.append(i);
      position.append(k);
    }
  }
  for (int at = 0; at < stream.size(); at += kTextBytes) {
    uint8_t pack[kPackSize] = {};
    pack[0] = type;
    pack[1] = uint8_t(entries[owner[at]].track);
    pack[2] = uint8_t(packs.size() / kPackSize);  // sequence number over all packs, modulo 256
    pack[3] = uint8_t(std::min(position[at], kMaxCharacterPosition));  // block 0, single-byte text
    const int length = std::min<int>(kTextBytes, stream.size() - at);
    std::copy_n(stream.constData() + at, length, pack + 4);
    const uint16_t crc = PackCrc(pack);
    pack[16] = uint8_t(crc >> 8);
    pack[17] = uint8_t(crc);
    packs.append(reinterpret_cast<const char*>(pack), kPackSize);
  }
}

QList<TextEntry> Entries(const DiscImage& disc, QString (*field)(const DiscTrack&),
                         const QString& discText) {
  QList<TextEntry> entries{{0, Ansi::Encode(discText)}};
  bool any = !discText.isEmpty();
  for (const DiscTrack& track : disc.Tracks()) {
    const QString text = field(track);
    any = any || !text.isEmpty();
    entries.append({track.number, Ansi::Encode(text)});
  }
  return any ? entries : QList<TextEntry>{};
}

}  // namespace

uint16_t PackCrc(const uint8_t* pack) {
  uint16_t crc = 0;
  for (int i = 0; i < 16; ++i) {
    crc ^= uint16_t(pack[i] << 8);
    for (int bit = 0; bit < 8; ++bit) crc = uint16_t(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return uint16_t(~crc);
}

QByteArray BuildPacks(const DiscImage& disc) {
  QByteArray packs;
  AppendPacks(kTitle,
              Entries(
                  disc, [](const DiscTrack& t) { return t.title; }, disc.Title()),
              packs);
  AppendPacks(kPerformer,
              Entries(
                  disc, [](const DiscTrack& t) { return t.performer; }, disc.Performer()),
              packs);
  packs.truncate(kMaxPacks * kPackSize);
  return packs;
}

}  // namespace CdTextPacks
