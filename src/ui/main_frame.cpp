#include "ui/main_frame.h"

#include <QAbstractItemView>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QThread>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidgetAction>
#include <utility>

#include "app/window_layout.h"
#include "drive/drive_actions.h"
#include "drive/drive_context.h"
#include "platform/cd_sector.h"
#include "platform/version.h"
#include "player/playback.h"
#include "settings/settings_store.h"
#include "texts/language_manager.h"
#include "ui/about_credits.h"
#include "ui/album_header.h"
#include "ui/bottom_panel.h"
#include "ui/dialogs/folder_pane.h"
#include "ui/progress_dlg.h"
#include "ui/track_list.h"
#include "ui/ui_icons.h"

namespace {

constexpr const char* kProductName = "Korvane";
constexpr unsigned kPleaseInsertDiscTextId = 902;
constexpr unsigned kNoTrackTickedTextId = 9210;
constexpr unsigned kFormatNotAllowedTextId = 9211;  // %1 the format, %2 the allowed ones
constexpr unsigned kNotWrittenTextId = 9212;
constexpr unsigned kCouldNotOpenTextId = 9213;  // %1 the page or folder
// The drive selector is never narrower: a drive's name stays readable beside the buttons.
constexpr int kDriveSelectorMinWidth = 170;
constexpr int kDriveSelectorMargin = 6;  // left and right of it in the toolbar
// The menu bar's pop-ups by position, and their texts.
constexpr unsigned kMenuTitleTextIds[7] = {6000, 6100, 6201, 946, 6401, 6501, 921};
enum MenuPosition { FileMenu, ViewMenu, DiscMenu, FormatMenu, ToolsMenu, LanguageMenu, HelpMenu };

QString Text(unsigned id) { return LanguageManager::Instance().Text(id); }

// The format's name as the Format menu shows it.
QString FormatText(FormatId format) {
  for (const FormatCommand& command : FormatCommands()) {
    if (command.format == format) return QString::fromLatin1(command.text);
  }
  return {};
}

bool IsFormatCommand(int id) {
  for (const FormatCommand& format : FormatCommands()) {
    if (ToStored(format.format) == id) return true;
  }
  return false;
}

}  // namespace

CMainFrame::CMainFrame(std::unique_ptr<DialogFactory> dialogs) : dialogs_(std::move(dialogs)) {
  SettingsStore::Instance().Load();
  UseConfiguredDevice();
  controller_ = std::make_unique<MainController>(*this);
  connect(controller_.get(), &MainController::RipStarted, this, &CMainFrame::ShowRipProgress);
  // The player reports on its own thread; the widgets change on this one.
  connect(&PlayerEvents::Instance(), &PlayerEvents::Report, this,
          [this](const QString& state) { player_.OnPlayerReport(state); });
  ConnectDialogs();

  setWindowTitle(kProductName);
  setWindowIcon(KorvaneIcon("korvane"));
  BuildActions();
  BuildMenus();
  BuildToolBar();
  BuildCentre();
  statusFigures_ = new QLabel;
  statusBar()->addPermanentWidget(statusFigures_);
  TranslateMenus();
  ShowFormatChoice();
  ApplyViewSettings();
  PlaceFromSettings();
  RebuildDriveList();
}

CMainFrame::~CMainFrame() {
  StopPlayback();
  WaitForPlayersToEnd();
}

void CMainFrame::ConnectDialogs() {
  WindowHooks hooks;
  hooks.options.rebuildDriveList = [this] { RebuildDriveList(); };
  hooks.options.formatChanged = [this](FormatId format) { controller_->ChooseFormat(format); };
  hooks.options.allowedFormats = [this] { return controller_->DiscFormats(); };
  hooks.options.detectSpeeds = [this](QList<int>& factors) {
    player_.Stop();  // the preview leaves the drive to the speed probe
    return ::DetectSpeeds(factors);
  };
  hooks.trackList.markRow = [this](int row) { tracks_->SetPlayingRow(row); };
  hooks.trackList.refreshRows = [this] { controller_->ShowDiscInfo(); };
  hooks.trackList.rowCount = [this] { return TrackRowCount(); };
  dialogs_->SetWindowHooks(std::move(hooks));
}

