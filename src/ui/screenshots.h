#pragma once
#include <QString>

class CMainFrame;

// Saves pictures of the windows as PNG files in folder, in English and then in the first
// other language found: the main window, the output-folder pane, the rip progress dialog
// and the about text. Returns the files written.
QStringList TakeScreenshots(CMainFrame& frame, const QString& folder);
