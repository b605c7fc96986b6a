#pragma once
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <memory>

#include "app/command_table.h"
#include "app/main_controller.h"
#include "app/player_control.h"
#include "ui/dialog_factory.h"

class AlbumHeader;
class BottomPanelDlg;
class ProgressDlg;
class QActionGroup;
class QComboBox;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class QUrl;
class ShowFolderOptionsDlg;
class TrackList;

// The main window: menus, the toolbar with the drive selector, the track list, the bottom
// panel and the status bar. It is the controller's front end made of widgets, as the console
// host is korvane-cli's: every command goes through the command table to the controller.
class CMainFrame : public QMainWindow, public ControllerHost, public CommandTarget {
  Q_OBJECT
 public:
  explicit CMainFrame(std::unique_ptr<DialogFactory> dialogs = CreateDialogFactory());
  ~CMainFrame() override;

  MainController& Controller() { return *controller_; }
  PlayerControl& Player() { return player_; }
  TrackList* Tracks() const { return tracks_; }
  QToolBar* ToolBar() const { return toolbar_; }
  QComboBox* DriveSelector() const { return drives_; }
  QAction* Action(int id) const { return actions_.value(id); }
  ProgressDlg* CurrentProgress() const;
  // The icon the Format button shows now (for the screenshots and the tests).
  QIcon FormatButtonIcon() const;

  // Every menu, toolbar and context-menu command comes here.
  void RunCommand(int id);
  // The track list's context menu, built and translated as the user gets it.
  QMenu* BuildContextMenu();
  // Menus, toolbar texts and the bottom panel in the current language.
  void TranslateMenus();
  // Fills the drive selector from the drive layer and reads the selected drive's disc.
  void RebuildDriveList();

  // ControllerHost
  void SetTrackRows(const QList<TrackRow>& rows) override;
  void OnDiscInfoChanged(const QList<TrackRow>& rows) override;
  void OnFormatChanged(FormatId format) override;
  void OnAllowedFormats(const QList<FormatId>& formats) override;
  void OnDriveChosen(int index) override;
  bool RunFreeDbLookup() override;
  bool RunMusicBrainzLookup() override;
  int TrackRowCount() const override;
  void ShowChecks(const TrackSelection& selection) override;
  void SetPlayingRow(int row) override;
  void ShowMessage(MessageKind kind, const QString& text) override;
  void SetMainWindowVisible(bool visible) override;
  void OpenFolder(const QString& folder) override;

  // CommandTarget
  void LookUpDisc() override;
  void Rip() override;
  void RefreshTracks() override;
  void RunOptionsDialog() override;
  void ShowAbout() override;
  void CloseMainWindow() override;
  bool RunEditDiscDialog() override;
  void DiscInfoEdited() override;
  void SelectAll() override;
  void ClearAll() override;
  void InvertSelection() override;
  void StopPlaying() override;
  void ToggleTray() override;
  void OpenOutputFolder() override;
  void OpenUrl(const QString& url) override;
  void ShowInformation(const QString& text) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QAction* MakeAction(int id, const char* icon = "");
  void BuildActions();
  void BuildMenus();
  void BuildLanguageMenu();
  void BuildToolBar();
  void BuildCentre();
  void PlaceFromSettings();
  void ApplyViewSettings();
  void ChooseFormat(FormatId format);
  void ShowFormatChoice();
  void SetToolbarShown(bool shown);
  void FitToolbarTexts();
  int ToolbarWidthWithTexts() const;
  void SetBottomPanelShown(bool shown);
  void SetAlbumHeaderShown(bool shown);
  // The header follows the disc information and the rows' count and sizes.
  void ShowAlbumHeader(const QList<TrackRow>& rows);
  void SetStatusBarShown(bool shown);
  void ChooseLanguage(QAction* action);
  void HideFolderDropDown();
  void UpdateStatus();
  void ShowRipProgress(RipJob* job);
  void ShowUnreadableSectors(const RipResult& result);
  void ShowContextMenu(const QPoint& pos);
  void ConnectDialogs();
  void ShowRipResult(const RipResult& result);
  // Opens a page or a folder in the desktop's browser or file manager; says so when none can.
  void OpenInDesktop(const QUrl& url);

  std::unique_ptr<DialogFactory> dialogs_;
  std::unique_ptr<MainController> controller_;
  PlayerControl player_{*this};
  QHash<int, QAction*> actions_;
  QActionGroup* formats_ = nullptr;
  QActionGroup* languages_ = nullptr;
  QHash<QAction*, QString> languagePaths_;
  QMenu* menus_[7] = {};
  QMenu* formatMenu_ = nullptr;
  QMenu* folderMenu_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QToolButton* formatButton_ = nullptr;
  QToolButton* openButton_ = nullptr;
  ShowFolderOptionsDlg* folderPane_ = nullptr;
  QComboBox* drives_ = nullptr;
  TrackList* tracks_ = nullptr;
  BottomPanelDlg* bottomPanel_ = nullptr;
  AlbumHeader* albumHeader_ = nullptr;
  QLabel* statusFigures_ = nullptr;
  QPointer<ProgressDlg> progress_;
  bool minimised_ = false;
  bool fillingDrives_ = false;
};
