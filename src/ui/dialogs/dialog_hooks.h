#pragma once
#include <QList>
#include <QStringList>
#include <functional>

#include "platform/ids.h"

// What the dialogs ask of the window around them. Every hook may be empty: a dialog shown on
// its own (a test, a screenshot) then does the plain thing itself.

// The descriptions of the formats the WMA writer offers, in its order.
using WmaFormatList = std::function<QStringList()>;

// What the options dialog needs of the program around it.
struct OptionsHooks {
  // The access method changed: the drive list is built again.
  std::function<void()> rebuildDriveList;
  // The user chose an output format, already stored in "FormatSelected": the toolbar's
  // format image and the menu's mark follow at once.
  std::function<void(FormatId format)> formatChanged;
  // The read speeds the current drive supports; false when it cannot tell.
  std::function<bool(QList<int>& factors)> detectSpeeds;
  // The WMA writer's format descriptions.
  WmaFormatList wmaFormats;
  // The output formats the disc in the drive allows; the format list greys out the others.
  std::function<QList<FormatId>()> allowedFormats;
};

// What the disc dialogs do to the window's track list.
struct TrackListHooks {
  // Marks a row as the playing row, which highlights it; -1 clears the mark.
  std::function<void(int row)> markRow;
  // The record changed: the rows show its titles and artists again.
  std::function<void()> refreshRows;
  // The rows the list has: the tracks Edit Disc Info steps through.
  std::function<int()> rowCount;
};
