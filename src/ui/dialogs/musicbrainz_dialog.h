#pragma once
#include <QDialog>
#include <memory>

#include "app/musicbrainz_lookup.h"

class DiscInfo;
class QLabel;
class QPushButton;
class QTreeWidget;

// "MusicBrainz lookup": asks MusicBrainz for the disc in the current drive. One release that
// holds it is taken at once; of several the user picks one from a list (title, artist, date,
// country, label, catalogue number, barcode, format, track count). An unknown disc shows the
// address where it can be added, which the browser can open. Accepted when the record took a
// release.
class MusicBrainzDlg : public QDialog {
 public:
  explicit MusicBrainzDlg(DiscInfo& disc, QWidget* parent = nullptr,
                          MusicBrainzSettings settings = MusicBrainzSettings::FromSettings());

  // Starts the lookup; false, with the dialog saying so, when the drive holds no disc.
  bool Start();
  void SetTimeouts(int connectMs, int answerMs) { lookup_.SetTimeouts(connectMs, answerMs); }
  QString StatusText() const;
  const QString& SubmissionUrl() const { return submissionUrl_; }
  QTreeWidget* ReleaseList() const { return list_; }

 private:
  void OnReleases(const MusicBrainzLookup::Releases& found);
  void ShowChoice(const QList<MusicBrainzRelease>& releases);
  void ApplyChosen();
  void Take(const MusicBrainzRelease& release);

  MusicBrainzLookup lookup_;
  QList<MusicBrainzRelease> releases_;
  QString submissionUrl_;
  QLabel* status_;
  QTreeWidget* list_;
  QPushButton* okButton_;
  QPushButton* browserButton_;
};
