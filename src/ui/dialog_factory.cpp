#include "ui/dialog_factory.h"

#include "metadata/disc_info.h"
#include "ui/dialogs/disc_dialogs.h"
#include "ui/dialogs/musicbrainz_dialog.h"
#include "ui/dialogs/options_dlg.h"

namespace {

class KorvaneDialogs : public DialogFactory {
 public:
  bool RunOptions(QWidget* parent) override {
    OptionsDlg dlg(Hooks().options, parent);
    return dlg.exec() == QDialog::Accepted;
  }
  bool RunEditDiscInfo(QWidget* parent, DiscInfo& disc) override {
    const TrackListHooks& rows = Hooks().trackList;
    const int trackCount = rows.rowCount ? rows.rowCount() : int(disc.trackTitles.size());
    EnterDiscInfoDlg dlg(disc, trackCount, rows, parent);
    return dlg.exec() == QDialog::Accepted;
  }
  bool RunFreeDbLookup(QWidget* parent, DiscInfo& disc) override {
    // Its "Options" button opens the same options dialog as the window's command.
    FreeDBDlg dlg(
        disc, [this](QWidget* owner) { RunOptions(owner); }, parent);
    return dlg.exec() == QDialog::Accepted;
  }
  bool RunMusicBrainzLookup(QWidget* parent, DiscInfo& disc) override {
    MusicBrainzDlg dlg(disc, parent);
    dlg.Start();
    return dlg.exec() == QDialog::Accepted;
  }
};

}  // namespace

std::unique_ptr<DialogFactory> CreateDialogFactory() { return std::make_unique<KorvaneDialogs>(); }
