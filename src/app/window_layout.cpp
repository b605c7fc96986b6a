#include "app/window_layout.h"

#include <algorithm>

namespace WindowLayout {

int ClampPosition(int stored, int limit) { return stored < 0 || stored > limit ? 0 : stored; }

Rect ClampPlacement(const Rect& stored, const Size& maxTracking, const Size& screen) {
  Rect placed;
  placed.x = ClampPosition(stored.x, maxTracking.width);
  placed.y = ClampPosition(stored.y, maxTracking.height);
  placed.width = stored.width < kMinWidth || stored.width > screen.width ? kMinWidth : stored.width;
  placed.height =
      stored.height < kMinHeight || stored.height > screen.height ? kMinHeight : stored.height;
  return placed;
}

Size MinimumSize(bool toolbarShown) {
  return {toolbarShown ? kMinWidthWithToolbar : kMinWidth, kMinHeight};
}

int WidthWithToolbarShown(int width) { return std::max(width, kMinWidthWithToolbar); }

std::array<int, 5> ColumnWidths(int clientWidth) {
  const int text = std::max(0, (clientWidth - 170) / 2);
  return {kCheckColumnWidth, text, text, 65, 65};
}

}  // namespace WindowLayout

namespace ProgressText {

QString Percent(double percent) {
  return QString::asprintf(percent < 10 ? "0%2.02f %c" : "%2.02f %c", percent, '%');
}

QString Speed(double kibPerSecond, double oneXKibPerSecond) {
  const double factor = oneXKibPerSecond > 0 ? kibPerSecond / oneXKibPerSecond : 0;
  return QString::asprintf("%2.02f%c (%2.02f Mb/Sec)", factor, 'x', kibPerSecond / 1024.0);
}

double TotalPercent(double runPercent, long long runBytes, long long bytesBefore,
                    long long totalBytes) {
  if (totalBytes <= 0) return runPercent;
  const double done = double(bytesBefore) + double(runBytes) * runPercent / 100.0;
  return std::clamp(done * 100.0 / double(totalBytes), 0.0, 100.0);
}

}  // namespace ProgressText
