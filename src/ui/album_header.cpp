#include "ui/album_header.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "metadata/cover_store.h"
#include "metadata/disc_info.h"
#include "texts/language_manager.h"

namespace {

constexpr int kTrackCountText = 2817;  // "%1 tracks"

QString TimeText(int seconds) {
  return seconds >= 3600
             ? QString::asprintf("%d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60)
             : QString::asprintf("%02d:%02d", seconds / 60, seconds % 60);
}

}  // namespace

bool IsDiscKnown(const DiscInfo& info) {
  return info.album != QLatin1String(DiscInfo::kUnknownAlbum) ||
         info.artist != QLatin1String(DiscInfo::kUnknownArtist) ||
         !info.musicBrainz.release.isEmpty();
}

AlbumHeader::AlbumHeader(QWidget* parent)
    : QWidget(parent),
      cover_(new QLabel(this)),
      title_(new QLabel(this)),
      details_(new QLabel(this)) {
  setObjectName(QStringLiteral("albumHeader"));
  cover_->setFixedSize(kCoverSize, kCoverSize);
  cover_->setAlignment(Qt::AlignCenter);
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  for (QLabel* label : {title_, details_}) {
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Long names are cut by the window's width, never widen it.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  }
  auto* texts = new QVBoxLayout;
  texts->setSpacing(0);
  texts->addStretch();
  texts->addWidget(title_);
  texts->addWidget(details_);
  texts->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->addWidget(cover_);
  layout->addLayout(texts, 1);
}

void AlbumHeader::Show(const DiscInfo& info, int trackCount, int totalSeconds) {
  trackCount_ = trackCount;
  totalSeconds_ = totalSeconds;
  const bool known = trackCount > 0 && IsDiscKnown(info);
  QStringList details;
  // Only what is known: a placeholder year or genre is not the album's.
  if (known) details << info.TagText(DiscInfo::Year) << info.TagText(DiscInfo::Genre);
  if (trackCount > 0) {
    details << LanguageManager::Instance().Text(kTrackCountText).arg(trackCount)
            << TimeText(totalSeconds);
  }
  details.removeAll(QString());
  title_->setText(known ? info.AlbumArtist() + QStringLiteral(" \u2013 ") + info.album : QString());
  title_->setVisible(known);
  details_->setText(details.join(QStringLiteral(" \u00B7 ")));
  const CoverImage cover = known ? StoredCover(info.musicBrainz.release) : CoverImage();
  QPixmap picture;
  if (!cover.IsEmpty() && picture.loadFromData(cover.bytes)) {
    cover_->setPixmap(
        picture.scaled(kCoverSize, kCoverSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  } else {
    cover_->clear();
  }
  cover_->setVisible(!cover_->pixmap().isNull());
}

QString AlbumHeader::TitleText() const { return title_->text(); }
QString AlbumHeader::DetailsText() const { return details_->text(); }
bool AlbumHeader::HasCover() const { return !cover_->pixmap().isNull(); }
