#pragma once
#include <QList>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/ids.h"

class DiscInfo;
class OutputFormat;
class RipWorker;

// Tells whether the done signal of the current run came. The signal may come before the
// progress display exists; it is remembered until the next run starts.
class DoneLatch {
 public:
  void Reset();
  void Signal();
  // Waits up to ms milliseconds; true when the run is done.
  bool WaitFor(int ms);

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool done_ = false;
};

// One run of the progress display: a track (or the disc image) being written.
struct RipRun {
  QString path;
  int trackNumber = 0;  // 1-based; 0 for a disc image
  int ordinal = 0;      // this run's place among the runs of the rip, 1-based
  int runCount = 0;
  RipWorker* worker = nullptr;  // set stopRequested to cancel; speed for the display
  DoneLatch* done = nullptr;
  // For the rip's total progress: the audio bytes of this run, of the runs before it and
  // of the whole rip. 0 for a disc image, whose own percent is its total.
  int64_t bytes = 0;
  int64_t bytesBefore = 0;
  int64_t totalBytes = 0;
};

// The icon and weight of a message box.
enum class MessageKind { Information, Warning, Error };

// What the rip job needs of its front end: the track list, the progress display, messages,
// the main window and the file browser.
class RipFrontEnd {
 public:
  virtual ~RipFrontEnd() = default;
  virtual int TrackRowCount() const = 0;
  virtual bool IsRowChecked(int row) const = 0;
  virtual void SetRowChecked(int row, bool checked) = 0;
  virtual void SetPlayingRow(int row) = 0;
  // Shows the progress of a run until its done signal; false when the user cancelled.
  virtual bool RunProgressDialog(const RipRun& run) = 0;
  virtual void ShowMessage(MessageKind kind, const QString& text) = 0;
  virtual void SetMainWindowVisible(bool visible) = 0;
  virtual void OpenFolder(const QString& folder) = 0;
};

// How one track (or the image) ended.
struct TrackOutcome {
  int trackIndex = -1;  // -1 for a disc image
  QString path;
  int failedSectors = 0;  // read errors, written as silence
  bool failed = false;    // the file could not be created, written or closed
  QString errorText;      // why it failed, naming the file or folder
};

struct RipResult {
  // Pending: nothing ripped yet; the rip starts by itself later (the tray was open and a
  // disc is awaited, or another rip was running). NoDrive: no drive, or no readable disc in
  // it. Unavailable: the format cannot be written. Busy: another use holds the drive.
  // NotAllowed: the disc does not allow the format (an ISO image of an audio CD).
  enum class Status { Done, Cancelled, Pending, NoDrive, Unavailable, Busy, NotAllowed };
  Status status = Status::Done;
  QString message;  // why, for Unavailable and Busy
  QList<TrackOutcome> outcomes;
};

// Settings that a front end overrides for one rip only.
struct RipOverrides {
  std::optional<FormatId> format;
  std::optional<QString> outputFolder;
};

// The Rip command: prepares the drive, rips the ticked audio tracks (or the disc image),
// then runs the after-rip actions. Runs on the user-interface thread; each track's data
// moves on a worker thread of its encoder.
class RipJob {
 public:
  // moveToNextDrive selects the next drive of the list and runs the insertion actions
  // there ("UseMultipleDevices").
  RipJob(RipFrontEnd& frontEnd, DiscInfo& disc, std::function<void()> moveToNextDrive);

  RipResult Rip(const RipOverrides& overrides = {});

 private:
  enum class Preparation { Ready, TrayOpen, NotPrepared };
  // Everything of the rip that touches the drive, while holding it: preparation, the runs,
  // and the drive's release.
  RipResult RipHoldingDrive(const OutputFormat& format, const RipOverrides& overrides);
  // Spins the drive up, applies the read speed and locks the tray; with the tray open, sets
  // AutoRipPending and closes it instead.
  Preparation PrepareDrive();
  bool RipTracks(const OutputFormat& format, const RipOverrides& overrides, RipResult& result);
  bool RipImage(const OutputFormat& format, const RipOverrides& overrides, RipResult& result);
  bool RunProgressDialog(RipRun& run);
  void AfterRip(bool notCancelled);

  RipFrontEnd& host_;
  DiscInfo& disc_;
  std::function<void()> moveToNextDrive_;
  DoneLatch done_;
  QString outputFolder_;  // where this rip writes, for the after-rip actions
};
