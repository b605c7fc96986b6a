#include "encoders/opus_settings.h"

#include <algorithm>

#include "settings/ini_file.h"

int OpusSettings::BitRate() const { return std::clamp(bitRate, kMinBitRate, kMaxBitRate); }

OpusSettings::Mode OpusSettings::RateMode() const {
  return mode == ConstrainedVbr || mode == Cbr ? Mode(mode) : Vbr;
}

int OpusSettings::Complexity() const { return std::clamp(complexity, 0, kMaxComplexity); }

void OpusSettings::Load(const IniFile& ini) {
  bitRate = ini.ReadInt(Key::OpusBitRate);
  mode = ini.ReadInt(Key::OpusMode);
  complexity = ini.ReadInt(Key::OpusComplexity);
}

void OpusSettings::Save(IniFile& ini) const {
  ini.WriteInt(Key::OpusBitRate, bitRate);
  ini.WriteInt(Key::OpusMode, mode);
  ini.WriteInt(Key::OpusComplexity, complexity);
}
