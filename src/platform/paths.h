#pragma once
#include <QString>
#include <QStringList>

// Where Korvane keeps and finds its files on this system.
namespace Paths {

// The per-user settings folder ($XDG_CONFIG_HOME/korvane, default ~/.config/korvane),
// or the folder given to SetConfigDirOverride. Created mode 0700 when missing; a folder
// that cannot be created is not reported (reads then give defaults, writes fail).
QString ConfigDir();

// Used by --config-dir: every later ConfigDir() answers this folder instead.
void SetConfigDirOverride(const QString& dir);

// The per-user state folder ($XDG_STATE_HOME/korvane, default ~/.local/state/korvane), where
// the crash report goes. Created mode 0700 when missing.
QString StateDir();

// The user's music folder (XDG), or $HOME/Music when the system names none.
QString MusicDir();

// The folder of the running executable.
QString ProgramDir();

// Folders searched for language files: the program folder, then ../share/korvane/languages.
QStringList LanguageDirs();

// Creates a folder and its parents with mode 0700 for the new ones; true when it exists after.
bool MakePrivateDir(const QString& dir);

}  // namespace Paths
