#include "encoders/mp3_settings.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "settings/ini_file.h"

namespace {

constexpr int kSliderRates[] = {64, 96, 112, 128, 160, 192, 224, 256, 320};

}  // namespace

int Mp3Settings::SliderBitRate(int position) {
  return kSliderRates[std::clamp(position, 0, int(std::size(kSliderRates)) - 1)];
}

int Mp3Settings::NearestSliderPosition(int rate) {
  int nearest = 0;
  for (int position = 1; position < int(std::size(kSliderRates)); ++position) {
    if (std::abs(kSliderRates[position] - rate) < std::abs(kSliderRates[nearest] - rate))
      nearest = position;
  }
  return nearest;
}

int Mp3Settings::VbrQuality() const { return 5 - std::clamp(fquality, 0, 5); }

void Mp3Settings::Load(const IniFile& ini) {
  minBitRate = ini.ReadInt(Key::Mp3MinBitRate);
  maxBitRate = ini.ReadInt(Key::Mp3MaxBitRate);
  if (minBitRate > maxBitRate) std::swap(minBitRate, maxBitRate);
  stereoMode = ini.ReadInt(Key::Mp3StereoMode);
  copyrighted = ini.ReadInt(Key::Mp3Copyrighted);
  crcs = ini.ReadInt(Key::Mp3CRCs);
  fquality = ini.ReadInt(Key::Mp3Quality);
  isVbr = ini.ReadInt(Key::Mp3IsVBR);
}

void Mp3Settings::Save(IniFile& ini) const {
  ini.WriteInt(Key::Mp3MinBitRate, minBitRate);
  ini.WriteInt(Key::Mp3MaxBitRate, maxBitRate);
  ini.WriteInt(Key::Mp3StereoMode, stereoMode);
  ini.WriteInt(Key::Mp3Copyrighted, copyrighted);
  ini.WriteInt(Key::Mp3CRCs, crcs);
  ini.WriteInt(Key::Mp3Quality, fquality);
  // Read as "isVBR", written as "IsVBR": key names match without regard to case.
  ini.WriteInt(QString::fromLatin1(Key::Mp3IsVBR.section), QStringLiteral("IsVBR"), isVbr);
}
