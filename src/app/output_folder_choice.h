#pragma once
#include <QString>

// What the output-folder pane shows and stores: the folder and the two sub-folder switches.
struct OutputFolderChoice {
  QString folder;
  bool forArtist = true;
  bool forAlbum = true;

  static OutputFolderChoice Load();
  // Stores the folder (at most 259 characters, without a trailing separator), then the two
  // switches, then saves the cached settings. False when the folder could not be written.
  bool Store() const;
};
