#pragma once
#include <QString>

class IniFile;

// The settings of section "AAC": a quality step 0..6 and the ADTS header kind.
struct AacSettings {
  int fquality = 3;
  int mpegVersion = 1;  // 1 MPEG-2 headers, 0 MPEG-4

  // The step's bit rate in kbit/s, the number its label shows (62 ... 218); 100 outside 0..6.
  int BitRate() const;
  // The step's audio bandwidth in Hz (10,000 ... 22,000); 16,000 outside 0..6.
  int Bandwidth() const;
  // The step's label for the settings dialog ("129 Kbps"); empty outside 0..6.
  QString Label() const;

  void Load(const IniFile& ini);
  void Save(IniFile& ini) const;
};
