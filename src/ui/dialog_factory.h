#pragma once
#include <memory>

class DiscInfo;
class QWidget;

// The dialogs that come with their own work: options (with the encoder settings), Edit Disc
// Info and the freedb lookup. The window opens them only through this seam, so filling one
// in changes nothing else. Each returns true when the user confirmed it.
class DialogFactory {
 public:
  virtual ~DialogFactory() = default;
  // The options dialog on the tab "ActiveOptionsTab" names.
  virtual bool RunOptions(QWidget* parent) = 0;
  virtual bool RunEditDiscInfo(QWidget* parent, DiscInfo& disc) = 0;
  // The lookup fills disc when it finds the disc.
  virtual bool RunFreeDbLookup(QWidget* parent, DiscInfo& disc) = 0;
};

// The dialogs of this build: each says that it is not part of it yet.
std::unique_ptr<DialogFactory> CreateDialogFactory();
