#include "cli/track_list.h"

#include <QStringList>

bool ParseTrackList(const QString& text, int trackCount, QList<int>& rows) {
  for (const QString& part : text.split(',')) {
    const QStringList range = part.split('-');
    bool okFirst = false, okLast = false;
    const int first = range.value(0).trimmed().toInt(&okFirst);
    const int last = range.size() == 2 ? range[1].trimmed().toInt(&okLast) : first;
    if (!okFirst || range.size() > 2 || (range.size() == 2 && !okLast) || first < 1 ||
        last < first || last > trackCount) {
      return false;
    }
    for (int t = first; t <= last; ++t) rows.append(t - 1);
  }
  return true;
}
