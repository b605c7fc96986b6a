#include "ui/dialogs/options_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedLayout>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QVBoxLayout>

#include "drive/disc_type.h"
#include "drive/drive_actions.h"
#include "encoders/output_format.h"
#include "metadata/freedb_client.h"
#include "settings/freedb_settings.h"
#include "settings/settings_store.h"
#include "ui/dialogs/dialog_support.h"
#include "ui/dialogs/folder_pane.h"
#include "ui/dialogs/read_offset_row.h"

namespace {

QRadioButton* AddRadio(QButtonGroup* group, QLayout* layout, unsigned text, int id) {
  auto* radio = WithId(new QRadioButton(UiText(text)), id);
  group->addButton(radio, id);
  layout->addWidget(radio);
  return radio;
}

void CheckButton(QButtonGroup* group, int id) {
  if (QAbstractButton* button = group->button(id)) button->setChecked(true);
}

// The file-name list's items in order.
constexpr NamingPattern kNamingPatterns[] = {
    NamingPattern::TrackTitle, NamingPattern::ArtistTrackTitle,
    NamingPattern::ArtistAlbumTrackTitle, NamingPattern::Advanced};

}  // namespace

// ---- General ----

QString KeywordHelpText() {
  QString numberName = UiText(3011);
  numberName = numberName.left(numberName.indexOf(QStringLiteral(" - ")));
  const std::pair<const char*, QString> keywords[] = {{"%T", UiText(4001)},
                                                      {"%A", TextBeforeColon(2001)},
                                                      {"%L", TextBeforeColon(2002)},
                                                      {"%Y", TextBeforeColon(2003)},
                                                      {"%N", numberName}};
  QStringList paragraphs;
  for (const auto& [keyword, name] : keywords)
    paragraphs << QStringLiteral("\t%1 - %2").arg(keyword, name);
  return QStringLiteral("\n") + UiText(3019) + QStringLiteral("\n\n") +
         paragraphs.join(QStringLiteral("\n\n"));
}

GeneralOptionsDlg::GeneralOptionsDlg(const OptionsHooks& hooks, QWidget* parent)
    : QWidget(parent), hooks_(hooks) {
  WithId(this, 4000);
  SettingsStore& store = SettingsStore::Instance();
  store.Load();
  auto* layout = new QVBoxLayout(this);

  auto* access = WithId(new QGroupBox(UiText(3003)), 4016);
  auto* accessRow = new QHBoxLayout(access);
  accessMethod_ = new QButtonGroup(this);
  AddRadio(accessMethod_, accessRow, 3004, ToStored(DriveAccess::PassThrough));
  AddRadio(accessMethod_, accessRow, 3005, ToStored(DriveAccess::Generic));
  accessRow->addStretch();
  CheckButton(accessMethod_, store.accessMethod);
  layout->addWidget(access);
  folderPane_ = new ShowFolderOptionsDlg;
  folderPane_->layout()->setContentsMargins(0, 0, 0, 0);  // lined up with the rows below
  layout->addWidget(folderPane_);

  auto* grid = new QGridLayout;
  grid->addWidget(WithId(new QLabel(UiText(3010)), 4019), 0, 0);
  fileNames_ = WithId(new QComboBox, 4020);
  for (unsigned text : {3011u, 3012u, 3013u, 3014u}) fileNames_->addItem(UiText(text));
  grid->addWidget(fileNames_, 0, 1);
  advanced_ = WithId(new QLineEdit(store.ReadText(Key::AdvancedFileFormat)), 4021);
  auto* help = WithId(new QPushButton(QStringLiteral("?")), 4022);
  help->setFixedWidth(help->sizeHint().height());
  auto* advancedRow = new QHBoxLayout;
  advancedRow->addWidget(advanced_, 1);
  advancedRow->addWidget(help);
  grid->addLayout(advancedRow, 1, 1);

  grid->addWidget(WithId(new QLabel(UiText(3015)), 4023), 2, 0);
  speeds_ = WithId(new QComboBox, 4024);
  auto* detect = WithId(new QPushButton(UiText(3017)), 4025);
  auto* speedRow = new QHBoxLayout;
  speedRow->addWidget(speeds_, 1);
  speedRow->addWidget(detect);
  grid->addLayout(speedRow, 2, 1);
  grid->addWidget(WithId(new QLabel(UiText(3020)), 4026), 3, 0);
  readOffset_ = new ReadOffsetRow;
  grid->addWidget(readOffset_, 3, 1);
  grid->setColumnStretch(1, 1);
  layout->addLayout(grid);
  layout->addStretch();

  // An unknown stored format selects nothing and leaves the edit disabled.
  fileNameFormat_ = store.ReadInt(Key::FileNameFormat);
  const auto known =
      std::find_if(std::begin(kNamingPatterns), std::end(kNamingPatterns),
                   [this](NamingPattern p) { return ToStored(p) == fileNameFormat_; });
  fileNames_->setCurrentIndex(
      known == std::end(kNamingPatterns) ? -1 : int(known - std::begin(kNamingPatterns)));
  advanced_->setEnabled(fileNameFormat_ == ToStored(NamingPattern::Advanced));

  speed_ = store.ReadText(Key::CDReadSpeed);
  FillSpeeds({}, true);
  if (speed_ != kDefaultSpeed && speed_ != kMaximalSpeed) speeds_->insertItem(1, speed_);
  SelectChosenSpeed();

  connect(fileNames_, &QComboBox::activated, this, &GeneralOptionsDlg::OnFileNameChosen);
  connect(speeds_, &QComboBox::activated, this, &GeneralOptionsDlg::OnSpeedChosen);
  connect(detect, &QPushButton::clicked, this, &GeneralOptionsDlg::DetectSpeeds);
  connect(help, &QPushButton::clicked, this, &GeneralOptionsDlg::ShowKeywordHelp);
}

