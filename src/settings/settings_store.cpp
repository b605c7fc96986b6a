#include "settings/settings_store.h"

#include <utility>

namespace {

// The cached fields and their keys, in the order they are loaded and saved.
template <typename Visit>
void ForEachCached(SettingsStore& s, Visit visit) {
  visit(s.windowLeft, Key::WindowLeft);
  visit(s.windowTop, Key::WindowTop);
  visit(s.windowWidth, Key::WindowWidth);
  visit(s.windowHeight, Key::WindowHeight);
  visit(s.formatSelected, Key::FormatSelected);
  visit(s.accessMethod, Key::AccessMethod);
  visit(s.subDirArtist, Key::SubDirArtist);
  visit(s.subDirAlbum, Key::SubDirAlbum);
}

}  // namespace

SettingsStore::SettingsStore() : IniFile(kFileName) { Load(); }

SettingsStore& SettingsStore::Instance() {
  static SettingsStore store;
  return store;
}

void SettingsStore::Load() {
  ForEachCached(*this,
                [this](std::atomic<int>& field, const SettingKey& key) { field = ReadInt(key); });
}

void SettingsStore::Save() {
  ForEachCached(*this, [this](std::atomic<int>& field, const SettingKey& key) {
    WriteInt(key, field.load());
  });
}

bool SettingsStore::ReadOutputFolder(QString& out) const {
  if (outputFolderDefault_.isEmpty()) outputFolderDefault_ = Key::OutputFolder.DefaultText();
  return ReadString(Key::OutputFolder.section, Key::OutputFolder.key, outputFolderDefault_, out);
}

bool SettingsStore::WriteOutputFolder(const QString& folder) {
  return WriteString(Key::OutputFolder, folder);
}
