#include "encoders/wma_settings.h"

#include "settings/ini_file.h"

void WmaSettings::Load(const IniFile& ini) {
  QString text = ini.ReadText(Key::WmaFormatString);
  if (text.isEmpty()) text = Key::WmaFormatString.DefaultText();
  formatString = text.left(kMaxDescriptionLength);
}

void WmaSettings::Save(IniFile& ini) const { ini.WriteString(Key::WmaFormatString, formatString); }