void GeneralOptionsDlg::FillSpeeds(const QList<int>& factors, bool withMaximal) {
  speeds_->clear();
  speeds_->addItem(UiText(3018));
  for (int factor : factors) speeds_->addItem(QString::number(factor));
  if (withMaximal) speeds_->addItem(UiText(3016));
}

void GeneralOptionsDlg::SelectChosenSpeed() {
  int index = 0;
  if (speed_ == kMaximalSpeed) {
    index = speeds_->count() - 1;
  } else if (speed_ != kDefaultSpeed) {
    // The numbers sit between the first and the last item.
    for (int i = 1; i + 1 < speeds_->count(); ++i) {
      if (speeds_->itemText(i) == speed_) index = i;
    }
  }
  speeds_->setCurrentIndex(index);
}

void GeneralOptionsDlg::OnSpeedChosen(int index) {
  speed_ = speeds_->itemText(index);
  if (index == 0) {
    speed_ = kDefaultSpeed;
  } else if (index == speeds_->count() - 1) {
    speed_ = kMaximalSpeed;
  }
}

void GeneralOptionsDlg::OnFileNameChosen(int index) {
  if (index < 0 || index >= int(std::size(kNamingPatterns))) return;
  fileNameFormat_ = ToStored(kNamingPatterns[index]);
  advanced_->setEnabled(kNamingPatterns[index] == NamingPattern::Advanced);
}

void GeneralOptionsDlg::DetectSpeeds() {
  QList<int> factors;
  const bool known = hooks_.detectSpeeds ? hooks_.detectSpeeds(factors) : ::DetectSpeeds(factors);
  FillSpeeds(known ? factors : QList<int>{}, known && !factors.isEmpty());
  SelectChosenSpeed();
}

void GeneralOptionsDlg::ShowKeywordHelp() {
  QMessageBox::information(this, QStringLiteral("Korvane"), KeywordHelpText());
}

void GeneralOptionsDlg::OnOK() {
  SettingsStore& store = SettingsStore::Instance();
  const int method = accessMethod_->checkedId();
  if (method > 0 && method != store.accessMethod) {
    store.accessMethod = method;
    store.Save();
    if (hooks_.rebuildDriveList) hooks_.rebuildDriveList();
  }
  store.WriteInt(Key::FileNameFormat, fileNameFormat_);
  store.WriteString(Key::AdvancedFileFormat, advanced_->text());
  store.WriteString(Key::CDReadSpeed, speed_);
  folderPane_->StoreValues();
  readOffset_->OnOK();
}

