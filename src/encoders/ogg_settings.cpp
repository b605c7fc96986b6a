#include "encoders/ogg_settings.h"

#include "settings/ini_file.h"

float OggSettings::Quality() const {
  constexpr int kTopStep = 8;
  const int step = fquality < 0 || fquality > kTopStep ? kTopStep : fquality;
  return float(step + 1) / 10.0f;
}

void OggSettings::Load(const IniFile& ini) {
  vbr = ini.ReadInt(Key::OggVBR);
  minBitRate = ini.ReadInt(Key::OggMinBitRate);
  nomBitRate = ini.ReadInt(Key::OggNomBitRate);
  maxBitRate = ini.ReadInt(Key::OggMaxBitRate);
  fquality = ini.ReadInt(Key::OggQuality);
}

void OggSettings::Save(IniFile& ini) const {
  ini.WriteInt(Key::OggVBR, vbr);
  ini.WriteInt(Key::OggMinBitRate, minBitRate);
  ini.WriteInt(Key::OggNomBitRate, nomBitRate);
  ini.WriteInt(Key::OggMaxBitRate, maxBitRate);
  ini.WriteInt(Key::OggQuality, fquality);
}
