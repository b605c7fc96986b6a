#include "ui/dialogs/disc_dialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/disc_lookup.h"
#include "metadata/disc_info.h"
#include "settings/freedb_settings.h"
#include "settings/settings_store.h"
#include "ui/dialogs/dialog_support.h"
#include "ui/dialogs/options_dlg.h"

// ---- Edit Disc Info ----

EnterDiscInfoDlg::EnterDiscInfoDlg(DiscInfo& disc, int trackCount, TrackListHooks hooks,
                                   QWidget* parent)
    : QDialog(parent), disc_(disc), trackCount_(std::max(trackCount, 1)), hooks_(std::move(hooks)) {
  WithId(this, 3000);
  setWindowTitle(UiText(4000));
  auto* grid = new QGridLayout;
  auto addField = [&](int row, int labelId, unsigned text, int editId) {
    grid->addWidget(WithId(new QLabel(TextBeforeColon(text)), labelId), row, 0);
    auto* edit = WithId(new QLineEdit, editId);
    grid->addWidget(edit, row, 1, 1, 3);
    return edit;
  };
  title_ = addField(0, 3010, 4001, 3001);
  artist_ = addField(1, 3011, 2001, 3002);
  album_ = addField(2, 3012, 2002, 3003);
  genre_ = addField(3, 3013, 2004, 3004);
  year_ = addField(4, 3014, 2003, 3005);
  comment_ = addField(5, 3015, 4002, 3006);
  title_->setMinimumWidth(320);
  various_ = WithId(new QCheckBox(UiText(4003)), 3007);
  grid->addWidget(various_, 6, 1, 1, 3);
  albumArtist_ = addField(7, 3017, 4007, 3016);
  albumArtistLabel_ = grid->itemAtPosition(7, 0)->widget();

  auto* prev = WithId(new QPushButton(UiText(4005)), 3009);
  auto* next = WithId(new QPushButton(UiText(4004)), 3008);
  auto* ok = WithId(new QPushButton(UiText(900)), 1);
  ok->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(prev);
  buttons->addWidget(next);
  buttons->addStretch();
  buttons->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);

  connect(prev, &QPushButton::clicked, this, [this] { Move(-1); });
  connect(next, &QPushButton::clicked, this, [this] { Move(1); });
  connect(ok, &QPushButton::clicked, this, &EnterDiscInfoDlg::accept);
  connect(various_, &QCheckBox::clicked, this,
          [this](bool on) { disc_.SetVariousArtists(on ? 1 : 0); });
  connect(various_, &QCheckBox::toggled, this, &EnterDiscInfoDlg::ShowAlbumArtist);
  ShowTrack(0);
}

void EnterDiscInfoDlg::ShowTrack(int index) {
  track_ = index;
  title_->setText(disc_.GetTrackTitle(index));
  title_->setSelection(0, std::min<int>(99, title_->text().size()));
  title_->setFocus();
  album_->setText(disc_.album);
  genre_->setText(disc_.genre);
  year_->setText(disc_.year);
  comment_->setText(disc_.comment);
  artist_->setText(disc_.GetTrackArtist(index));
  albumArtist_->setText(disc_.artist);
  if (hooks_.markRow) hooks_.markRow(index);
  various_->setChecked(disc_.GetVariousArtists() != 0);
  ShowAlbumArtist(various_->isChecked());
}

void EnterDiscInfoDlg::ShowAlbumArtist(bool various) {
  albumArtist_->setVisible(various);
  albumArtistLabel_->setVisible(various);
}

namespace {
void SetEntry(QStringList& list, int index, const QString& text) {
  if (index < list.size()) {
    list[index] = text;
  } else {
    list.append(text);
  }
}
}  // namespace

void EnterDiscInfoDlg::StoreTrack() {
  SetEntry(disc_.trackTitles, track_, title_->text());
  disc_.album = album_->text();
  disc_.year = year_->text();
  disc_.genre = genre_->text();
  disc_.comment = comment_->text();
  // A detail the user typed is known, even when it is the placeholder the dialog showed.
  if (year_->isModified()) disc_.SetKnown(DiscInfo::Year);
  if (genre_->isModified()) disc_.SetKnown(DiscInfo::Genre);
  if (comment_->isModified()) disc_.SetKnown(DiscInfo::Comment);
  // Without the various-artists mark the artist is the disc's; with it, the album artist is.
  disc_.artist = disc_.GetVariousArtists() == 0 ? artist_->text() : albumArtist_->text();
  SetEntry(disc_.trackArtists, track_, artist_->text());
  if (hooks_.refreshRows) hooks_.refreshRows();
}

