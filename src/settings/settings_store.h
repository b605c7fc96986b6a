#pragma once
#include <QString>
#include <atomic>

#include "settings/ini_file.h"

// The process-wide "korvane.ini", with eight integer settings cached for the many places
// that consult them, and the run-time flag AutoRipPending. Cached fields are written by
// the user-interface thread and may be read by workers, so each is atomic.
class SettingsStore : public IniFile {
 public:
  static constexpr const char* kFileName = "korvane.ini";

  static SettingsStore& Instance();

  // Reads the eight cached integers from the file.
  void Load();
  // Writes all eight cached integers back.
  void Save();

  bool ReadOutputFolder(QString& out) const;
  bool WriteOutputFolder(const QString& folder);

  std::atomic<int> windowLeft{Key::WindowLeft.intDefault};
  std::atomic<int> windowTop{Key::WindowTop.intDefault};
  std::atomic<int> windowWidth{Key::WindowWidth.intDefault};
  std::atomic<int> windowHeight{Key::WindowHeight.intDefault};
  std::atomic<int> formatSelected{Key::FormatSelected.intDefault};
  std::atomic<int> accessMethod{Key::AccessMethod.intDefault};
  std::atomic<int> subDirArtist{Key::SubDirArtist.intDefault};
  std::atomic<int> subDirAlbum{Key::SubDirAlbum.intDefault};

 private:
  SettingsStore();
  mutable QString outputFolderDefault_;  // computed once per instance
};
