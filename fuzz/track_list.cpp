// korvane-cli's --tracks list over any text: every row it gives names a track of the disc.
#include <QList>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "cli/track_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int trackCount = data[0] % 100;
  const QString text =
      QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
  QList<int> rows;
  QString error;
  if (ParseTrackList(text, trackCount, rows, error)) {
    for (int row : rows) {
      if (row < 0 || row >= trackCount) __builtin_trap();
    }
  }
  return 0;
}
