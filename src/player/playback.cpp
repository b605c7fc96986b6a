#include "player/playback.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "drive/cd_device.h"
#include "drive/drive_claim.h"
#include "drive/drive_context.h"
#include "player/cd_player.h"

namespace {

constexpr int kMaxTracks = 99;

struct TrackSpan {
  int first = 0;
  int last = 0;
};

// The players of the process: the one that plays now, and every one whose playback thread
// has not been joined yet (a stopped player ends by itself, shortly after).
class Players {
 public:
  static Players& Instance() {
    static Players players;
    return players;
  }

  std::shared_ptr<CdPlayer> Current() {
    std::lock_guard lock(mutex_);
    return current_ && !current_->Released() ? current_ : nullptr;
  }

  // Makes player the current one; it is looked after until it has ended.
  void Add(const std::shared_ptr<CdPlayer>& player) {
    std::lock_guard lock(mutex_);
    current_ = player;
    live_.push_back(player);
  }

  void Remove(const std::shared_ptr<CdPlayer>& player) {
    std::lock_guard lock(mutex_);
    if (current_ == player) current_.reset();
    live_.erase(std::remove(live_.begin(), live_.end(), player), live_.end());
  }

  void StopCurrent() {
    std::shared_ptr<CdPlayer> player;
    {
      std::lock_guard lock(mutex_);
      player.swap(current_);
    }
    if (player) player->RequestStop();
  }

  // Waits until the players of other threads have ended: released the drive and the sound
  // device, and told their end.
  void WaitForEnds() {
    std::vector<std::shared_ptr<CdPlayer>> waited;
    {
      std::unique_lock lock(mutex_);
      for (const auto& player : live_) {
        if (!player->RunsOnThisThread()) waited.push_back(player);
      }
      changed_.wait(lock, [&] {
        return std::all_of(waited.begin(), waited.end(),
                           [](const auto& player) { return player->Ended(); });
      });
    }
    Reap();
  }

  // Joins the players that have ended, outside the lock: an ending player still takes it.
  void Reap() {
    std::vector<std::shared_ptr<CdPlayer>> ended;
    {
      std::lock_guard lock(mutex_);
      for (const auto& player : live_) {
        if (player->Ended() && !player->RunsOnThisThread()) ended.push_back(player);
      }
      for (const auto& player : ended) live_.erase(std::find(live_.begin(), live_.end(), player));
    }
    for (const auto& player : ended) player->Join();
  }

  // Called by a player's playback thread when it has released its resources and when it
  // has ended.
  void Changed() {
    std::lock_guard lock(mutex_);
    if (current_ && current_->Released()) {
      current_.reset();
      paused = false;
    }
    changed_.notify_all();
  }

  std::mutex control;  // one of PlayTrack, StopPlayback, TogglePause at a time
  std::atomic<bool> paused{false};

 private:
  // Ejecting the tray and starting a rip stop the player and wait until it has let go of
  // the drive.
  Players() {
    DriveContext::Instance().SetStopPlaybackHook([] {
      StopPlayback();
      WaitForPlayersToEnd();
    });
  }

  ~Players() {
    DriveContext::Instance().SetStopPlaybackHook({});
    StopCurrent();
    WaitForEnds();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::shared_ptr<CdPlayer> current_;
  std::vector<std::shared_ptr<CdPlayer>> live_;
};

bool Refuse(PlayError* error, PlayError::Kind kind, const QString& text) {
  if (error) *error = {kind, text};
  return false;
}

// Where the track lies, when it is an audio track of the disc in the current drive.
bool FindPlayableTrack(int index, TrackSpan& span, PlayError* error) {
  const DriveContext& context = DriveContext::Instance();
  const DriveUse use = DriveClaim::CurrentUse();
  if (use == DriveUse::Rip || use == DriveUse::Image)
    return Refuse(error, PlayError::DriveBusy, "the drive is busy with a rip");
  CdDevice* device = context.device;
  int count = 0;
  if (!device || !context.present || !device->GetTrackCount(count)) {
    return Refuse(error, PlayError::NoDisc, "no disc to play");
  }
  if (count < 1 || count > kMaxTracks || index < 0 || index >= count) {
    return Refuse(error, PlayError::BadTrack,
                  QString("no track %1: the disc has %2 tracks").arg(index + 1).arg(count));
  }
  bool data = false;
  if (!device->IsDataTrack(index, data) || !device->GetTrackStart(index, span.first) ||
      !device->GetTrackEnd(index, span.last) || span.last < span.first) {
    return Refuse(error, PlayError::NoDisc,
                  QString("cannot find track %1 on the disc").arg(index + 1));
  }
  if (data)
    return Refuse(error, PlayError::DataTrack, QString("track %1 is a data track").arg(index + 1));
  return true;
}

}  // namespace

PlayerEvents& PlayerEvents::Instance() {
  static PlayerEvents events;
  return events;
}

bool PlayTrack(int trackIndex, PlayError* error) {
  Players& players = Players::Instance();
  std::lock_guard control(players.control);
  players.Reap();
  if (players.paused.exchange(false)) {
    if (const auto player = players.Current()) {
      player->Restart();
      return true;
    }
  }
  TrackSpan span;
  if (!FindPlayableTrack(trackIndex, span, error)) return false;
  players.StopCurrent();
  // The new player opens the sound device and reads the drive only after the old one has let
  // go of both and told its end, so its PLAY_STOP never comes after the new track's reports.
  players.WaitForEnds();

  auto player = std::make_shared<CdPlayer>(trackIndex, span.first, span.last,
                                           [] { Players::Instance().Changed(); });
  if (!player->TakeMemory()) {
    return Refuse(error, PlayError::Failed,
                  QString("not enough memory for track %1").arg(trackIndex + 1));
  }
  QString deviceError;
  if (!player->OpenDevice(deviceError)) return Refuse(error, PlayError::NoSoundDevice, deviceError);
  players.Add(player);
  if (player->Start()) return true;
  players.Remove(player);
  return Refuse(error, PlayError::Failed, "cannot start the player's threads");
}

bool StopPlayback() {
  Players& players = Players::Instance();
  std::lock_guard control(players.control);
  players.StopCurrent();
  players.paused = false;
  return true;
}

void TogglePause() {
  Players& players = Players::Instance();
  std::lock_guard control(players.control);
  const auto player = players.Current();
  if (!player) return;
  const bool pause = !players.paused;
  players.paused = pause;
  if (pause) {
    player->Pause();
  } else {
    player->Restart();
  }
}

bool IsPaused() { return Players::Instance().paused; }

bool PlaybackProgress(int& trackIndex, uint32_t& position, uint32_t& total) {
  const auto player = Players::Instance().Current();
  if (!player) return false;
  trackIndex = player->TrackIndex();
  position = player->Position();
  total = player->Total();
  return true;
}

void WaitForPlayersToEnd() { Players::Instance().WaitForEnds(); }

int64_t PlayerBytesHeld() { return CdPlayer::BytesHeld(); }
