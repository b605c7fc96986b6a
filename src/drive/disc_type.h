#pragma once
#include <QString>
#include <optional>

// What the inserted disc is. Which output formats it allows is the program's decision
// (app/disc_formats.h), not the disc's.
enum class DiscKind { Dvd, DvdMultisession, DataCd, DataCdMultisession, AudioCd, MixedModeCd };

struct DiscType {
  DiscKind kind = DiscKind::AudioCd;
  QString name;       // the stable class name, "CDiscTypeAudioCD"
  QString shownName;  // what a person reads, "Audio CD"
};

// Classifies the disc in the current drive from its tray, TOC and DVD flag; nothing for an
// absent drive, an open tray or an unreadable TOC.
std::optional<DiscType> DetectDiscType();

// The volume identifier of the ISO 9660 primary volume descriptor (sector 16 of the first
// data track), trimmed; false when there is no data track, no descriptor or no name.
bool GetVolumeLabel(QString& label);
