#pragma once
#include <QList>
#include <optional>

#include "drive/disc_type.h"
#include "platform/ids.h"

// The output formats a disc allows, in order of preference: the first is the one a refresh
// switches to when the chosen format is not among them. An audio track has no ISO image and a
// data track no audio file. Every format when there is no disc type to go by (no drive, an open
// tray, an unreadable table of contents): nothing is refused before the disc can be read.
// The formats are read from their descriptors, by kind.
QList<FormatId> AllowedFormats(const std::optional<DiscType>& type);
