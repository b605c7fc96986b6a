#include "app/player_control.h"

#include "app/rip_command.h"
#include "player/playback.h"

namespace {

// The track the player plays now; -1 when none plays.
int PlayingTrack() {
  int track = -1;
  uint32_t position = 0, total = 0;
  return PlaybackProgress(track, position, total) ? track : -1;
}

}  // namespace

void PlayerControl::Reset() {
  currentRow_ = 0;
  playingRow_ = -1;
}

void PlayerControl::SetPlaying(int row) {
  playingRow_ = row;
  host_.SetPlayingRow(row);
}

bool PlayerControl::Play() { return PlayRow(currentRow_); }

bool PlayerControl::PlayRow(int row) {
  if (row < 0 || row >= host_.TrackRowCount()) return false;
  currentRow_ = row;
  PlayError error;
  if (!PlayTrack(row, &error)) {
    SetPlaying(-1);
    // A data row or no disc simply does not play; what the user can mend is said.
    if (error.kind == PlayError::NoSoundDevice || error.kind == PlayError::DriveBusy ||
        error.kind == PlayError::Failed) {
      host_.ShowMessage(MessageKind::Warning, error.text);
    }
    return false;
  }
  // While paused the paused track resumes, whichever row was asked for: the mark and the
  // Prev and Next buttons follow the track that plays.
  const int playing = PlayingTrack();
  currentRow_ = playing >= 0 ? playing : row;
  SetPlaying(currentRow_);
  return true;
}

void PlayerControl::TogglePause() { ::TogglePause(); }

void PlayerControl::Stop() {
  StopPlayback();
  SetPlaying(-1);
}

bool PlayerControl::Previous() {
  const int count = host_.TrackRowCount();
  if (count == 0) return false;
  return PlayRow(currentRow_ <= 0 || currentRow_ >= count ? count - 1 : currentRow_ - 1);
}

bool PlayerControl::Next() {
  const int count = host_.TrackRowCount();
  if (count == 0) return false;
  return PlayRow(currentRow_ + 1 >= count || currentRow_ < 0 ? 0 : currentRow_ + 1);
}

void PlayerControl::OnPlayerReport(const QString& text) {
  // The report of a player that was replaced by a newer one (a row chosen while another
  // played) changes nothing: the newer player has the mark.
  if (PlayingTrack() >= 0) return;
  if (text == QLatin1String("PLAY_NEXT")) {
    if (!Next()) SetPlaying(-1);
  } else if (text == QLatin1String("PLAY_STOP")) {
    SetPlaying(-1);
  }
}
