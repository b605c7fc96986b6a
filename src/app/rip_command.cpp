#include "app/rip_command.h"

#include <QEventLoop>

#include "drive/cd_device.h"
#include "drive/disc_type.h"
#include "drive/drive_actions.h"
#include "drive/drive_claim.h"
#include "drive/drive_context.h"
#include "encoders/output_format.h"
#include "encoders/tag_record.h"
#include "metadata/cover_store.h"
#include "metadata/disc_info.h"
#include "metadata/accuraterip_client.h"
#include "settings/settings_store.h"

RipCommand::RipCommand(RipFrontEnd& frontEnd, const DiscInfo& disc, Hooks hooks)
    : host_(frontEnd), disc_(disc), hooks_(std::move(hooks)) {}

RipResult RipCommand::Run(FormatId formatId, const QList<int>& tracks,
                          const RipOverrides& overrides) {
  const std::shared_ptr<const OutputFormat> format =
      CreateOutputFormat(overrides.format.value_or(formatId));
  if (!format->IsAvailable()) {
    RipResult result =
        RipResult::Ended(RipResult::Status::Unavailable, format->UnavailableMessage());
    host_.ShowMessage(MessageKind::Error, result.message);
    return result;
  }
  DriveContext::Instance().StopPlayback();
  host_.SetPlayingRow(-1);
  NamingSettings naming = NamingSettings::Load();
  if (overrides.outputFolder) naming.outputFolder = *overrides.outputFolder;
  const bool secure = overrides.secure.value_or(
      FromStored<ReadMode>(SettingsStore::Instance().ReadInt(Key::AudioReadMode)) ==
      ReadMode::Secure);
  const RipResult result = RunHoldingDrive(format, tracks, naming, secure);
  if (result.status == RipResult::Status::Busy || result.status == RipResult::Status::Pending)
    return result;
  host_.SetMainWindowVisible(true);
  if (result.status != RipResult::Status::Cancelled) AfterRip(naming.outputFolder);
  return result;
}

RipResult RipCommand::RunHoldingDrive(std::shared_ptr<const OutputFormat> format,
                                      const QList<int>& tracks, const NamingSettings& naming,
                                      bool secure) {
  RipResult result;
  const DriveClaim claim(format->IsTrackFormat() ? DriveUse::Rip : DriveUse::Image);
  if (!claim.Held()) {
    result = RipResult::Ended(RipResult::Status::Busy, claim.Reason());
    host_.ShowMessage(MessageKind::Warning, result.message);
    return result;
  }
  const Preparation preparation = PrepareDrive();
  if (preparation == Preparation::TrayOpen) {
    result.status = RipResult::Status::Pending;
    return result;
  }
  // Without a disc ready the table of contents is the last disc's: there is nothing to read.
  if (CurrentDiscState() != DiscState::Ready) {
    result.status = RipResult::Status::NoDrive;
  } else {
    RipRequest request;
    request.device = DriveContext::Instance().device;
    request.format = std::move(format);
    request.naming = naming;
    request.disc = &disc_;
    if (request.format->IsTrackFormat()) {
      request.tracks = tracks;
    } else {
      GetVolumeLabel(request.volumeLabel);
    }
    const SettingsStore& store = SettingsStore::Instance();
    request.encoderThreads = store.ReadInt(Key::EncoderThreads);
    request.driveName = DriveContext::Instance().ProductName();
    request.secure = secure;
    const AccurateRipSettings accurateRip = AccurateRipSettings::Load();
    if (accurateRip.verify) request.verifyServer = accurateRip.server;
    if (SavesCoverFile()) request.coverFile = StoredCover(disc_.musicBrainz.release);
    result = RunJob(std::move(request));
    for (const QString& note : result.notes) host_.ShowMessage(MessageKind::Warning, note);
  }

  host_.SetPlayingRow(-1);
  if (CdDevice* device = DriveContext::Instance().device;
      device && preparation == Preparation::Ready) {
    device->UnlockTray();
    device->StopUnit();
  }
  return result;
}

RipCommand::Preparation RipCommand::PrepareDrive() {
  DriveContext& context = DriveContext::Instance();
  CdDevice* device = context.device;
  bool closed = false;
  if (!device || !context.present || !device->IsTrayClosed(closed)) return Preparation::NotPrepared;
  if (!closed) {
    device->LoadTray();
    return Preparation::TrayOpen;
  }
  device->StartUnit();
  device->ApplyReadSpeed(SettingsStore::Instance().ReadText(Key::CDReadSpeed));
  device->LockTray();
  return Preparation::Ready;
}

// The job reports on this thread; the loop runs until its one Finished, whatever the front
// end does meanwhile.
RipResult RipCommand::RunJob(RipRequest request) {
  RipJob job;
  QEventLoop loop;
  QObject::connect(&job, &RipJob::Finished, &loop, &QEventLoop::quit);
  QObject::connect(&job, &RipJob::RunStarted, &job,
                   [this](const RipRun& run) { host_.SetPlayingRow(run.trackNumber - 1); });
  if (hooks_.jobStarted) hooks_.jobStarted(job);
  if (!job.Start(request)) return {};
  if (!job.IsFinished()) loop.exec();
  if (hooks_.jobFinished) hooks_.jobFinished(job.Result());
  return job.Result();
}

void RipCommand::AfterRip(const QString& outputFolder) {
  const SettingsStore& store = SettingsStore::Instance();
  if (store.ReadInt(Key::AutoEjectCD)) ToggleTray();
  if (store.ReadInt(Key::AutoOpenOutputFolder)) host_.OpenFolder(outputFolder);
  if (store.ReadInt(Key::UseMultipleDevices) && hooks_.moveToNextDrive) hooks_.moveToNextDrive();
}
