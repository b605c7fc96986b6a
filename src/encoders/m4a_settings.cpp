#include "encoders/m4a_settings.h"

#include <algorithm>

#include "settings/ini_file.h"

int M4aSettings::BitRate() const { return std::clamp(bitRate, kMinBitRate, kMaxBitRate); }

void M4aSettings::Load(const IniFile& ini) { bitRate = ini.ReadInt(Key::M4aBitRate); }

void M4aSettings::Save(IniFile& ini) const { ini.WriteInt(Key::M4aBitRate, bitRate); }
