#include "drive/cd_text.h"

#include <QByteArray>
#include <vector>

#include "drive/cd_device.h"
#include "drive/drive_context.h"
#include "platform/codepage.h"

namespace {

using namespace CdTextPacks;

struct RawRecord {
  QByteArray fields[2];  // title, performer
};

// Bytes from pos up to the next zero byte or the end of the text area.
QByteArray TextRun(const uint8_t* text, int& pos) {
  const int begin = pos;
  while (pos < kTextBytes && text[pos] != 0) ++pos;
  return QByteArray(reinterpret_cast<const char*>(text + begin), pos - begin);
}

void Append(QByteArray& field, const QByteArray& run) {
  field.append(run.left(std::max<qsizetype>(0, kMaxFieldBytes - field.size())));
}

void WalkPack(const uint8_t* pack, std::vector<RawRecord>& records) {
  const int field = pack[0] == kTitle ? 0 : 1;
  size_t track = pack[1];
  const uint8_t* text = pack + 4;
  if (track >= records.size()) return;
  int pos = 0;
  Append(records[track].fields[field], TextRun(text, pos));
  ++pos;  // past the zero byte
  while (pos < kTextBytes) {
    // text[12] is the first CRC byte: two zeros here mean the rest of the pack is padding.
    if (text[pos] == 0 && text[pos + 1] == 0) return;
    if (++track >= records.size()) return;
    QByteArray& next = records[track].fields[field];
    next.clear();
    Append(next, TextRun(text, pos));
    ++pos;
  }
}

}  // namespace

CdText ParseCdText(const uint8_t* response, int responseBytes, int dataLength, int trackCount) {
  std::vector<RawRecord> records(static_cast<size_t>(std::max(0, trackCount)) + 1);
  if (dataLength >= 4) {
    const int packs = (dataLength + 14) / kPackSize;
    for (int i = 0; i < packs; ++i) {
      const int offset = 4 + i * kPackSize;
      if (offset + kPackSize > responseBytes) break;
      const uint8_t* pack = response + offset;
      if (pack[0] == kTitle || pack[0] == kPerformer) WalkPack(pack, records);
    }
  }
  CdText result;
  for (const RawRecord& raw : records) {
    result.records.append({Ansi::Decode(raw.fields[0]), Ansi::Decode(raw.fields[1])});
  }
  return result;
}

bool LoadCdText(CdText& text) {
  const DriveContext& context = DriveContext::Instance();
  CdDevice* device = context.device.load();
  if (!device || !context.present.load()) return false;
  std::vector<uint8_t> buffer(CdDevice::kCdTextBufferSize);
  int length = 0;
  int count = 0;
  if (!device->ReadCdText(buffer.data(), length) || !device->GetTrackCount(count)) return false;
  text = ParseCdText(buffer.data(), static_cast<int>(buffer.size()), length, count);
  return true;
}
