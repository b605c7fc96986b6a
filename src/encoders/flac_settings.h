#pragma once

class IniFile;

// The settings of section "FLAC": libFLAC's compression level and whether the encoder checks
// its own output while it encodes.
struct FlacSettings {
  static constexpr int kFastestLevel = 0;
  static constexpr int kBestLevel = 8;

  int level = 5;   // 0 (fast) .. 8 (best); others are clamped
  int verify = 0;  // 1: libFLAC decodes each frame again and compares it with the input

  // The level within 0..8.
  int Level() const;

  void Load(const IniFile& ini);
  void Save(IniFile& ini) const;
};