// The dialog is modal to the application but does not block: the controller waits for the
// job's end in its own loop, and the dialog closes itself on it, or stays with the summary
// of a verified rip until the user closes it or the next rip starts.
void CMainFrame::ShowRipProgress(RipJob* job) {
  if (progress_) progress_->close();
  auto* dialog = new ProgressDlg(
      *job, this, [this] { OpenOutputFolder(); },
      [this](const QString& file) { OpenInDesktop(QUrl::fromLocalFile(file)); });
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  progress_ = dialog;
  dialog->open();
}

QAction* CMainFrame::MakeAction(int id, const char* icon) {
  auto* action = new QAction(this);
  action->setObjectName(QString("id%1").arg(id));
  action->setData(id);
  if (icon && *icon) action->setIcon(KorvaneIcon(icon));
  connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
  actions_.insert(id, action);
  return action;
}

void CMainFrame::BuildActions() {
  for (const CommandItem& item : CommandItems()) MakeAction(item.id, item.iconName);
  MakeAction(CommandId::AppAbout);
  MakeAction(CommandId::AppExit, "exit");
  MakeAction(CommandId::MusicBrainzLookup);
  for (int id : {CommandId::ShowToolbar, CommandId::ShowBottomPanel, CommandId::ShowStatusBar,
                 CommandId::ShowAlbumHeader}) {
    MakeAction(id)->setCheckable(true);
  }
  Action(CommandId::HelpTopics)->setShortcut(QKeySequence::HelpContents);
  Action(CommandId::RipCd)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  Action(CommandId::Refresh)->setShortcut(QKeySequence::Refresh);
  Action(CommandId::SelectAll)->setShortcut(QKeySequence::SelectAll);
  Action(CommandId::AppExit)->setShortcut(QKeySequence::Quit);
  Action(CommandId::EditDiscInfo)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  Action(CommandId::FreeDb)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));

  formats_ = new QActionGroup(this);
  formats_->setExclusive(true);
  for (const FormatCommand& format : FormatCommands()) {
    QAction* action = MakeAction(ToStored(format.format));
    action->setText(QString::fromLatin1(format.text));  // format names are not translated
    action->setCheckable(true);
    action->setIcon(FormatIcon(format.format));
    formats_->addAction(action);
  }
}

void CMainFrame::BuildMenus() {
  QMenuBar* bar = menuBar();
  for (QMenu*& menu : menus_) menu = bar->addMenu(QString());
  menus_[FileMenu]->addAction(Action(CommandId::RipCd));
  menus_[FileMenu]->addSeparator();
  menus_[FileMenu]->addAction(Action(CommandId::AppExit));
  menus_[ViewMenu]->addActions({Action(CommandId::ShowToolbar), Action(CommandId::ShowAlbumHeader),
                                Action(CommandId::ShowBottomPanel),
                                Action(CommandId::ShowStatusBar)});
  QMenu* disc = menus_[DiscMenu];
  disc->addActions({Action(CommandId::FreeDb), Action(CommandId::MusicBrainzLookup),
                    Action(CommandId::EditDiscInfo)});
  disc->addSeparator();
  disc->addAction(Action(CommandId::Refresh));
  disc->addSeparator();
  disc->addActions({Action(CommandId::SelectAll), Action(CommandId::ClearAll),
                    Action(CommandId::InvertSelection)});
  disc->addSeparator();
  disc->addAction(Action(CommandId::LoadEject));
  menus_[FormatMenu]->addActions(formats_->actions());
  menus_[FormatMenu]->addSeparator();
  menus_[FormatMenu]->addAction(Action(CommandId::Format));
  menus_[ToolsMenu]->addAction(Action(CommandId::Options));
  BuildLanguageMenu();
  QMenu* help = menus_[HelpMenu];
  help->addAction(Action(CommandId::HelpTopics));
  help->addSeparator();
  help->addActions({Action(CommandId::VersionCheck), Action(CommandId::Support)});
  help->addSeparator();
  help->addAction(Action(CommandId::AppAbout));
  formatMenu_ = new QMenu(this);
  formatMenu_->addActions(formats_->actions());
}

