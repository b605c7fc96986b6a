// libFuzzer target: any bytes as a CUE sheet, and every sheet that parses laid out on the disc
// with file sizes taken from the input, must give an answer without crashing.
#include <QByteArray>
#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>

#include "drive/virtual/cue_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  CueSheet sheet;
  QString error;
  if (!ParseCueSheet(bytes, &sheet, &error)) return 0;
  QList<qint64> sizes;
  for (int i = 0; i < sheet.files.size(); ++i) {
    const qint64 seed = size > 0 ? data[(i * 7) % size] : 0;
    sizes.append(seed * 2352 * 75 + (i % 2) * 1000);  // up to about four minutes, sometimes ragged
  }
  DiscLayout layout;
  if (LayOutCueSheet(sheet, sizes, &layout, &error)) {
    for (const DiscTrack& track : layout.tracks) {
      if (track.pregapStart > track.start || track.start >= track.end) __builtin_trap();
    }
  }
  return 0;
}
