#pragma once
#include <QDialog>
#include <functional>
#include <memory>

#include "metadata/cddb_protocol.h"
#include "ui/dialogs/dialog_hooks.h"

class DiscInfo;
class DiscLookup;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// "Edit Disc Info": the album fields and one track at a time, Prev and Next wrapping.
class EnterDiscInfoDlg : public QDialog {
  Q_OBJECT
 public:
  EnterDiscInfoDlg(DiscInfo& disc, int trackCount, TrackListHooks hooks = {},
                   QWidget* parent = nullptr);

  int CurrentTrack() const { return track_; }
  void accept() override;
  // Closing the window ends the dialog as OK does.
  void reject() override { accept(); }

 private:
  void ShowTrack(int index);
  void ShowAlbumArtist(bool various);
  void StoreTrack();
  void Move(int step);

  DiscInfo& disc_;
  int trackCount_;
  TrackListHooks hooks_;
  int track_ = 0;
  QLineEdit* title_;
  QLineEdit* artist_;
  QLineEdit* album_;
  QLineEdit* genre_;
  QLineEdit* year_;
  QLineEdit* comment_;
  QLineEdit* albumArtist_;  // shown, with its label, on a various-artists disc only
  QWidget* albumArtistLabel_;
  QCheckBox* various_;
};

// "FreeDB Disc lookup": runs a lookup of the disc in the current drive on the event loop of
// this thread (the sockets are asynchronous, the HTTP transfer has a thread of its own), shows
// its status lines as a log with a progress bar, and on success offers Apply.
class FreeDBDlg : public QDialog {
  Q_OBJECT
 public:
  // Opens the options dialog on its "FreeDB" tab.
  using OpenOptions = std::function<void(QWidget* parent)>;

  FreeDBDlg(DiscInfo& disc, OpenOptions openOptions = {}, QWidget* parent = nullptr);
  ~FreeDBDlg() override;

  bool Succeeded() const { return succeeded_; }
  QString LogText() const;
  // Limits for the connection and each answer (the client's defaults otherwise).
  void SetTimeouts(int connectMs, int answerMs);

  void done(int result) override;

 private:
  void AppendLine(const QString& line);
  void OnLookup();
  void OnOptions();
  void OnEnded();
  // Shows the discs the server lists; one is taken at once.
  void OfferMatches(const QList<Cddb::Match>& matches);
  // Goes on with the disc chosen in the list.
  void TakeChosenMatch();
  void EndWithSuccess();
  void EndWithoutResult();

  DiscInfo& disc_;
  OpenOptions openOptions_;
  std::unique_ptr<DiscLookup> lookup_;
  bool succeeded_ = false;
  int connectMs_ = 0;
  int answerMs_ = 0;
  QPlainTextEdit* log_;
  QProgressBar* progress_;
  QPushButton* lookupButton_;
  QListWidget* matchList_;  // shown while the user chooses among several discs
};