void CMainFrame::BuildLanguageMenu() {
  QMenu* menu = menus_[LanguageMenu];
  menu->clear();
  delete languages_;
  languages_ = new QActionGroup(this);
  languagePaths_.clear();
  LanguageManager& manager = LanguageManager::Instance();
  QStringList names;
  manager.EnumerateAllLanguages(names);
  // The built-in English texts are a choice too, so a user can always come back to them.
  const bool englishFile = names.contains("English", Qt::CaseInsensitive);
  if (!englishFile) names.prepend("English");
  const QString current = SettingsStore::Instance().ReadText(Key::Language);
  for (int i = 0; i < names.size() && CommandId::FirstLanguage + i <= CommandId::LastLanguage;
       ++i) {
    const QString path = englishFile || i > 0 ? manager.LanguagePath(names[i]) : QString();
    QAction* action = menu->addAction(names[i]);
    action->setObjectName(QString("id%1").arg(CommandId::FirstLanguage + i));
    action->setCheckable(true);
    action->setChecked(path == current && (!path.isEmpty() || (!englishFile && i == 0)));
    languages_->addAction(action);
    languagePaths_.insert(action, path);
    connect(action, &QAction::triggered, this, [this, action] { ChooseLanguage(action); });
  }
}

void CMainFrame::ChooseLanguage(QAction* action) {
  action->setChecked(true);
  SettingsStore::Instance().WriteString(Key::Language, languagePaths_.value(action));
  TranslateMenus();
}

void CMainFrame::BuildToolBar() {
  toolbar_ = addToolBar(QString());
  toolbar_->setObjectName("toolbar");
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  toolbar_->setIconSize(QSize(32, 32));
  toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolbar_->toggleViewAction()->setVisible(false);
  toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
  toolbar_->addActions({Action(CommandId::RipCd), Action(CommandId::FreeDb),
                        Action(CommandId::Refresh), Action(CommandId::Options)});

  formatButton_ = new QToolButton;
  formatButton_->setObjectName("formatButton");
  formatButton_->setDefaultAction(Action(CommandId::Format));
  formatButton_->setMenu(formatMenu_);
  formatButton_->setPopupMode(QToolButton::MenuButtonPopup);
  formatButton_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  formatButton_->setIconSize(QSize(32, 32));
  toolbar_->addWidget(formatButton_);

  folderPane_ = new ShowFolderOptionsDlg;
  folderMenu_ = new QMenu(this);
  auto* paneAction = new QWidgetAction(folderMenu_);
  paneAction->setDefaultWidget(folderPane_);
  folderMenu_->addAction(paneAction);
  connect(folderMenu_, &QMenu::aboutToShow, folderPane_, &ShowFolderOptionsDlg::LoadValues);
  connect(folderMenu_, &QMenu::aboutToHide, folderPane_, &ShowFolderOptionsDlg::StoreValues);
  // The folder browser closes the drop-down before the user chooses: the choice is stored
  // when it is made.
  connect(folderPane_, &ShowFolderOptionsDlg::FolderBrowsed, folderPane_,
          &ShowFolderOptionsDlg::StoreValues);
  openButton_ = new QToolButton;
  openButton_->setObjectName("openButton");
  openButton_->setDefaultAction(Action(CommandId::OpenOutput));
  openButton_->setMenu(folderMenu_);
  openButton_->setPopupMode(QToolButton::MenuButtonPopup);
  openButton_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  openButton_->setIconSize(QSize(32, 32));
  toolbar_->addWidget(openButton_);
  toolbar_->addAction(Action(CommandId::Exit));
  toolbar_->addSeparator();

  // The two drop-down buttons are widgets of their own: they follow the toolbar's style.
  for (QToolButton* button : {formatButton_, openButton_}) {
    connect(toolbar_, &QToolBar::toolButtonStyleChanged, button, &QToolButton::setToolButtonStyle);
  }

  drives_ = new QComboBox;
  drives_->setObjectName("driveSelector");
  drives_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  drives_->setMinimumContentsLength(6);
  drives_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  drives_->setMinimumWidth(kDriveSelectorMinWidth);
  auto* holder = new QWidget;
  auto* holderLayout = new QVBoxLayout(holder);
  holderLayout->setContentsMargins(kDriveSelectorMargin, 0, kDriveSelectorMargin, 0);
  holderLayout->addWidget(drives_, 0, Qt::AlignVCenter);
  holder->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  toolbar_->addWidget(holder);
  // A name the selector cuts short is whole in its tooltip and its drop-down list.
  connect(drives_, &QComboBox::currentTextChanged, drives_, &QWidget::setToolTip);
  connect(drives_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (fillingDrives_ || index < 0) return;
    player_.Stop();
    controller_->ChooseDrive(index);
  });
}

