#pragma once
#include <QString>

class IniFile;

// The setting of section "WMA": the chosen audio format, by its description as the format
// list gives it ("128 kbps, 44 kHz, stereo CBR").
struct WmaSettings {
  static constexpr int kMaxDescriptionLength = 259;

  QString formatString = QStringLiteral("128 kbps, 44 kHz, stereo CBR");  // the key's default

  // An empty key reads as the default; a longer description is cut to its first 259 units.
  void Load(const IniFile& ini);
  void Save(IniFile& ini) const;
};
