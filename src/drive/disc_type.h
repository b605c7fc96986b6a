#pragma once
#include <QString>
#include <array>
#include <optional>

// Output-format command identifiers.
namespace FormatId {
constexpr int Aac = 11009;
constexpr int Mp3 = 11010;
constexpr int Ogg = 11011;
constexpr int Wav = 11012;
constexpr int Wma = 11013;
constexpr int CueBin = 11014;
constexpr int Iso = 11015;
}  // namespace FormatId

// The kind of the inserted disc and the output formats it allows, in order of preference.
struct DiscType {
  std::array<int, 8> formats{};  // entries after the last format are 0
  QString name;       // the stable class name, "CDiscTypeAudioCD"
  QString shownName;  // what a person reads, "Audio CD"

  bool Allows(int formatId) const;
  int FirstFormat() const { return formats[0]; }
};

// Classifies the disc in the current drive from its tray, TOC and DVD flag; nothing for an
// absent drive, an open tray or an unreadable TOC.
std::optional<DiscType> DetectDiscType();

// The volume identifier of the ISO 9660 primary volume descriptor (sector 16 of the first
// data track), trimmed; false when there is no data track, no descriptor or no name.
bool GetVolumeLabel(QString& label);