void EnterDiscInfoDlg::Move(int step) {
  StoreTrack();
  ShowTrack((track_ + step + trackCount_) % trackCount_);
}

void EnterDiscInfoDlg::accept() {
  StoreTrack();
  track_ = (track_ + 1) % trackCount_;
  if (hooks_.markRow) hooks_.markRow(-1);
  if (hooks_.refreshRows) hooks_.refreshRows();
  QDialog::accept();
}

// ---- FreeDB lookup ----

FreeDBDlg::FreeDBDlg(DiscInfo& disc, OpenOptions openOptions, QWidget* parent)
    : QDialog(parent), disc_(disc), openOptions_(std::move(openOptions)) {
  WithId(this, 1000);
  setWindowTitle(UiText(1000));
  log_ = WithId(new QPlainTextEdit, 1001);
  log_->setReadOnly(true);
  log_->setMinimumSize(420, 220);
  progress_ = WithId(new QProgressBar, 1059);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  lookupButton_ = WithId(new QPushButton(UiText(1014)), 1049);
  auto* options = WithId(new QPushButton(UiText(1015)), 1002);
  auto* cancel = WithId(new QPushButton(UiText(901)), 2);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(lookupButton_);
  buttons->addWidget(options);
  buttons->addStretch();
  buttons->addWidget(cancel);
  matchList_ = WithId(new QListWidget, 1060);
  matchList_->hide();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(log_);
  layout->addWidget(matchList_);
  layout->addWidget(progress_);
  layout->addLayout(buttons);

  connect(lookupButton_, &QPushButton::clicked, this, &FreeDBDlg::OnLookup);
  connect(options, &QPushButton::clicked, this, &FreeDBDlg::OnOptions);
  connect(cancel, &QPushButton::clicked, this, &FreeDBDlg::reject);
  connect(matchList_, &QListWidget::itemDoubleClicked, this, &FreeDBDlg::TakeChosenMatch);

  AppendLine(UiText(1006));
  AppendLine(UiText(1007));
  // The lookup starts at once, from the event loop.
  QMetaObject::invokeMethod(lookupButton_, &QPushButton::click, Qt::QueuedConnection);
}

FreeDBDlg::~FreeDBDlg() = default;

QString FreeDBDlg::LogText() const { return log_->toPlainText(); }

void FreeDBDlg::SetTimeouts(int connectMs, int answerMs) {
  connectMs_ = connectMs;
  answerMs_ = answerMs;
}

void FreeDBDlg::AppendLine(const QString& line) {
  QTextCursor end = log_->textCursor();
  end.movePosition(QTextCursor::End);
  if (!log_->document()->isEmpty()) end.insertText(QStringLiteral("\n"));
  end.insertText(line);
  log_->setTextCursor(end);
}

void FreeDBDlg::OnLookup() {
  if (succeeded_) return accept();                        // the button is "Apply"
  if (!matchList_->isHidden()) return TakeChosenMatch();  // the button is "Choose"
  const FreeDbSettings settings;
  const FreeDbAccess method = settings.AccessMethod();
  lookup_ = std::make_unique<DiscLookup>(disc_, method,
                                         FreeDbClientSettings::FromSettings(settings, method));
  if (connectMs_ > 0 && answerMs_ > 0) lookup_->SetTimeouts(connectMs_, answerMs_);
  lookup_->SetStatusLine([this](double value, const QString& text) {
    AppendLine(text);
    progress_->setValue(std::clamp(int(value), 0, 100));
  });
  lookup_->SetMatchChooser([this](const QList<Cddb::Match>& matches) { OfferMatches(matches); });
  // The end is handled from the event loop, where the lookup may be destroyed.
  lookup_->SetEnded(
      [this] { QMetaObject::invokeMethod(this, &FreeDBDlg::OnEnded, Qt::QueuedConnection); });

  const QString before = LogText();
  lookupButton_->setEnabled(false);
  log_->clear();
  if (!lookup_->Start()) {
    lookup_.reset();
    log_->setPlainText(before);
    AppendLine(UiText(1008));
    lookupButton_->setEnabled(true);
  }
}

