#pragma once
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "app/rip_command.h"
#include "app/track_selection.h"
#include "metadata/disc_info.h"

// What the controller needs of its front end (the main window, or the console): the
// rip's needs, the rows of the track list and their check marks.
class ControllerHost : public RipFrontEnd {
 public:
  // New rows for a new disc (or none); every check is cleared.
  virtual void SetTrackRows(const QList<TrackRow>& rows) = 0;
  // The check marks changed (a click, a selection command, a rip's end): show them.
  virtual void ShowChecks(const TrackSelection& selection) = 0;
  // The disc information changed (a lookup's result): the same rows with new artist and
  // title texts; their checks stay.
  virtual void OnDiscInfoChanged(const QList<TrackRow>& rows) = 0;
  // The output format changed: the user's choice, or a refresh that replaced it with the
  // first one the disc allows (the toolbar's format image and the format radio mark follow).
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

  // The output format of the next rip: the user's last choice ("FormatSelected"), or the
  // first one the disc allows.
  FormatId Format() const { return format_; }
  // The user's choice of a format: kept for the rips and stored.
  void ChooseFormat(FormatId format);
  // True while a rip waits for the disc whose tray it closed; that disc's arrival starts it.
  bool AutoRipPending() const { return autoRipPending_; }

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

  const TrackSelection& Selection() const { return selection_; }
  // The user's click on a row's check mark.
  void SetChecked(int row, bool checked);
  void SelectAll();
  void ClearAll();
  void InvertSelection();
  int64_t CheckedAudioBytes() const { return selection_.CheckedAudioBytes(); }

 signals:
  // A rip's job is about to start: a front end connects its progress display to it. The
  // job lives until its Finished has been handled.
  void RipStarted(RipJob* job);

 private:
  struct MediaEvent {
    QString deviceName;
    bool arrived = false;
  };

  void MoveToNextDrive();
  void RunQueuedRip();
  void UntickRipped(const RipResult& result);
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
  TrackSelection selection_;
  FormatId format_;
  bool autoRipPending_ = false;
  QList<FormatId> discFormats_;
  QString preferredDrive_;
  RipResult lastRip_;
  int ripsRun_ = 0;
  RipOverrides overrides_;
  bool ripRunning_ = false;
  bool ripQueued_ = false;
  QList<MediaEvent> heldEvents_;
};