// ---- Output Format ----

AudioOptionsDlg::AudioOptionsDlg(const OptionsHooks& hooks, QWidget* parent)
    : QWidget(parent), hooks_(hooks) {
  WithId(this, 4001);
  auto* list = WithId(new QComboBox, 4007);
  int current = -1;
  SettingsStore& store = SettingsStore::Instance();
  store.Load();
  for (const FormatDescriptor& format : FormatDescriptors()) {
    if (format.id == FromStored<FormatId>(store.formatSelected)) current = list->count();
    list->addItem(QString::fromLatin1(format.badge));
  }
  auto* row = new QHBoxLayout;
  row->addWidget(WithId(new QLabel(UiText(946)), 5100));
  row->addWidget(list);
  row->addStretch();
  auto* frame = WithId(new QGroupBox(UiText(7001)), 5101);
  pages_ = new QStackedLayout(frame);
  empty_ = new QWidget;
  pages_->addWidget(empty_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(frame, 1);

  if (hooks_.allowedFormats) {
    const QList<FormatId> allowed = hooks_.allowedFormats();
    auto* items = qobject_cast<QStandardItemModel*>(list->model());
    for (int i = 0; i < list->count(); ++i)
      items->item(i)->setEnabled(allowed.contains(FormatDescriptors()[i].id));
  }
  list->setCurrentIndex(current);
  if (current >= 0) pages_->setCurrentWidget(PageOf(FormatDescriptors()[current].id));
  connect(list, &QComboBox::activated, this, &AudioOptionsDlg::OnFormatChosen);
}

void AudioOptionsDlg::OnFormatChosen(int position) {
  if (position < 0 || position >= int(FormatDescriptors().size())) return;
  chosen_ = FormatDescriptors()[position].id;
  pages_->setCurrentWidget(PageOf(*chosen_));
}

void AudioOptionsDlg::OnOK() {
  for (SettingsPage* page : std::as_const(made_)) page->Store();
  if (!chosen_) return;
  SettingsStore& store = SettingsStore::Instance();
  store.Load();
  store.formatSelected = ToStored(*chosen_);
  store.Save();
  if (hooks_.formatChanged) hooks_.formatChanged(*chosen_);
}

QWidget* AudioOptionsDlg::PageOf(FormatId menuId) {
  if (SettingsPage* made = made_.value(menuId)) return made;
  SettingsPage* page = CreateSettingsPage(menuId, hooks_);
  if (!page) return empty_;
  pages_->addWidget(page);
  made_.insert(menuId, page);
  return page;
}

// ---- FreeDB ----

FreeDBOptionsDlg::FreeDBOptionsDlg(QWidget* parent) : QWidget(parent) {
  WithId(this, 9500);
  const FreeDbSettings settings;
  auto edit = [](int id, const QString& text) { return WithId(new QLineEdit(text), id); };
  auto portEdit = [&](int id, int port, int lowest) {
    QLineEdit* e = edit(id, QString::number(port));
    e->setValidator(new QIntValidator(lowest, 65535, e));
    return e;
  };
  server_ = edit(1057, settings.Server());
  tcpPort_ = portEdit(1071, settings.TcpPort(), 1);
  httpPort_ = portEdit(1073, settings.HttpPort(), 1);
  proxyServer_ = edit(1046, settings.ProxyServer());
  proxyPort_ = portEdit(1047, settings.ProxyPort(), 0);
  userName_ = edit(1048, settings.UserName());
  password_ = edit(1056, settings.Password());
  password_->setEchoMode(QLineEdit::Password);
  email_ = edit(1074, settings.Email());

  auto* server = new QGridLayout;
  server->addWidget(WithId(new QLabel(UiText(1017)), 1061), 0, 0);
  server->addWidget(server_, 0, 1, 1, 3);
  accessMethod_ = new QButtonGroup(this);
  auto* tcp = WithId(new QRadioButton(UiText(1045)), ToStored(FreeDbAccess::Tcp));
  auto* http = WithId(new QRadioButton(UiText(1044)), ToStored(FreeDbAccess::Http));
  accessMethod_->addButton(tcp, ToStored(FreeDbAccess::Tcp));
  accessMethod_->addButton(http, ToStored(FreeDbAccess::Http));
  server->addWidget(tcp, 1, 0);
  server->addWidget(WithId(new QLabel(UiText(1047)), 1070), 1, 1);
  server->addWidget(tcpPort_, 1, 2);
  server->addWidget(http, 2, 0);
  server->addWidget(WithId(new QLabel(UiText(1046)), 1072), 2, 1);
  server->addWidget(httpPort_, 2, 2);
  server->addWidget(WithId(new QLabel(UiText(1048)), 1075), 3, 0);
  server->addWidget(email_, 3, 1, 1, 3);
  auto* why = WithId(new QLabel(UiText(1049)), 1076);
  why->setWordWrap(true);
  server->addWidget(why, 4, 1, 1, 3);
  server->setColumnStretch(3, 1);

  auto* connection = WithId(new QGroupBox(UiText(1019)), 1063);
  auto* proxy = new QGridLayout(connection);
  proxyType_ = new QButtonGroup(this);
  auto* radios = new QHBoxLayout;
  AddRadio(proxyType_, radios, 1009, ToStored(ProxyKind::Direct));
  AddRadio(proxyType_, radios, 1010, ToStored(ProxyKind::Socks4));
  AddRadio(proxyType_, radios, 1016, ToStored(ProxyKind::Socks4a));
  AddRadio(proxyType_, radios, 1011, ToStored(ProxyKind::Socks5));
  AddRadio(proxyType_, radios, 1012, ToStored(ProxyKind::Http11));
  radios->addStretch();
  proxy->addLayout(radios, 0, 0, 1, 4);
  proxy->addWidget(WithId(new QLabel(UiText(1020)), 1064), 1, 0);
  proxy->addWidget(proxyServer_, 1, 1);
  proxy->addWidget(WithId(new QLabel(UiText(1021)), 1065), 1, 2);
  proxy->addWidget(proxyPort_, 1, 3);
  proxy->addWidget(WithId(new QLabel(UiText(1022)), 1066), 2, 0);
  proxy->addWidget(userName_, 2, 1);
  proxy->addWidget(WithId(new QLabel(UiText(1023)), 1067), 2, 2);
  proxy->addWidget(password_, 2, 3);
  proxy->setColumnStretch(1, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(server);
  layout->addWidget(connection);
  layout->addStretch();

  connect(accessMethod_, &QButtonGroup::idClicked, this, &FreeDBOptionsDlg::OnAccessMethod);
  connect(proxyType_, &QButtonGroup::idClicked, this, &FreeDBOptionsDlg::OnProxyType);
  const int method = ToStored(settings.AccessMethod());
  CheckButton(accessMethod_, method);
  OnAccessMethod(method);
  // An unknown type reads as a direct connection.
  const int type = ToStored(settings.ProxyType());
  CheckButton(proxyType_, type);
  OnProxyType(type);
}

void FreeDBOptionsDlg::OnAccessMethod(int id) {
  const bool http = FromStored<FreeDbAccess>(id) == FreeDbAccess::Http;
  tcpPort_->setReadOnly(http);
  httpPort_->setReadOnly(!http);
}

void FreeDBOptionsDlg::OnProxyType(int id) {
  const bool direct = id == ToStored(ProxyKind::Direct);
  for (QLineEdit* edit : {proxyServer_, proxyPort_, userName_, password_})
    edit->setReadOnly(direct);
}

void FreeDBOptionsDlg::OnOK() {
  SettingsStore& store = SettingsStore::Instance();
  store.WriteString(Key::FdServer, server_->text().trimmed());
  store.WriteString(Key::FdTCPPort, tcpPort_->text());
  store.WriteString(Key::FdHTTPPort, httpPort_->text());
  store.WriteInt(Key::FdAccessMethod, accessMethod_->checkedId());
  store.WriteInt(Key::FdProxyType, proxyType_->checkedId());
  store.WriteString(Key::FdProxyServer, proxyServer_->text().trimmed());
  store.WriteInt(Key::FdProxyPort, proxyPort_->text().toInt());
  store.WriteString(Key::FdUserName, userName_->text());
  store.WriteString(Key::FdPassword, password_->text());
  store.WriteString(Key::FdEmail, email_->text().trimmed());
}

// ---- Automated CD Ripping ----

AutomaticOptionsDlg::AutomaticOptionsDlg(QWidget* parent) : QWidget(parent) {
  WithId(this, 9400);
  struct Switch {
    int id;
    unsigned text;
    const SettingKey& key;
  };
  const Switch afterInsertion[] = {{9408, 3101, Key::AutoSelectAllTracks},
                                   {9402, 3102, Key::AutoRequestFreeDB},
                                   {9403, 3103, Key::AutoStartRipping}};
  const Switch afterRip[] = {{9404, 3105, Key::AutoEjectCD},
                             {9407, 3106, Key::AutoOpenOutputFolder},
                             {9409, 3107, Key::UseMultipleDevices}};
  auto* layout = new QVBoxLayout(this);
  auto addGroup = [&](unsigned title, std::span<const Switch> switches) {
    auto* group = new QGroupBox(UiText(title));
    auto* column = new QVBoxLayout(group);
    for (const Switch& s : switches) {
      auto* box = WithId(new QCheckBox(UiText(s.text)), s.id);
      box->setChecked(SettingsStore::Instance().ReadInt(s.key) != 0);
      switches_.append({box, &s.key});
      column->addWidget(box);
    }
    layout->addWidget(group);
  };
  addGroup(3100, afterInsertion);
  addGroup(3104, afterRip);
  layout->addStretch();
}

void AutomaticOptionsDlg::OnOK() {
  for (const auto& [box, key] : std::as_const(switches_))
    SettingsStore::Instance().WriteInt(*key, box->isChecked() ? 1 : 0);
}

// ---- The dialog ----

OptionsDlg::OptionsDlg(OptionsHooks hooks, QWidget* parent)
    : QDialog(parent), hooks_(std::move(hooks)) {
  WithId(this, 4010);
  setWindowTitle(QStringLiteral("Korvane ") + UiText(905));
  tabs_ = new QTabWidget;
  tabs_->setUsesScrollButtons(false);  // every tab title shows in full
  for (unsigned title : {3001u, 946u, 1002u, 30021u}) {
    auto* holder = new QWidget;
    auto* holderLayout = new QVBoxLayout(holder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    tabs_->addTab(holder, UiText(title));
  }
  auto* buttons = new QDialogButtonBox;
  WithId(buttons->addButton(UiText(900), QDialogButtonBox::AcceptRole), 1);
  WithId(buttons->addButton(UiText(901), QDialogButtonBox::RejectRole), 2);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);

  int tab = SettingsStore::Instance().ReadInt(Key::ActiveOptionsTab);
  if (tab < 0 || tab >= kTabCount) tab = 0;
  tabs_->setCurrentIndex(tab);
  OnTab(tab);
  connect(tabs_, &QTabWidget::currentChanged, this, &OptionsDlg::OnTab);
}

void OptionsDlg::OnTab(int index) {
  QWidget* holder = tabs_->widget(index);
  if (!holder || !holder->layout() || holder->layout()->count() > 0) return;
  QWidget* page = nullptr;
  switch (index) {
    case 0: page = general_ = new GeneralOptionsDlg(hooks_); break;
    case 1: page = audio_ = new AudioOptionsDlg(hooks_); break;
    case 2: page = freedb_ = new FreeDBOptionsDlg; break;
    default: page = automatic_ = new AutomaticOptionsDlg; break;
  }
  holder->layout()->addWidget(page);
}

void OptionsDlg::accept() {
  if (general_) general_->OnOK();
  if (audio_) audio_->OnOK();
  if (freedb_) freedb_->OnOK();
  if (automatic_) automatic_->OnOK();
  QDialog::accept();
}
