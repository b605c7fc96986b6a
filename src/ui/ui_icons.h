#pragma once
#include <QIcon>

#include "platform/ids.h"

// Korvane's own icons, drawn for it and compiled in: "rip", "freedb", "refresh", "options",
// "format", "folder", "edit", "exit", "play", "pause", "stop", "prev", "next", "eject",
// "help", "korvane", "check_on", "check_off". An unknown name gives an empty icon.
QIcon KorvaneIcon(const char* name);
// The Format button's image for an output format: the format sheet with the format's name
// on a band of its own colour.
QIcon FormatIcon(FormatId format);
