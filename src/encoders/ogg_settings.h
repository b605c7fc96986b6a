#pragma once

class IniFile;

// The settings of section "OGG": quality mode (a quality step) or bit-rate-managed mode
// (three bit rates in kbit/s; -1 means "not set").
struct OggSettings {
  int vbr = 0;  // 1 quality mode, 0 managed mode
  int minBitRate = 256;
  int nomBitRate = 256;
  int maxBitRate = 256;
  int fquality = 5;  // step 0..8; other values count as 8

  // The quality of the step: 0.1 for step 0 up to 0.9 for step 8.
  float Quality() const;

  void Load(const IniFile& ini);
  void Save(IniFile& ini) const;
};
