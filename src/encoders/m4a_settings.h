#pragma once

class IniFile;

// The settings of section "M4A": the AAC bit rate in kbit/s.
struct M4aSettings {
  static constexpr int kMinBitRate = 64;
  static constexpr int kMaxBitRate = 320;

  int bitRate = 192;

  // The bit rate within 64..320.
  int BitRate() const;

  void Load(const IniFile& ini);
  void Save(IniFile& ini) const;
};
