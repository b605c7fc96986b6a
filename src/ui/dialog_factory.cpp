#include "ui/dialog_factory.h"

#include <QMessageBox>

namespace {

// Dialogs not in this build: a short note, and nothing changes.
class PlaceholderDialogs : public DialogFactory {
 public:
  bool RunOptions(QWidget* parent) override { return Explain(parent, "The options dialog"); }
  bool RunEditDiscInfo(QWidget* parent, DiscInfo&) override { return Explain(parent, "The Edit Disc Info dialog"); }
  bool RunFreeDbLookup(QWidget* parent, DiscInfo&) override { return Explain(parent, "The freedb lookup dialog"); }

 private:
  static bool Explain(QWidget* parent, const char* what) {
    QMessageBox::information(parent, "Korvane",
                             QString("%1 is not part of this build yet.").arg(QLatin1String(what)));
    return false;
  }
};

}  // namespace

std::unique_ptr<DialogFactory> CreateDialogFactory() { return std::make_unique<PlaceholderDialogs>(); }
