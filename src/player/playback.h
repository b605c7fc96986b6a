#pragma once
#include <QObject>
#include <QString>
#include <cstdint>

// The preview player: one track of the current disc at a time, through the sound device.
// It reports through PlayerEvents, on the player's playback thread: "PLAY_PLAY" with the
// percentage handed to the device, then "PLAY_STOP" (stopped on request) or "PLAY_NEXT"
// (played to the end), each with 0. A handler called on that thread (a direct connection)
// of "PLAY_STOP" or "PLAY_NEXT" may call PlayTrack; one of "PLAY_PLAY" calls none of these.
// A receiver with a thread of its own gets the reports queued to it.
class PlayerEvents : public QObject {
  Q_OBJECT
 public:
  static PlayerEvents& Instance();

 signals:
  void Report(const QString& state, double percent);
};

struct PlayError {
  enum Kind { None, DriveBusy, NoDisc, BadTrack, DataTrack, NoSoundDevice, Failed };
  Kind kind = None;
  QString text;
};

// Plays the track (0-based) of the current disc. While paused it resumes the paused track
// instead, whatever the index. A track that plays now is stopped first. False, with the
// reason in error, when nothing plays: a rip holds the drive, no disc, an index that is not
// a track, a data track, no sound device.
bool PlayTrack(int trackIndex, PlayError* error = nullptr);
// Stops the player if one runs; always true.
bool StopPlayback();
// Pauses the playing track, or resumes it. Without a player it does nothing.
void TogglePause();
bool IsPaused();

// The track that plays now and how far: bytes handed to the sound device, of total.
// False when no player runs.
bool PlaybackProgress(int& trackIndex, uint32_t& position, uint32_t& total);

// Waits until every player that runs now has ended and released its memory; a player's
// own report handler may call it (its own player is not waited for).
void WaitForPlayersToEnd();

// Bytes of track audio the players hold now; 0 when every player has ended.
int64_t PlayerBytesHeld();
