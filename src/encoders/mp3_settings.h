#pragma once

class IniFile;

// The settings of section "MP3". The codec reads the bit rates, mode, the three flags and, for
// variable bit rate, the quality slider's position; the variable-bit-rate switch serves the
// settings dialog. The bit rates are always ones the encoder takes (see Load).
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
  // The library's VBR quality (0 best .. 9 worst) for variable bit rate: 5 minus the slider's
  // position, so 2 at the default position 3 and 0 from position 5 up. The levels below 5 cut
  // the high band audibly, so no position reaches them.
  int VbrQuality() const;
  // The bit rate a slider position stands for (64 ... 320 kbit/s); positions outside 0..8
  // are taken as the nearest end.
  static int SliderBitRate(int position);
  // The slider position whose bit rate is nearest to rate (the lower one on a tie).
  static int NearestSliderPosition(int rate);

  // A stored rate the encoder does not take is read as the nearest one it takes, and two rates
  // stored the wrong way round as the range between them.
  void Load(const IniFile& ini);
  void Save(IniFile& ini) const;
};