void CMainFrame::BuildCentre() {
  auto* centre = new QWidget;
  auto* layout = new QVBoxLayout(centre);
  layout->setContentsMargins(1, 1, 0, 1);
  layout->setSpacing(1);
  albumHeader_ = new AlbumHeader;
  tracks_ = new TrackList;
  bottomPanel_ = new BottomPanelDlg;
  layout->addWidget(albumHeader_);
  layout->addWidget(tracks_, 1);
  layout->addWidget(bottomPanel_);
  setCentralWidget(centre);

  connect(tracks_, &TrackList::RowActivated, this, [this](int row) { player_.PlayRow(row); });
  connect(tracks_, &TrackList::CheckedChanged, this, &CMainFrame::UpdateStatus);
  connect(tracks_, &TrackList::CheckClicked, this,
          [this](int row, bool checked) { controller_->SetChecked(row, checked); });
  connect(tracks_, &TrackList::Clicked, this, &CMainFrame::HideFolderDropDown);
  connect(tracks_, &QWidget::customContextMenuRequested, this, &CMainFrame::ShowContextMenu);
  connect(tracks_, &TrackList::HeaderMenuRequested, this, [this](const QPoint& at) {
    QMenu menu(this);
    menu.addActions({Action(CommandId::SelectAll), Action(CommandId::ClearAll),
                     Action(CommandId::InvertSelection)});
    menu.exec(at);
  });
  connect(bottomPanel_, &BottomPanelDlg::RipClicked, this,
          [this] { RunCommand(CommandId::RipCd); });
  connect(bottomPanel_, &BottomPanelDlg::PlayClicked, this, [this] {
    if (tracks_->currentRow() >= 0 && tracks_->PlayingRow() < 0)
      player_.PlayRow(tracks_->currentRow());
    else
      player_.Play();
  });
  connect(bottomPanel_, &BottomPanelDlg::PauseClicked, this, [this] { player_.TogglePause(); });
  connect(bottomPanel_, &BottomPanelDlg::StopClicked, this, [this] { player_.Stop(); });
  connect(bottomPanel_, &BottomPanelDlg::PrevClicked, this, [this] { player_.Previous(); });
  connect(bottomPanel_, &BottomPanelDlg::NextClicked, this, [this] { player_.Next(); });
  connect(bottomPanel_, &BottomPanelDlg::LoadEjectClicked, this,
          [this] { RunCommand(CommandId::LoadEject); });
}

QMenu* CMainFrame::BuildContextMenu() {
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->addActions(
      {Action(CommandId::RipCd), Action(CommandId::FreeDb), Action(CommandId::EditDiscInfo)});
  menu->addSeparator();
  QMenu* formats = menu->addMenu(Text(946));
  formats->addActions(formats_->actions());
  formats->addSeparator();
  formats->addAction(Action(CommandId::Format));
  menu->addSeparator();
  menu->addAction(Action(CommandId::Refresh));
  menu->addSeparator();
  menu->addActions({Action(CommandId::SelectAll), Action(CommandId::ClearAll),
                    Action(CommandId::InvertSelection)});
  menu->addSeparator();
  menu->addActions({Action(CommandId::LoadEject), Action(CommandId::Options)});
  return menu;
}

void CMainFrame::ShowContextMenu(const QPoint& pos) {
  HideFolderDropDown();
  TranslateMenus();
  BuildContextMenu()->popup(tracks_->viewport()->mapToGlobal(pos));
}