void FreeDBDlg::OfferMatches(const QList<Cddb::Match>& matches) {
  if (matches.size() == 1) return lookup_->ChooseMatch(0);
  AppendLine(UiText(1051));
  matchList_->clear();
  for (const Cddb::Match& match : matches) {
    matchList_->addItem(QStringLiteral("%1 (%2)").arg(match.title, match.category));
  }
  matchList_->setCurrentRow(0);
  matchList_->show();
  lookupButton_->setText(UiText(1052));
  lookupButton_->setEnabled(true);
  lookupButton_->setFocus();
}

void FreeDBDlg::TakeChosenMatch() {
  if (!lookup_ || matchList_->isHidden()) return;
  const int row = matchList_->currentRow();
  if (const QListWidgetItem* chosen = matchList_->item(row)) AppendLine(chosen->text());
  matchList_->hide();
  lookupButton_->setText(UiText(1014));
  lookupButton_->setEnabled(false);
  lookup_->ChooseMatch(row);
}

void FreeDBDlg::OnEnded() {
  if (!lookup_) return;
  const LookupOutcome outcome = lookup_->Outcome();
  lookup_.reset();
  matchList_->hide();
  lookupButton_->setText(UiText(1014));
  // A lookup without a result has achieved nothing: its bar does not stand full.
  const bool found = outcome.status == LookupOutcome::Status::Found;
  progress_->setValue(found ? 100 : 0);
  if (found) {
    EndWithSuccess();
    if (!outcome.cached) AppendLine(outcome.message);
    return;
  }
  // A failure on the way (network, proxy, server) shows its own text; "not found" is
  // kept for the server's answer that it does not know the disc.
  if (outcome.status == LookupOutcome::Status::Failed && !outcome.message.isEmpty()) {
    AppendLine(outcome.message);
  } else {
    AppendLine(UiText(1005));
  }
  EndWithoutResult();
}

void FreeDBDlg::EndWithSuccess() {
  succeeded_ = true;
  AppendLine(UiText(1004));
  AppendLine(QStringLiteral("==================="));
  const std::pair<unsigned, QString> fields[] = {
      {2001, disc_.artist}, {2002, disc_.album}, {2003, disc_.year}, {2004, disc_.genre}};
  for (const auto& [label, value] : fields)
    AppendLine(TextBeforeColon(label) + QStringLiteral(": ") + value);
  AppendLine(UiText(1013));
  for (int i = 0; i < disc_.trackTitles.size(); ++i) {
    AppendLine(disc_.GetTrackArtist(i) + QStringLiteral(" - ") + disc_.GetTrackTitle(i));
  }
  lookupButton_->setText(UiText(1003));
  lookupButton_->setEnabled(true);
  lookupButton_->setFocus();
  if (SettingsStore::Instance().ReadInt(Key::AutoRequestFreeDB)) {
    QMetaObject::invokeMethod(lookupButton_, &QPushButton::click, Qt::QueuedConnection);
  }
}

void FreeDBDlg::EndWithoutResult() {
  succeeded_ = false;
  // Lookup stays available, so a lookup with changed options can follow.
  lookupButton_->setEnabled(true);
  if (SettingsStore::Instance().ReadInt(Key::AutoRequestFreeDB)) {
    QMetaObject::invokeMethod(this, &FreeDBDlg::reject, Qt::QueuedConnection);
  }
}

void FreeDBDlg::OnOptions() {
  SettingsStore& store = SettingsStore::Instance();
  store.WriteInt(Key::ActiveOptionsTab, 2);
  if (openOptions_) {
    openOptions_(this);
  } else {
    OptionsDlg options({}, this);
    options.exec();
  }
  store.WriteInt(Key::ActiveOptionsTab, 0);
}

void FreeDBDlg::done(int result) {
  lookup_.reset();
  QDialog::done(result);
}
