#pragma once
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
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
  // New rows for a new disc (or none); every check is cleared.
  virtual void SetTrackRows(const QList<TrackRow>& rows) = 0;
  // The disc information changed (a lookup's result): the same rows with new artist and
  // title texts; their checks stay.
  virtual void OnDiscInfoChanged(const QList<TrackRow>& rows) = 0;
  // A refresh replaced the output format with the first one the disc allows (the toolbar's
  // format image and the format radio mark follow it).
  virtual void OnFormatChanged(FormatId format) = 0;
  // The disc just read allows these output formats (every format when there is no disc to go
  // by); the window greys out the others.
  virtual void OnAllowedFormats(const QList<FormatId>& formats) { (void)formats; }
  // The controller chose this entry of the drive list (the next drive after a rip, with
  // "UseMultipleDevices"); the drive selector shows it.
  virtual void OnDriveChosen(int index) { (void)index; }
  // The freedb lookup dialog; true when the user took its result into the disc information.
  virtual bool RunFreeDbLookup() { return false; }
  // The MusicBrainz lookup dialog; true when the user took a release into the disc information.
  virtual bool RunMusicBrainzLookup() { return false; }
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

  // A drive to use instead of the "Device" setting (a display or device name) for this run
  // only; empty for the setting.
  void SetPreferredDrive(const QString& drive) { preferredDrive_ = drive; }
  // The user's choice of a drive in the list: stored ("CurrentDriveIndex" and "Device"
  // together), then its disc is read. False for an entry the list does not have.
  bool ChooseDrive(int index);

  // Re-reads the selected drive's disc into the track list and makes the output format one
  // the disc allows. Does nothing while another use (a rip) holds the drive.
  void RefreshTracks();
  // Disc arrival or removal in a drive; only the current drive's events count. Events that
  // come while a rip runs are held and handled after it.
  void OnMediaChanged(const QString& deviceName, bool arrived);
  void RunInsertionActions();
  // The Rip command. A rip asked for while one runs (by the after-rip automation) is queued
  // and starts from the event loop after the running one has returned; the result is then
  // Pending. A format the disc does not allow rips nothing (NotAllowed; DiscFormats() names
  // those it allows). LastRip() is the result of the last rip that ran.
  RipResult RipCommand(const RipOverrides& overrides = {});
  const RipResult& LastRip() const { return lastRip_; }
  // The output formats the disc allows, as last read (at a refresh or a rip).
  const QList<FormatId>& DiscFormats() const { return discFormats_; }
  int RipsRun() const { return ripsRun_; }
  bool RipQueued() const { return ripQueued_; }

  // The lookup dialog (11001): on a result the rows take the new texts and the record is
  // stored in the local disc cache.
  void FreeDbCommand();
  // The Disc Info menu's "MusicBrainz lookup", the same way.
  void MusicBrainzCommand();
  // The lookup after a disc arrives: the online sources in the order "LookupOrder" gives, the
  // second only when the first brought nothing.
  void AutomaticLookup();
  // The disc information was changed from outside (a lookup, an edit): the rows show it and
  // the cache keeps it.
  void DiscInfoChanged();
  // The rows show the disc information as it stands, while a dialog still edits it.
  void ShowDiscInfo();

  void SelectAll();
  void ClearAll();
  void InvertSelection();
  int64_t CheckedAudioBytes() const;

 private:
  struct MediaEvent {
    QString deviceName;
    bool arrived = false;
  };

  void MoveToNextDrive();
  void RunQueuedRip();
  void HandleHeldEvents();

  QList<TrackRow> ReadTrackRows();
  void FillTrackList();
  void CheckFormat();
  // Reads the disc's type; false when the format to rip is not one the disc allows.
  bool DiscAllows(const RipOverrides& overrides);

  ControllerHost& host_;
  DiscInfo disc_;
  bool discCached_ = false;
  QList<TrackRow> rows_;
  QList<FormatId> discFormats_;
  QString preferredDrive_;
  RipResult lastRip_;
  int ripsRun_ = 0;
  RipOverrides overrides_;
  bool ripRunning_ = false;
  bool ripQueued_ = false;
  QList<MediaEvent> heldEvents_;
};
