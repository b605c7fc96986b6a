#include "app/output_folder_choice.h"

#include "settings/settings_store.h"

namespace {
constexpr int kMaxFolderLength = 259;
}

OutputFolderChoice OutputFolderChoice::Load() {
  SettingsStore& store = SettingsStore::Instance();
  store.Load();
  OutputFolderChoice choice;
  store.ReadOutputFolder(choice.folder);
  choice.forArtist = store.subDirArtist != 0;
  choice.forAlbum = store.subDirAlbum != 0;
  return choice;
}

bool OutputFolderChoice::Store() const {
  QString text = folder.left(kMaxFolderLength);
  // The root folder keeps its only separator.
  while (text.size() > 1 && (text.endsWith('/') || text.endsWith('\\'))) text.chop(1);
  SettingsStore& store = SettingsStore::Instance();
  const bool written = store.WriteOutputFolder(text);
  store.subDirArtist = forArtist ? 1 : 0;
  store.subDirAlbum = forAlbum ? 1 : 0;
  store.Save();
  return written;
}
