#include "ui/dialogs/musicbrainz_dialog.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "texts/language_manager.h"

namespace {

QString Text(int id) { return LanguageManager::Instance().Text(id); }

constexpr int kCannotDetectTracks = 1008;
constexpr int kArtistLabel = 2001;
constexpr int kOk = 900;
constexpr int kCancel = 901;
// Release, artist, date, country, label, catalogue number, barcode, format, tracks.
constexpr int kColumnTexts[] = {2807, kArtistLabel, 2808, 2809, 2810, 2811, 2812, 2813, 2814};

QStringList Columns(const MusicBrainzRelease& r) {
  return {r.title,   r.artist, r.date,
          r.country, r.label,  r.catalogNumber,
          r.barcode, r.format, QString::number(r.tracks.size())};
}

}  // namespace

MusicBrainzDlg::MusicBrainzDlg(DiscInfo& disc, QWidget* parent, MusicBrainzSettings settings)
    : QDialog(parent),
      lookup_(disc, std::move(settings)),
      status_(new QLabel(this)),
      list_(new QTreeWidget(this)),
      okButton_(new QPushButton(Text(kOk), this)),
      browserButton_(new QPushButton(Text(2815), this)) {
  setWindowTitle(Text(MusicBrainz::Text::LookupCommand));
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QStringList headers;
  for (int id : kColumnTexts) headers << Text(id).trimmed().remove(QLatin1Char(':'));
  list_->setHeaderLabels(headers);
  list_->setRootIsDecorated(false);
  list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  list_->hide();
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(okButton_, QDialogButtonBox::AcceptRole);
  buttons->addButton(browserButton_, QDialogButtonBox::ActionRole);
  buttons->addButton(Text(kCancel), QDialogButtonBox::RejectRole);
  okButton_->hide();
  browserButton_->hide();
  connect(okButton_, &QPushButton::clicked, this, &MusicBrainzDlg::ApplyChosen);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &MusicBrainzDlg::ApplyChosen);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(browserButton_, &QPushButton::clicked, this,
          [this] { QDesktopServices::openUrl(QUrl(submissionUrl_)); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(status_);
  layout->addWidget(list_, 1);
  layout->addWidget(buttons);
}

QString MusicBrainzDlg::StatusText() const { return status_->text(); }

bool MusicBrainzDlg::Start() {
  status_->setText(Text(MusicBrainz::Text::Querying));
  const bool started =
      lookup_.FindReleases([this](const MusicBrainzLookup::Releases& found) { OnReleases(found); });
  if (!started) status_->setText(Text(kCannotDetectTracks));
  return started;
}

void MusicBrainzDlg::OnReleases(const MusicBrainzLookup::Releases& found) {
  switch (found.status) {
    case LookupOutcome::Status::Found:
      if (found.releases.size() == 1) return Take(found.releases.first());
      return ShowChoice(found.releases);
    case LookupOutcome::Status::NotFound:
      submissionUrl_ = found.submissionUrl;
      status_->setText(found.message + QStringLiteral("\n\n") + Text(MusicBrainz::Text::AddDisc) +
                       QLatin1Char('\n') + submissionUrl_);
      browserButton_->show();
      return;
    default: status_->setText(found.message);
  }
}

void MusicBrainzDlg::ShowChoice(const QList<MusicBrainzRelease>& releases) {
  releases_ = releases;
  status_->setText(Text(MusicBrainz::Text::ChooseRelease));
  for (const MusicBrainzRelease& release : releases)
    list_->addTopLevelItem(new QTreeWidgetItem(Columns(release)));
  list_->setCurrentItem(list_->topLevelItem(0));
  list_->show();
  okButton_->show();
  okButton_->setDefault(true);
}

void MusicBrainzDlg::ApplyChosen() {
  const int index = list_->indexOfTopLevelItem(list_->currentItem());
  if (index >= 0 && index < releases_.size()) Take(releases_[index]);
}

void MusicBrainzDlg::Take(const MusicBrainzRelease& release) {
  okButton_->setEnabled(false);
  list_->setEnabled(false);
  lookup_.Apply(release, [this](const MusicBrainzLookup::Applied& applied) {
    // The record holds the release; a cache or cover that failed does not undo it.
    const QString problem = applied.stored.cached ? applied.coverProblem : applied.stored.message;
    if (problem.isEmpty()) return accept();
    // The user reads why before the dialog closes.
    status_->setText(problem);
    disconnect(okButton_, nullptr, this, nullptr);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    okButton_->setEnabled(true);
    okButton_->show();
  });
}
