#pragma once
#include <memory>

#include "ui/dialogs/dialog_hooks.h"

class DiscInfo;
class QWidget;

// What the dialogs change in the window while they are open.
struct WindowHooks {
  OptionsHooks options;
  TrackListHooks trackList;
};

// The dialogs that come with their own work: options (with the encoder settings), Edit Disc
// Info and the freedb lookup. The window opens them only through this seam, so filling one
// in changes nothing else. Each returns true when the user confirmed it.
class DialogFactory {
 public:
  virtual ~DialogFactory() = default;
  // The factory is made before the window, which hands over its hooks once it is built.
  void SetWindowHooks(WindowHooks hooks) { hooks_ = std::move(hooks); }

  // The options dialog on the tab "ActiveOptionsTab" names.
  virtual bool RunOptions(QWidget* parent) = 0;
  virtual bool RunEditDiscInfo(QWidget* parent, DiscInfo& disc) = 0;
  // The lookup fills disc when it finds the disc.
  virtual bool RunFreeDbLookup(QWidget* parent, DiscInfo& disc) = 0;
  // The MusicBrainz lookup with its release choice; fills disc when the user took a release.
  virtual bool RunMusicBrainzLookup(QWidget*, DiscInfo&) { return false; }

 protected:
  const WindowHooks& Hooks() const { return hooks_; }

 private:
  WindowHooks hooks_;
};

// The dialogs of this build.
std::unique_ptr<DialogFactory> CreateDialogFactory();
