#pragma once

class IniFile;

// The settings of section "OPUS": the bit rate in kbit/s, how the encoder may vary it, and
// how much work it spends on each frame.
struct OpusSettings {
  enum Mode { Vbr = 0, ConstrainedVbr = 1, Cbr = 2 };
  static constexpr int kMinBitRate = 32;
  static constexpr int kMaxBitRate = 512;
  static constexpr int kMaxComplexity = 10;

  int bitRate = 160;
  int mode = Vbr;
  int complexity = kMaxComplexity;

  // The settings within their ranges: bit rate 32..512, a known mode (else VBR),
  // complexity 0..10.
  int BitRate() const;
  Mode RateMode() const;
  int Complexity() const;

  void Load(const IniFile& ini);
  void Save(IniFile& ini) const;
};
