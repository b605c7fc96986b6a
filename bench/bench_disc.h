#pragma once
#include <QString>

#include "drive/cd_device.h"
#include "drive/drive_context.h"
#include "drive/virtual/virtual_drive.h"

// The CUE sheet of a disc image in one BIN file, cut into tracks of equal length.
inline QString EqualTracksCueSheet(const QString& binName, int discSectors, int tracks) {
  QString sheet = QStringLiteral("FILE \"%1\" BINARY\n").arg(binName);
  for (int t = 0; t < tracks; ++t) {
    const int start = t * (discSectors / tracks);
    sheet += QStringLiteral("  TRACK %1 AUDIO\n    INDEX 01 %2:%3:%4\n")
                 .arg(t + 1, 2, 10, QChar('0'))
                 .arg(start / 4500, 2, 10, QChar('0'))
                 .arg(start / 75 % 60, 2, 10, QChar('0'))
                 .arg(start % 75, 2, 10, QChar('0'));
  }
  return sheet;
}

// Loads a CUE sheet into the virtual drive vcd0, makes it the current drive and reads its
// table of contents, as a rip does before reading.
inline CdDevice& InsertInVirtualDrive(const QString& cuePath) {
  VirtualDriveHost::Instance().Drive(0).LoadCue(cuePath, nullptr);
  UseConfiguredDevice();
  DriveContext::Instance().SelectDriveByDisplayName("[vcd0] KORVANE VIRTUAL CD");
  CdDevice& device = *DriveContext::Instance().device.load();
  int count = 0;
  device.GetTrackCount(count);
  return device;
}
