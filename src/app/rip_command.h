#pragma once
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "platform/ids.h"
#include "rip/rip_job.h"

class DiscInfo;
class OutputFormat;

// The icon and weight of a message box.
enum class MessageKind { Information, Warning, Error };

// What a rip needs of its front end: the playing-row mark, messages, the main window and
// the file browser.
class RipFrontEnd {
 public:
  virtual ~RipFrontEnd() = default;
  virtual int TrackRowCount() const = 0;
  virtual void SetPlayingRow(int row) = 0;
  virtual void ShowMessage(MessageKind kind, const QString& text) = 0;
  virtual void SetMainWindowVisible(bool visible) = 0;
  virtual void OpenFolder(const QString& folder) = 0;
};

// Settings that a front end overrides for one rip only.
struct RipOverrides {
  std::optional<FormatId> format;
  std::optional<QString> outputFolder;
  std::optional<bool> secure;  // secure reading instead of "Options"/"ReadMode"
};

// The Rip command around one RipJob: checks the format, holds the drive, prepares it, runs
// the job (the front end watches it through jobStarted) until it has finished, releases the
// drive and runs the after-rip actions. Runs on the user-interface thread.
class RipCommand {
 public:
  struct Hooks {
    std::function<void(RipJob& job)> jobStarted;  // before the job starts: connect to it
    // The job's end, before the after-rip actions (which may read another disc).
    std::function<void(const RipResult& result)> jobFinished;
    // Selects the next drive and runs the insertion actions there ("UseMultipleDevices").
    std::function<void()> moveToNextDrive;
  };

  RipCommand(RipFrontEnd& frontEnd, const DiscInfo& disc, Hooks hooks);

  // Rips tracks (0-based, in disc order) in format, or the disc image when format is one.
  // Pending means the tray was open: it is being closed and the rip waits for the disc.
  RipResult Run(FormatId format, const QList<int>& tracks, const RipOverrides& overrides);

 private:
  enum class Preparation { Ready, TrayOpen, NotPrepared };
  // Everything of the rip that touches the drive, while holding it: preparation, the job,
  // and the drive's release.
  RipResult RunHoldingDrive(std::shared_ptr<const OutputFormat> format, const QList<int>& tracks,
                            const NamingSettings& naming, bool secure);
  // Spins the drive up, applies the read speed and locks the tray; with the tray open,
  // closes it instead.
  Preparation PrepareDrive();
  RipResult RunJob(RipRequest request);
  void AfterRip(const QString& outputFolder);

  RipFrontEnd& host_;
  const DiscInfo& disc_;
  Hooks hooks_;
};
