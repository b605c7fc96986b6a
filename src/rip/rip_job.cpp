#include "rip/rip_job.h"

#include <QDir>
#include <QFileInfo>

#include "drive/cd_device.h"
#include "drive/disc_type.h"
#include "drive/drive_actions.h"
#include "drive/drive_claim.h"
#include "drive/drive_context.h"
#include "encoders/disc_image_writer.h"
#include "encoders/encoder_factory.h"
#include "encoders/output_format.h"
#include "rip/output_naming.h"
#include "rip/track_worker.h"
#include "settings/settings_store.h"
#include "texts/language_manager.h"

void DoneLatch::Reset() {
  std::lock_guard lock(mutex_);
  done_ = false;
}

void DoneLatch::Signal() {
  {
    std::lock_guard lock(mutex_);
    done_ = true;
  }
  changed_.notify_all();
}

bool DoneLatch::WaitFor(int ms) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return done_; });
}

namespace {

// The front end's callback, plus the done signal into the latch.
StatusCallback WorkerCallback(DoneLatch& done) {
  StatusCallback frontEnd = DriveContext::Instance().Callback();
  return [frontEnd, &done](StatusReport report) {
    const bool isDone = report.IsDone();
    if (frontEnd) frontEnd(std::move(report));
    if (isDone) done.Signal();
  };
}

// The audio bytes of these tracks, as the track list shows their sizes.
int64_t AudioBytes(CdDevice& device, const QList<int>& tracks) {
  int64_t total = 0;
  for (int i : tracks) {
    int64_t bytes = 0;
    if (device.GetTrackSize(i, bytes)) total += bytes;
  }
  return total;
}

TrackOutcome NotStarted(TrackOutcome outcome) {
  outcome.failed = true;
  outcome.errorText = QStringLiteral("%1: the work could not be started").arg(outcome.path);
  return outcome;
}

// The outcome of a worker whose thread has ended.
TrackOutcome Finished(TrackOutcome outcome, const RipWorker& worker) {
  outcome.path = worker.outputPath;  // a name taken meanwhile made the file take another
  outcome.failedSectors = worker.failedSectors;
  outcome.failed = worker.failed;
  outcome.errorText = worker.errorText;
  return outcome;
}

// A run whose folder could not be made: it fails before it starts, and says so once, naming
// the folder and the system's reason.
TrackOutcome FolderNotCreated(TrackOutcome outcome, const OutputPath& output) {
  outcome.failed = true;
  outcome.errorText =
      QStringLiteral("%1 %2: %3")
          .arg(LanguageManager::Instance().Text(kCantCreateDirectoryTextId),
               QDir::toNativeSeparators(QFileInfo(output.path).path()), output.folderError);
  return outcome;
}

NamingSettings NamingFor(const RipOverrides& overrides) {
  NamingSettings naming = NamingSettings::Load();
  if (overrides.outputFolder) naming.outputFolder = *overrides.outputFolder;
  return naming;
}

}  // namespace

RipJob::RipJob(RipFrontEnd& frontEnd, DiscInfo& disc, std::function<void()> moveToNextDrive)
    : host_(frontEnd), disc_(disc), moveToNextDrive_(std::move(moveToNextDrive)) {}

RipResult RipJob::Rip(const RipOverrides& overrides) {
  SettingsStore& store = SettingsStore::Instance();
  store.Load();
  const std::unique_ptr<OutputFormat> format =
      CreateOutputFormat(overrides.format.value_or(FromStored<FormatId>(store.formatSelected)));
  if (!format->IsAvailable()) {
    RipResult result{RipResult::Status::Unavailable, format->UnavailableMessage(), {}};
    host_.ShowMessage(MessageKind::Error, result.message);
    return result;
  }
  DriveContext::Instance().StopPlayback();
  host_.SetPlayingRow(-1);
  const RipResult result = RipHoldingDrive(*format, overrides);
  if (result.status == RipResult::Status::Busy || result.status == RipResult::Status::Pending)
    return result;
  host_.SetMainWindowVisible(true);
  DriveContext::Instance().worker = nullptr;
  AfterRip(result.status != RipResult::Status::Cancelled);
  return result;
}

RipResult RipJob::RipHoldingDrive(const OutputFormat& format, const RipOverrides& overrides) {
  RipResult result;
  const DriveClaim claim(format.IsTrackFormat() ? DriveUse::Rip : DriveUse::Image);
  if (!claim.Held()) {
    result = {RipResult::Status::Busy, claim.Reason(), {}};
    host_.ShowMessage(MessageKind::Warning, result.message);
    return result;
  }
  outputFolder_ = NamingFor(overrides).outputFolder;
  // A rip asked for now replaces one that waited for a disc, in this drive or another.
  SettingsStore::Instance().autoRipPending = 0;
  const Preparation preparation = PrepareDrive();
  if (preparation == Preparation::TrayOpen) {
    result.status = RipResult::Status::Pending;
    return result;
  }
  // Without a disc ready the table of contents is the last disc's: there is nothing to read.
  if (CurrentDiscState() != DiscState::Ready) {
    result.status = RipResult::Status::NoDrive;
  } else if (format.IsTrackFormat() ? RipTracks(format, overrides, result)
                                    : RipImage(format, overrides, result)) {
    result.status = RipResult::Status::Cancelled;
  }

  host_.SetPlayingRow(-1);
  if (CdDevice* device = DriveContext::Instance().device;
      device && preparation == Preparation::Ready) {
    device->UnlockTray();
    device->StopUnit();
  }
  return result;
}