void CMainFrame::TranslateMenus() {
  for (int i = 0; i < 7; ++i) menus_[i]->setTitle(Text(kMenuTitleTextIds[i]));
  for (auto it = actions_.cbegin(); it != actions_.cend(); ++it) {
    const CommandItem* item = FindCommand(it.key());
    const unsigned menuText = MenuTextId(it.key());
    if (menuText)
      it.value()->setText(Text(menuText));
    else if (item)
      it.value()->setText(item->Label());
    if (!item) continue;
    // Toolbar buttons show the command's label under the icon.
    it.value()->setIconText(item->Label());
    it.value()->setToolTip(item->Tooltip());
    it.value()->setStatusTip(item->Tooltip().replace('\n', ' '));
  }
  Action(CommandId::AppAbout)->setText(Text(910));
  bottomPanel_->Translate();
  albumHeader_->Refresh(controller_->Disc());
  FitToolbarTexts();
}

void CMainFrame::ShowFormatChoice() {
  const FormatId selected = controller_->Format();
  if (QAction* action = Action(ToStored(selected))) action->setChecked(true);
  Action(CommandId::Format)->setIcon(FormatIcon(selected));
}

ProgressDlg* CMainFrame::CurrentProgress() const { return progress_.data(); }

QIcon CMainFrame::FormatButtonIcon() const { return formatButton_->icon(); }

void CMainFrame::ChooseFormat(FormatId format) { controller_->ChooseFormat(format); }

void CMainFrame::ApplyViewSettings() {
  const SettingsStore& store = SettingsStore::Instance();
  SetToolbarShown(store.ReadInt(Key::ToolbarEnabled) != 0);
  SetBottomPanelShown(store.ReadInt(Key::BottomPanelEnabled) != 0);
  SetAlbumHeaderShown(store.ReadInt(Key::AlbumHeaderEnabled) != 0);
  SetStatusBarShown(store.ReadInt(Key::StatusBarEnabled) != 0);
}

void CMainFrame::SetToolbarShown(bool shown) {
  toolbar_->setVisible(shown);
  Action(CommandId::ShowToolbar)->setChecked(shown);
  const WindowLayout::Size minimum = WindowLayout::MinimumSize(shown);
  setMinimumSize(minimum.width, minimum.height);
  if (shown && width() < WindowLayout::kMinWidthWithToolbar)
    resize(WindowLayout::WidthWithToolbarShown(width()), height());
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FitToolbarTexts();
}

