#include "encoders/flac_settings.h"

#include <algorithm>

#include "settings/ini_file.h"

int FlacSettings::Level() const { return std::clamp(level, kFastestLevel, kBestLevel); }

void FlacSettings::Load(const IniFile& ini) {
  level = ini.ReadInt(Key::FlacLevel);
  verify = ini.ReadInt(Key::FlacVerify);
}

void FlacSettings::Save(IniFile& ini) const {
  ini.WriteInt(Key::FlacLevel, level);
  ini.WriteInt(Key::FlacVerify, verify);
}
