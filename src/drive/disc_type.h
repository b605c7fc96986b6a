#pragma once
#include <QList>
#include <QString>
#include <optional>

#include "platform/ids.h"

// The kind of the inserted disc and the output formats it allows, in order of preference.
struct DiscType {
  QList<FormatId> formats;  // never empty
  QString name;             // the stable class name, "CDiscTypeAudioCD"
  QString shownName;        // what a person reads, "Audio CD"

  bool Allows(FormatId format) const { return formats.contains(format); }
  FormatId FirstFormat() const { return formats.first(); }
};

// Classifies the disc in the current drive from its tray, TOC and DVD flag; nothing for an
// absent drive, an open tray or an unreadable TOC.
std::optional<DiscType> DetectDiscType();

// The volume identifier of the ISO 9660 primary volume descriptor (sector 16 of the first
// data track), trimmed; false when there is no data track, no descriptor or no name.
bool GetVolumeLabel(QString& label);