RipJob::Preparation RipJob::PrepareDrive() {
  DriveContext& context = DriveContext::Instance();
  CdDevice* device = context.device;
  bool closed = false;
  if (!device || !context.present || !device->IsTrayClosed(closed)) return Preparation::NotPrepared;
  if (!closed) {
    SettingsStore::Instance().autoRipPending = 1;
    device->LoadTray();
    return Preparation::TrayOpen;
  }
  device->StartUnit();
  device->ApplyReadSpeed(SettingsStore::Instance().ReadText(Key::CDReadSpeed));
  device->LockTray();
  return Preparation::Ready;
}

bool RipJob::RipTracks(const OutputFormat& format, const RipOverrides& overrides,
                       RipResult& result) {
  DriveContext& context = DriveContext::Instance();
  CdDevice* device = context.device;
  int count = 0;
  if (!device || !device->GetTrackCount(count) || count == 0) return false;

  QList<int> tracks;
  for (int i = 0; i < count; ++i) {
    bool data = false;
    if (device->IsDataTrack(i, data) && !data && i < host_.TrackRowCount() &&
        host_.IsRowChecked(i)) {
      tracks.append(i);
    }
  }
  const NamingSettings naming = NamingFor(overrides);
  TrackWorker worker(*device, format, &disc_);
  worker.statusCallback = WorkerCallback(done_);
  QSet<QString> takenThisRun;
  for (int n = 0; n < tracks.size(); ++n) {
    const int i = tracks[n];
    host_.SetPlayingRow(i);
    context.playTrack = i;
    OutputPath output = BuildTrackPath(i, format, disc_, naming);
    output.path = UniqueInRun(output.path, takenThisRun);
    if (!context.present) continue;
    if (!output.folderReady) {
      result.outcomes.append(FolderNotCreated({i, output.path, 0, false, {}}, output));
      continue;
    }

    done_.Reset();
    context.worker = &worker;
    RipRun run{output.path,
               i + 1,
               n + 1,
               int(tracks.size()),
               &worker,
               &done_,
               AudioBytes(*device, {i}),
               AudioBytes(*device, tracks.mid(0, n)),
               AudioBytes(*device, tracks)};
    TrackOutcome outcome{i, output.path, 0, false, {}};
    if (!worker.StartTrack(i, output.path, 0, 0)) {
      result.outcomes.append(NotStarted(outcome));
      continue;
    }
    const bool finished = RunProgressDialog(run);
    worker.Join();
    context.worker = nullptr;
    if (!finished) return true;
    outcome = Finished(outcome, worker);
    result.outcomes.append(outcome);
    // A track with read errors stays ticked, so it can be ripped again.
    if (!outcome.failed && outcome.failedSectors == 0) host_.SetRowChecked(i, false);
  }
  return false;
}

bool RipJob::RipImage(const OutputFormat& format, const RipOverrides& overrides,
                      RipResult& result) {
  QString label;
  GetVolumeLabel(label);
  const OutputPath output = BuildImagePath(format, label, NamingFor(overrides));
  DriveContext& context = DriveContext::Instance();
  if (!context.present) return false;
  TrackOutcome outcome{-1, output.path, 0, false, {}};
  if (!output.folderReady) {
    result.outcomes.append(FolderNotCreated(outcome, output));
    return false;
  }
  std::unique_ptr<DiscImageWriter> writer = CreateDiscImageWriter(format.TypeId());
  if (!writer) {
    result.outcomes.append(NotStarted(outcome));
    return false;
  }
  done_.Reset();
  writer->drive = context.device;
  writer->statusCallback = WorkerCallback(done_);
  context.worker = writer.get();
  RipRun run{output.path, 0, 1, 1, writer.get(), &done_};
  if (!writer->StartImage(output.path)) {
    result.outcomes.append(NotStarted(outcome));
    return false;
  }
  const bool finished = RunProgressDialog(run);
  // The writer's thread ends before the writer goes.
  writer->Join();
  context.worker = nullptr;
  result.outcomes.append(Finished(outcome, *writer));
  return !finished;
}

// The worker stops before its next read once cancelled, so the join waits for one read at
// most. A cancelled worker removes its own unfinished file; nothing here touches the final
// path, so a complete file of that name from an earlier rip stays.
bool RipJob::RunProgressDialog(RipRun& run) {
  if (host_.RunProgressDialog(run)) return true;
  run.worker->stopRequested = 1;
  run.worker->Join();
  return false;
}

void RipJob::AfterRip(bool notCancelled) {
  if (!notCancelled) return;
  const SettingsStore& store = SettingsStore::Instance();
  if (store.ReadInt(Key::AutoEjectCD)) ToggleTray();
  if (store.ReadInt(Key::AutoOpenOutputFolder)) host_.OpenFolder(outputFolder_);
  if (store.ReadInt(Key::UseMultipleDevices) && moveToNextDrive_) moveToNextDrive_();
}
