#pragma once
#include <QList>

// Tries every even factor from 2 to 64 on the current drive and keeps those it reports back
// exactly; the drive's speed before detection is restored. True with an empty list when the
// tray is open; false without a drive or when the drive stops answering.
bool DetectSpeeds(QList<int>& factors);

// The "Load/Eject" command: stops playback, then ejects a closed tray or loads an open one.
// False when the tray state cannot be read or another use holds the drive.
bool ToggleTray();

enum class DiscState { Ready, NoDrive, TrayOpen, NoDisc };

// Whether the current drive holds a disc whose table of contents can be read.
DiscState CurrentDiscState();
