#include "cli/track_list.h"

#include <QStringList>

bool ParseTrackList(const QString& text, int trackCount, QList<int>& rows, QString& error) {
  for (const QString& part : text.split(',')) {
    const QStringList range = part.split('-');
    bool okFirst = false, okLast = false;
    const int first = range.value(0).trimmed().toInt(&okFirst);
    const int last = range.size() == 2 ? range[1].trimmed().toInt(&okLast) : first;
    if (!okFirst || range.size() > 2 || (range.size() == 2 && !okLast) || last < first) {
      error = QString("bad track list \"%1\": give track numbers and ranges, e.g. 1,3-5").arg(text);
      return false;
    }
    const int missing = first < 1 ? first : last;
    if (missing < 1 || missing > trackCount) {
      error = QString("no track %1: the disc has %2 track%3")
                  .arg(missing)
                  .arg(trackCount)
                  .arg(trackCount == 1 ? "" : "s");
      return false;
    }
    for (int t = first; t <= last; ++t) rows.append(t - 1);
  }
  return true;
}
