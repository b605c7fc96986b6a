#pragma once
#include <QString>

#include "platform/ids.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"

// What a test that rips expects of the settings: WAV into its own folder, no file manager
// opened when the rip ends, and no verification against the real AccurateRip database.
inline void UseTestRipSettings(const QString& outputFolder) {
  SettingsStore& store = SettingsStore::Instance();
  store.WriteInt(Key::FormatSelected, ToStored(FormatId::Wav));
  store.WriteString(Key::OutputFolder, outputFolder);
  store.WriteInt(Key::AutoOpenOutputFolder, 0);
  store.WriteInt(Key::ArVerify, 0);
}
