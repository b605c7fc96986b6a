#pragma once
#include <QWidget>

class DiscInfo;
class QLabel;

// The compact header above the track list: the front cover (small), "album artist – album",
// and a line with the year, the genre, the number of tracks and the total time. With nothing
// known of the disc it shows only the track count.
class AlbumHeader : public QWidget {
 public:
  static constexpr int kCoverSize = 48;

  explicit AlbumHeader(QWidget* parent = nullptr);

  // trackCount 0: no disc. totalSeconds is the playing time of the audio tracks.
  void Show(const DiscInfo& info, int trackCount, int totalSeconds);
  // Shows the record again with the last counts, in the current language.
  void Refresh(const DiscInfo& info) { Show(info, trackCount_, totalSeconds_); }
  QString TitleText() const;
  QString DetailsText() const;
  bool HasCover() const;

 private:
  QLabel* cover_;
  QLabel* title_;
  QLabel* details_;
  int trackCount_ = 0;
  int totalSeconds_ = 0;
};

// Whether the record holds anything beyond the defaults of an unknown disc.
bool IsDiscKnown(const DiscInfo& info);
