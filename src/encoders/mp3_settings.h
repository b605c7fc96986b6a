#pragma once

class IniFile;

// The settings of section "MP3". The codec reads the bit rates, mode and the three flags;
// the quality slider position and the variable-bit-rate switch serve the settings dialog.
struct Mp3Settings {
  enum StereoMode { Stereo = 0, JointStereo = 1, DualChannel = 2, Mono = 3 };

  int minBitRate = 256;  // kbit/s; the lowest bit rate when variable
  int maxBitRate = 256;  // a value other than minBitRate switches variable bit rate on
  int stereoMode = Stereo;
  int copyrighted = 0;
  int crcs = 0;
  int fquality = 3;  // slider position 0..8
  int isVbr = 0;

  bool IsVariable() const { return minBitRate != maxBitRate; }
  // The bit rate a slider position stands for (64 ... 320 kbit/s); positions outside 0..8
  // are taken as the nearest end.
  static int SliderBitRate(int position);
  // The slider position whose bit rate is nearest to rate (the lower one on a tie).
  static int NearestSliderPosition(int rate);

  void Load(const IniFile& ini);
  void Save(IniFile& ini) const;
};
