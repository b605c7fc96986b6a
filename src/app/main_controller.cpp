#include "app/main_controller.h"

#include <utility>

#include "app/disc_formats.h"
#include "app/disc_lookup.h"
#include "drive/cd_device.h"
#include "drive/disc_type.h"
#include "drive/drive_actions.h"
#include "drive/drive_claim.h"
#include "drive/drive_context.h"
#include "drive/media_watch.h"
#include "metadata/current_disc.h"
#include "settings/ini_file.h"
#include "settings/settings_store.h"

MainController::MainController(ControllerHost& host)
    : host_(host),
      format_(FromStored<FormatId>(SettingsStore::Instance().ReadInt(Key::FormatSelected))) {
  auto* media = new MediaWatch(this);
  connect(media, &MediaWatch::MediaChanged, this, &MainController::OnMediaChanged);
}

bool MainController::ChooseDrive(int index) {
  const QStringList drives = ListDrives();
  if (!StoreDriveChoice(drives, index)) return false;
  preferredDrive_ = drives[index];
  host_.OnDriveChosen(index);
  RefreshTracks();
  return true;
}

void MainController::RefreshTracks() {
  DriveContext::Instance().StopPlayback();
  const DriveClaim claim(DriveUse::Refresh);
  if (!claim.Held()) return;
  QString displayName;
  SelectPreferredDrive(preferredDrive_, displayName);
  FillTrackList();
  CheckFormat();
}

namespace {

void SetRowTexts(TrackRow& row, const DiscInfo& disc) {
  const int index = row.number - 1;
  row.artist = disc.GetTrackArtist(index);
  row.title = row.data ? QStringLiteral("Data track") : disc.GetTrackTitle(index);
}

}  // namespace

QList<TrackRow> MainController::ReadTrackRows() {
  QList<TrackRow> rows;
  CdDevice* device = DriveContext::Instance().device;
  int count = 0;
  if (!DriveContext::Instance().present || CurrentDiscState() != DiscState::Ready || !device ||
      !device->GetTrackCount(count)) {
    return rows;
  }
  discCached_ = LoadDiscInformation(disc_);
  for (int i = 0; i < count; ++i) {
    TrackRow row;
    row.number = i + 1;
    device->IsDataTrack(i, row.data);
    device->GetTrackSize(i, row.bytes);
    int seconds = 0;
    device->GetTrackSeconds(i, seconds);
    SetRowTexts(row, disc_);
    row.size = QString::asprintf("%2.2f", row.bytes / (1024.0 * 1024.0));
    row.time = QString::asprintf("%02d:%02d", seconds / 60, seconds % 60);
    rows.append(row);
  }
  return rows;
}

void MainController::FillTrackList() {
  discCached_ = false;
  rows_ = ReadTrackRows();
  selection_.Reset(rows_);
  host_.SetTrackRows(rows_);
  // A freshly read disc has every row checked when the user asked for that.
  if (SettingsStore::Instance().ReadInt(Key::AutoSelectAllTracks)) SelectAll();
}

void MainController::FreeDbCommand() {
  if (host_.RunFreeDbLookup()) DiscInfoChanged();
}

void MainController::MusicBrainzCommand() {
  if (host_.RunMusicBrainzLookup()) DiscInfoChanged();
}

void MainController::AutomaticLookup() {
  const LookupOrder order =
      FromStored<LookupOrder>(IniFile(SettingsStore::kFileName).ReadInt(Key::MbLookupOrder));
  auto musicBrainz = [this] { return host_.RunMusicBrainzLookup(); };
  auto freeDb = [this] { return host_.RunFreeDbLookup(); };
  bool found = false;
  switch (order) {
    case LookupOrder::MusicBrainzFirst: found = musicBrainz() || freeDb(); break;
    case LookupOrder::FreeDbFirst: found = freeDb() || musicBrainz(); break;
    case LookupOrder::MusicBrainzOnly: found = musicBrainz(); break;
    case LookupOrder::FreeDbOnly: found = freeDb(); break;
  }
  if (found) DiscInfoChanged();
}

void MainController::ShowDiscInfo() {
  for (TrackRow& row : rows_) SetRowTexts(row, disc_);
  host_.OnDiscInfoChanged(rows_);
}

void MainController::DiscInfoChanged() {
  ShowDiscInfo();
  disc_.SaveToCache();
  discCached_ = disc_.IsInCache();
}

void MainController::CheckFormat() {
  const std::optional<DiscType> type = DetectDiscType();
  discFormats_ = AllowedFormats(type);
  host_.OnAllowedFormats(discFormats_);
  if (!type) return;  // no drive, an open tray or no readable disc
  if (!discFormats_.contains(format_)) {
    format_ = discFormats_.first();
    host_.OnFormatChanged(format_);
  }
}

