#include "app/main_controller.h"

#include "drive/cd_device.h"
#include "drive/disc_type.h"
#include "drive/drive_actions.h"
#include "drive/drive_context.h"
#include "drive/media_watch.h"
#include "metadata/current_disc.h"
#include "settings/settings_store.h"

MainController::MainController(ControllerHost& host) : host_(host) {
  auto* media = new MediaWatch(this);
  connect(media, &MediaWatch::MediaChanged, this, &MainController::OnMediaChanged);
}

void MainController::RefreshTracks() {
  QString displayName;
  if (SelectPreferredDrive(preferredDrive_, displayName) == DriveChoice::Selected) {
    SettingsStore::Instance().WriteString(Key::Device, displayName);
  }
  FillTrackList();
  CheckFormat();
}

void MainController::FillTrackList() {
  rows_.clear();
  discCached_ = false;
  CdDevice* device = DriveContext::Instance().device;
  int count = 0;
  if (DriveContext::Instance().present && CurrentDiscState() == DiscState::Ready && device &&
      device->GetTrackCount(count)) {
    discCached_ = InitForCurrentDisc(disc_);
    if (!discCached_) LoadCdText(disc_);
    for (int i = 0; i < count; ++i) {
      TrackRow row;
      row.number = i + 1;
      device->IsDataTrack(i, row.data);
      device->GetTrackSize(i, row.bytes);
      int seconds = 0;
      device->GetTrackSeconds(i, seconds);
      row.artist = disc_.GetTrackArtist(i);
      row.title = row.data ? QStringLiteral("Data track") : disc_.GetTrackTitle(i);
      row.size = QString::asprintf("%2.2f", row.bytes / (1024.0 * 1024.0));
      row.time = QString::asprintf("%02d:%02d", seconds / 60, seconds % 60);
      rows_.append(row);
    }
  }
  host_.SetTrackRows(rows_);
}

void MainController::CheckFormat() {
  const std::optional<DiscType> type = DetectDiscType();
  if (!type) return;  // no drive, an open tray or no readable disc
  SettingsStore& store = SettingsStore::Instance();
  store.Load();
  if (!type->Allows(store.formatSelected)) {
    store.formatSelected = type->FirstFormat();
    store.Save();
  }
}

void MainController::OnMediaChanged(const QString& deviceName, bool arrived) {
  if (deviceName != DriveContext::Instance().DeviceName()) return;
  RefreshTracks();
  if (arrived) {
    RunInsertionActions();
  } else {
    SettingsStore::Instance().autoRipPending = 0;
  }
}

void MainController::RunInsertionActions() {
  const SettingsStore& settings = SettingsStore::Instance();
  if (settings.ReadInt(Key::AutoSelectAllTracks)) SelectAll();
  if (settings.ReadInt(Key::AutoRequestFreeDB) && !disc_.IsInCache()) host_.RunFreeDbLookup();
  const int pending = SettingsStore::Instance().autoRipPending.exchange(0);
  if (settings.ReadInt(Key::AutoStartRipping) || pending == 1) RipCommand(overrides_);
}

RipResult MainController::RipCommand(const RipOverrides& overrides) {
  overrides_ = overrides;  // a rip that waits for the disc keeps them
  RipJob job(host_, disc_, [this] { MoveToNextDrive(); });
  RipResult result = job.Rip(overrides);
  if (result.status != RipResult::Status::Pending) {
    lastRip_ = result;
    ++ripsRun_;
  }
  return result;
}

void MainController::MoveToNextDrive() {
  const QStringList drives = ListDrives();
  if (drives.size() < 2) return;
  SettingsStore& store = SettingsStore::Instance();
  const int next = (store.ReadInt(Key::CurrentDriveIndex) + 1) % drives.size();
  store.WriteInt(Key::CurrentDriveIndex, next);
  store.WriteString(Key::Device, drives[next]);
  preferredDrive_ = drives[next];
  RefreshTracks();
  CdDevice* device = DriveContext::Instance().device;
  bool closed = false;
  if (!device || !device->IsTrayClosed(closed)) return;
  if (closed) {
    RunInsertionActions();
  } else {
    store.autoRipPending = 1;
    device->LoadTray();
  }
}

void MainController::SelectAll() {
  for (int i = 0; i < host_.TrackRowCount(); ++i) host_.SetRowChecked(i, true);
}

void MainController::ClearAll() {
  for (int i = 0; i < host_.TrackRowCount(); ++i) host_.SetRowChecked(i, false);
}

void MainController::InvertSelection() {
  for (int i = 0; i < host_.TrackRowCount(); ++i) host_.SetRowChecked(i, !host_.IsRowChecked(i));
}

int64_t MainController::CheckedAudioBytes() const {
  int64_t total = 0;
  for (int i = 0; i < rows_.size() && i < host_.TrackRowCount(); ++i) {
    if (!rows_[i].data && host_.IsRowChecked(i)) total += rows_[i].bytes;
  }
  return total;
}
