#pragma once
#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>

#include "metadata/disc_info.h"
#include "rip/rip_job.h"

// One row of the track list as the front end draws it.
struct TrackRow {
  int number = 0;
  QString artist;
  QString title;  // "Data track" for a data track
  QString size;   // MiB, "%2.2f"
  QString time;   // "%02d:%02d"
  bool data = false;
  int64_t bytes = 0;
};

// What the controller needs of its front end (the main window, or the console): the
// rip job's needs, and the rows of the track list.
class ControllerHost : public RipFrontEnd {
 public:
  virtual void SetTrackRows(const QList<TrackRow>& rows) = 0;
  // The freedb lookup dialog; true when it found and stored the disc's information.
  virtual bool RunFreeDbLookup() { return false; }
};

// The commands of the program, disc arrival and removal, the automatic actions after an
// insertion and after a rip. It owns the disc information of the current disc and has no
// widgets: the window and korvane-cli are two front ends of the same controller.
class MainController : public QObject {
  Q_OBJECT
 public:
  explicit MainController(ControllerHost& host);

  DiscInfo& Disc() { return disc_; }
  bool DiscCached() const { return discCached_; }

  // A drive to use instead of the "Device" setting (a display or device name); empty for
  // the setting.
  void SetPreferredDrive(const QString& drive) { preferredDrive_ = drive; }

  // Re-reads the selected drive's disc into the track list and makes the output format one
  // the disc allows.
  void RefreshTracks();
  // Disc arrival or removal in a drive; only the current drive's events count.
  void OnMediaChanged(const QString& deviceName, bool arrived);
  void RunInsertionActions();
  // The Rip command. The result of the last rip, including one started later by an
  // insertion, is LastRip().
  RipResult RipCommand(const RipOverrides& overrides = {});
  const RipResult& LastRip() const { return lastRip_; }
  int RipsRun() const { return ripsRun_; }

  void SelectAll();
  void ClearAll();
  void InvertSelection();
  int64_t CheckedAudioBytes() const;

 private:
  void MoveToNextDrive();

  void FillTrackList();
  void CheckFormat();

  ControllerHost& host_;
  DiscInfo disc_;
  bool discCached_ = false;
  QList<TrackRow> rows_;
  QString preferredDrive_;
  RipResult lastRip_;
  int ripsRun_ = 0;
  RipOverrides overrides_;
};
