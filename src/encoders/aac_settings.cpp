#include "encoders/aac_settings.h"

#include <iterator>

#include "settings/ini_file.h"

namespace {

struct Step {
  int bitRate;
  int bandwidth;
};
constexpr Step kSteps[] = {{62, 10000},  {79, 12000},  {103, 14000}, {129, 16000},
                           {158, 18000}, {194, 20000}, {218, 22000}};
constexpr Step kOutsideSteps{100, 16000};

const Step* StepOf(int fquality) {
  return fquality >= 0 && fquality < int(std::size(kSteps)) ? &kSteps[fquality] : nullptr;
}

}  // namespace

int AacSettings::BitRate() const {
  const Step* step = StepOf(fquality);
  return (step ? *step : kOutsideSteps).bitRate;
}

int AacSettings::Bandwidth() const {
  const Step* step = StepOf(fquality);
  return (step ? *step : kOutsideSteps).bandwidth;
}

QString AacSettings::Label() const {
  const Step* step = StepOf(fquality);
  return step ? QStringLiteral("%1 Kbps").arg(step->bitRate) : QString();
}

void AacSettings::Load(const IniFile& ini) {
  fquality = ini.ReadInt(Key::AacQuality);
  mpegVersion = ini.ReadInt(Key::AacMpegVersion);
}

void AacSettings::Save(IniFile& ini) const {
  ini.WriteInt(Key::AacQuality, fquality);
  ini.WriteInt(Key::AacMpegVersion, mpegVersion);
}