// The buttons show their texts under the icons when that leaves the drive selector its
// minimum width; otherwise icons only (the tooltips still name them), so the selector never
// drops into the toolbar's overflow menu.
void CMainFrame::FitToolbarTexts() {
  if (!toolbar_) return;  // a resize while the window is being built
  const bool room = ToolbarWidthWithTexts() + kDriveSelectorMinWidth <= width();
  toolbar_->setToolButtonStyle(room ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
}

// What the toolbar's buttons, separators and margins take with their texts shown; the drive
// selector's holder adds its own margins.
int CMainFrame::ToolbarWidthWithTexts() const {
  const QStyle* style = toolbar_->style();
  const int spacing = style->pixelMetric(QStyle::PM_ToolBarItemSpacing, nullptr, toolbar_);
  int width = 2 * (style->pixelMetric(QStyle::PM_ToolBarItemMargin, nullptr, toolbar_) +
                   style->pixelMetric(QStyle::PM_ToolBarFrameWidth, nullptr, toolbar_));
  QToolButton probe;
  probe.setFont(toolbar_->font());
  probe.setIconSize(toolbar_->iconSize());
  probe.setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  for (QAction* action : toolbar_->actions()) {
    QWidget* widget = toolbar_->widgetForAction(action);
    const auto* button = qobject_cast<const QToolButton*>(widget);
    if (!button) {
      width += (action->isSeparator()
                    ? style->pixelMetric(QStyle::PM_ToolBarSeparatorExtent, nullptr, toolbar_)
                    : 2 * kDriveSelectorMargin) +
               spacing;
      continue;
    }
    probe.setText(button->defaultAction() ? button->defaultAction()->iconText() : button->text());
    probe.setIcon(button->icon());
    probe.setPopupMode(button->popupMode());
    width += probe.sizeHint().width() + spacing;
  }
  return width;
}

void CMainFrame::SetBottomPanelShown(bool shown) {
  bottomPanel_->setVisible(shown);
  Action(CommandId::ShowBottomPanel)->setChecked(shown);
}

void CMainFrame::SetAlbumHeaderShown(bool shown) {
  albumHeader_->setVisible(shown);
  Action(CommandId::ShowAlbumHeader)->setChecked(shown);
}

void CMainFrame::SetStatusBarShown(bool shown) {
  statusBar()->setVisible(shown);
  Action(CommandId::ShowStatusBar)->setChecked(shown);
}

void CMainFrame::PlaceFromSettings() {
  const SettingsStore& store = SettingsStore::Instance();
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize virtualSize = screen ? screen->virtualSize() : QSize(1024, 768);
  const QSize available = screen ? screen->availableSize() : QSize(1024, 768);
  const WindowLayout::Rect placed = WindowLayout::ClampPlacement(
      {store.windowLeft, store.windowTop, store.windowWidth, store.windowHeight},
      {virtualSize.width(), virtualSize.height()}, {available.width(), available.height()});
  move(placed.x, placed.y);
  resize(std::max(placed.width, minimumWidth()), placed.height);
}

void CMainFrame::RebuildDriveList() {
  fillingDrives_ = true;
  drives_->clear();
  SettingsStore::Instance().Load();
  UseConfiguredDevice();
  const QStringList names = ListDrives();
  drives_->addItems(names);
  int widest = 0;
  for (int i = 0; i < drives_->count(); ++i) {
    drives_->setItemIcon(i, KorvaneIcon("eject"));
    widest = std::max(widest, drives_->fontMetrics().horizontalAdvance(names[i]));
  }
  drives_->view()->setMinimumWidth(widest + drives_->iconSize().width() + 3 * kDriveSelectorMargin);
  // The stored "Device" when it is listed, else the entry "CurrentDriveIndex" names.
  const QString stored = FindDrive(names, SettingsStore::Instance().ReadText(Key::Device));
  drives_->setCurrentIndex(stored.isEmpty() ? StoredDriveIndex(names.size())
                                            : int(names.indexOf(stored)));
  fillingDrives_ = false;
  player_.Stop();
  controller_->RefreshTracks();
}

void CMainFrame::RunCommand(int id) {
  if (id >= CommandId::First && id <= CommandId::Last) HideFolderDropDown();
  if (ExecuteCommand(id, *this)) return;
  if (IsFormatCommand(id)) return ChooseFormat(FromStored<FormatId>(id));
  switch (id) {
    case CommandId::ShowToolbar:
      SetToolbarShown(!toolbar_->isVisible());
      SettingsStore::Instance().WriteInt(Key::ToolbarEnabled, toolbar_->isVisible() ? 1 : 0);
      break;
    case CommandId::ShowBottomPanel:
      SetBottomPanelShown(!bottomPanel_->isVisible());
      SettingsStore::Instance().WriteInt(Key::BottomPanelEnabled,
                                         bottomPanel_->isVisible() ? 1 : 0);
      break;
    case CommandId::ShowAlbumHeader:
      SetAlbumHeaderShown(!albumHeader_->isVisible());
      SettingsStore::Instance().WriteInt(Key::AlbumHeaderEnabled,
                                         albumHeader_->isVisible() ? 1 : 0);
      break;
    case CommandId::ShowStatusBar:
      SetStatusBarShown(!statusBar()->isVisible());
      SettingsStore::Instance().WriteInt(Key::StatusBarEnabled, statusBar()->isVisible() ? 1 : 0);
      break;
    case CommandId::MusicBrainzLookup: controller_->MusicBrainzCommand(); break;
    case CommandId::AppAbout: ShowAbout(); break;
    case CommandId::AppExit: CloseMainWindow(); break;
    default: break;
  }
}

void CMainFrame::HideFolderDropDown() {
  if (folderMenu_ && folderMenu_->isVisible()) folderMenu_->hide();  // stores its values
}

void CMainFrame::UpdateStatus() {
  if (tracks_->rowCount() == 0) {
    statusFigures_->setText(QString());
    statusBar()->showMessage(Text(kPleaseInsertDiscTextId));
    return;
  }
  statusBar()->clearMessage();
  const int checked = controller_->Selection().CheckedCount();
  const double megabytes = controller_->CheckedAudioBytes() / (1024.0 * 1024.0);
  statusFigures_->setText(
      QString("%1 / %2   %3 MB").arg(checked).arg(tracks_->rowCount()).arg(megabytes, 0, 'f', 2));
}

// ControllerHost

void CMainFrame::SetTrackRows(const QList<TrackRow>& rows) {
  tracks_->SetRows(rows);
  player_.Reset();
  if (!rows.isEmpty()) tracks_->setCurrentCell(0, 0);
  UpdateStatus();
  ShowAlbumHeader(rows);
}

void CMainFrame::OnDiscInfoChanged(const QList<TrackRow>& rows) {
  tracks_->UpdateTitles(rows);
  tracks_->SetPlayingRow(player_.PlayingRow());
  ShowAlbumHeader(rows);
}

void CMainFrame::ShowAlbumHeader(const QList<TrackRow>& rows) {
  int64_t audioBytes = 0;
  for (const TrackRow& row : rows) audioBytes += row.data ? 0 : row.bytes;
  albumHeader_->Show(controller_->Disc(), int(rows.size()),
                     int(audioBytes / (kCdSectorBytes * 75)));
}

void CMainFrame::OnFormatChanged(FormatId) { ShowFormatChoice(); }

void CMainFrame::OnAllowedFormats(const QList<FormatId>& formats) {
  for (const FormatCommand& format : FormatCommands())
    Action(ToStored(format.format))->setEnabled(formats.contains(format.format));
}

void CMainFrame::OnDriveChosen(int index) {
  const bool filling = std::exchange(fillingDrives_, true);  // the controller reads it already
  drives_->setCurrentIndex(index);
  fillingDrives_ = filling;
}

bool CMainFrame::RunFreeDbLookup() { return dialogs_->RunFreeDbLookup(this, controller_->Disc()); }

bool CMainFrame::RunMusicBrainzLookup() {
  return dialogs_->RunMusicBrainzLookup(this, controller_->Disc());
}

int CMainFrame::TrackRowCount() const { return tracks_->rowCount(); }

void CMainFrame::ShowChecks(const TrackSelection& selection) { tracks_->ShowChecks(selection); }

void CMainFrame::SetPlayingRow(int row) { tracks_->SetPlayingRow(row); }

void CMainFrame::ShowMessage(MessageKind kind, const QString& text) {
  const QMessageBox::Icon icon = kind == MessageKind::Error     ? QMessageBox::Critical
                                 : kind == MessageKind::Warning ? QMessageBox::Warning
                                                                : QMessageBox::Information;
  QMessageBox box(icon, kProductName, text, QMessageBox::Ok, isVisible() ? this : nullptr);
  box.exec();
}

void CMainFrame::SetMainWindowVisible(bool visible) { setVisible(visible); }

void CMainFrame::OpenFolder(const QString& folder) { OpenInDesktop(QUrl::fromLocalFile(folder)); }

void CMainFrame::OpenInDesktop(const QUrl& url) {
  if (QDesktopServices::openUrl(url)) return;
  const QString shown =
      url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : url.toString();
  ShowMessage(MessageKind::Warning, Text(kCouldNotOpenTextId).arg(shown));
}

// CommandTarget

void CMainFrame::LookUpDisc() { controller_->FreeDbCommand(); }

void CMainFrame::Rip() {
  player_.Stop();
  ShowRipResult(controller_->RipCommand());
  UpdateStatus();
}

void CMainFrame::ShowRipResult(const RipResult& result) {
  using S = RipResult::Status;
  // A busy drive and a format this build cannot write were said by the rip itself.
  if (result.status == S::NoDrive)
    ShowMessage(MessageKind::Information, Text(kPleaseInsertDiscTextId));
  if (result.status == S::NotAllowed) {
    const FormatId chosen = controller_->Format();
    QStringList allowed;
    for (FormatId format : controller_->DiscFormats()) allowed << FormatText(format);
    ShowMessage(MessageKind::Warning,
                Text(kFormatNotAllowedTextId).arg(FormatText(chosen), allowed.join(", ")));
  }
  // A finished rip that made no file had no audio track ticked.
  if (result.status == S::Done && result.outcomes.isEmpty())
    ShowMessage(MessageKind::Information, Text(kNoTrackTickedTextId));
  // Each failure with its reason, which names the file or folder; tracks that failed for
  // one folder are said once.
  QStringList failed;
  for (const TrackOutcome& outcome : result.outcomes) {
    if (outcome.failed)
      failed.append(outcome.errorText.isEmpty() ? outcome.path : outcome.errorText);
  }
  failed.removeDuplicates();
  if (!failed.isEmpty())
    ShowMessage(MessageKind::Error, Text(kNotWrittenTextId) + '\n' + failed.join('\n'));
  ShowUnreadableSectors(result);
}

// Each track that was written with silence where its sectors could not be read.
void CMainFrame::ShowUnreadableSectors(const RipResult& result) {
  QStringList lines;
  for (const TrackOutcome& outcome : result.outcomes) {
    if (outcome.trackIndex == kDiscImageIndex || outcome.failed || outcome.failedSectors == 0)
      continue;
    lines.append(Text(5010).arg(outcome.trackIndex + 1).arg(outcome.failedSectors) + '\n' +
                 QDir::toNativeSeparators(outcome.path));
  }
  if (!lines.isEmpty()) ShowMessage(MessageKind::Warning, lines.join("\n\n"));
}

void CMainFrame::RefreshTracks() {
  player_.Stop();
  controller_->RefreshTracks();
}

// The dialog changes the format and the drive list through the window's hooks, at once.
void CMainFrame::RunOptionsDialog() { dialogs_->RunOptions(this); }

void CMainFrame::ShowAbout() {
  QString html = QString("<h3>%1 %2</h3><p>%3</p><ul>")
                     .arg(kProductName, KorvaneVersion(), Text(9003).toHtmlEscaped());
  for (const AboutCredit& credit : AboutCredits())
    html += "<li>" + credit.Text().toHtmlEscaped() + "</li>";
  html += "</ul>";
  html += "<p>" + Text(9008).toHtmlEscaped() + "<br>" + Text(9009).toHtmlEscaped() + "</p>";
  QMessageBox box(QMessageBox::NoIcon, Text(910) + ' ' + kProductName, html, QMessageBox::Ok, this);
  box.setObjectName("aboutBox");
  box.setIconPixmap(KorvaneIcon("korvane").pixmap(64, 64));
  box.exec();
}

void CMainFrame::CloseMainWindow() { close(); }

bool CMainFrame::RunEditDiscDialog() {
  return dialogs_->RunEditDiscInfo(this, controller_->Disc());
}

void CMainFrame::DiscInfoEdited() { controller_->DiscInfoChanged(); }

void CMainFrame::SelectAll() { controller_->SelectAll(); }

void CMainFrame::ClearAll() { controller_->ClearAll(); }

void CMainFrame::InvertSelection() { controller_->InvertSelection(); }

void CMainFrame::StopPlaying() { player_.Stop(); }

void CMainFrame::ToggleTray() {
  player_.Stop();
  ::ToggleTray();
}

void CMainFrame::OpenOutputFolder() {
  QString folder;
  SettingsStore::Instance().ReadOutputFolder(folder);
  OpenFolder(folder);
}

void CMainFrame::OpenUrl(const QString& url) { OpenInDesktop(QUrl(url)); }

void CMainFrame::ShowInformation(const QString& text) {
  ShowMessage(MessageKind::Information, text);
}

// Shutdown

void CMainFrame::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange) {
    // A maximise keeps what the last restore or minimise said.
    if (isMinimized())
      minimised_ = true;
    else if (!isMaximized())
      minimised_ = false;
  }
  QMainWindow::changeEvent(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  HideFolderDropDown();
  if (!minimised_) {
    SettingsStore& store = SettingsStore::Instance();
    store.windowLeft = x();
    store.windowTop = y();
    store.windowWidth = width();
    store.windowHeight = height();
    store.Save();
  }
  player_.Stop();
  event->accept();
}