void MainController::ChooseFormat(FormatId format) {
  format_ = format;
  SettingsStore::Instance().WriteInt(Key::FormatSelected, ToStored(format));
  host_.OnFormatChanged(format_);
}

bool MainController::DiscAllows(const RipOverrides& overrides) {
  DriveContext::Instance().StopPlayback();  // the player leaves the drive to the questions
  {
    const DriveClaim claim(DriveUse::Refresh);
    if (!claim.Held()) return true;  // the rip itself tells who holds the drive
    discFormats_ = AllowedFormats(DetectDiscType());
  }
  return discFormats_.contains(overrides.format.value_or(format_));
}

void MainController::OnMediaChanged(const QString& deviceName, bool arrived) {
  if (ripRunning_) {
    heldEvents_.append({deviceName, arrived});
    return;
  }
  if (deviceName != DriveContext::Instance().DeviceName()) return;
  RefreshTracks();
  if (arrived) {
    RunInsertionActions();
  } else {
    autoRipPending_ = false;
  }
}

void MainController::RunInsertionActions() {
  const SettingsStore& settings = SettingsStore::Instance();
  if (settings.ReadInt(Key::AutoSelectAllTracks)) SelectAll();
  if (settings.ReadInt(Key::AutoRequestFreeDB) && !disc_.IsInCache()) AutomaticLookup();
  const bool pending = std::exchange(autoRipPending_, false);
  if (settings.ReadInt(Key::AutoStartRipping) || pending) RipCommand(overrides_);
}

RipResult MainController::RipCommand(const RipOverrides& overrides) {
  overrides_ = overrides;  // a rip that waits for the disc keeps them
  if (ripRunning_) {
    if (!ripQueued_) {
      ripQueued_ = true;
      QMetaObject::invokeMethod(this, &MainController::RunQueuedRip, Qt::QueuedConnection);
    }
    return RipResult::Ended(RipResult::Status::Pending);
  }
  ripRunning_ = true;
  // A rip asked for now replaces one that waited for a disc, in this drive or another.
  autoRipPending_ = false;
  RipResult result = RipResult::Ended(RipResult::Status::NotAllowed);
  if (DiscAllows(overrides)) {
    RipCommand::Hooks hooks;
    hooks.jobStarted = [this](RipJob& job) { emit RipStarted(&job); };
    hooks.jobFinished = [this](const RipResult& result) { UntickRipped(result); };
    hooks.moveToNextDrive = [this] { MoveToNextDrive(); };
    ::RipCommand command(host_, disc_, std::move(hooks));
    result = command.Run(format_, selection_.CheckedAudioTracks(), overrides);
  }
  ripRunning_ = false;
  if (result.status == RipResult::Status::Pending) {
    autoRipPending_ = true;
  } else {
    lastRip_ = result;
    ++ripsRun_;
  }
  if (!heldEvents_.isEmpty()) {
    QMetaObject::invokeMethod(this, &MainController::HandleHeldEvents, Qt::QueuedConnection);
  }
  return result;
}

void MainController::RunQueuedRip() {
  ripQueued_ = false;
  RipCommand(overrides_);
}

void MainController::HandleHeldEvents() {
  const QList<MediaEvent> events = std::exchange(heldEvents_, {});
  for (const MediaEvent& event : events) OnMediaChanged(event.deviceName, event.arrived);
}

void MainController::MoveToNextDrive() {
  const QStringList drives = ListDrives();
  if (drives.size() < 2) return;
  // The drive after the current one; when the current one is not listed, after the stored
  // choice.
  qsizetype current = drives.indexOf(FindDrive(drives, DriveContext::Instance().DeviceName()));
  if (current < 0) current = StoredDriveIndex(drives.size());
  ChooseDrive(int((current + 1) % drives.size()));
  CdDevice* device = DriveContext::Instance().device;
  bool closed = false;
  if (!DriveContext::Instance().present || !device || !device->IsTrayClosed(closed)) return;
  if (closed) {
    RunInsertionActions();
  } else {
    autoRipPending_ = true;
    device->LoadTray();
  }
}

// A track with read errors stays ticked, so it can be ripped again.
void MainController::UntickRipped(const RipResult& result) {
  bool changed = false;
  for (const TrackOutcome& outcome : result.outcomes) {
    if (outcome.trackIndex < 0 || outcome.failed || outcome.failedSectors > 0) continue;
    selection_.SetChecked(outcome.trackIndex, false);
    changed = true;
  }
  if (changed) host_.ShowChecks(selection_);
}

void MainController::SetChecked(int row, bool checked) {
  selection_.SetChecked(row, checked);
  host_.ShowChecks(selection_);
}

void MainController::SelectAll() {
  selection_.SelectAll();
  host_.ShowChecks(selection_);
}

void MainController::ClearAll() {
  selection_.Clear();
  host_.ShowChecks(selection_);
}

void MainController::InvertSelection() {
  selection_.Invert();
  host_.ShowChecks(selection_);
}
