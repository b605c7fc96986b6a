#pragma once
#include <QString>
#include <array>

// The main window's geometry rules as plain arithmetic, so they hold without widgets.
namespace WindowLayout {

constexpr int kMinWidth = 430;
constexpr int kMinWidthWithToolbar = 635;
constexpr int kMinHeight = 250;
constexpr int kBottomPanelHeight = 50;

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

struct Size {
  int width = 0;
  int height = 0;
};

// The stored rectangle made fit: a position below 0 or beyond the largest window size goes
// to 0; a width below the minimum or wider than the screen becomes the minimum, and the same
// for the height.
Rect ClampPlacement(const Rect& stored, const Size& maxTracking, const Size& screen);
// The same rule for a dialog's stored position: below 0 or beyond the limit becomes 0.
int ClampPosition(int stored, int limit);

// The smallest the window may become.
Size MinimumSize(bool toolbarShown);
// The width the window takes when the toolbar is switched on.
int WidthWithToolbarShown(int width);

// The track list's five column widths for a list of that client width: 40, the two text
// columns share what the three fixed ones leave, 65 and 65.
std::array<int, 5> ColumnWidths(int clientWidth);
// The number column's share of the list: a click there toggles the check mark.
constexpr int kCheckColumnWidth = 40;

}  // namespace WindowLayout

// The rip progress dialog's figures.
namespace ProgressText {
// "05.30 %" below 10, "45.00 %" from 10 on; 9.999 shows as "010.00 %".
QString Percent(double percent);
// "11.99x (2.07 Mb/Sec)": the speed in KiB a second against the drive's 1x speed.
QString Speed(double kibPerSecond, double oneXKibPerSecond);
// The whole rip's percent when the current run (of runBytes, after bytesBefore of
// totalBytes) is at runPercent; the run's own percent when totalBytes is 0 (a disc image).
double TotalPercent(double runPercent, long long runBytes, long long bytesBefore,
                    long long totalBytes);
}  // namespace ProgressText
