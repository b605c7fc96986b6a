#pragma once
#include <QString>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/cd_sector.h"
#include "platform/wave_out.h"

// One playback of one track: a reader thread reads the track's sectors into memory, and a
// playback thread feeds that memory to the sound device through eight output buffers,
// never ahead of what the reader has filled in. The playback thread ends the player: it
// closes the device, waits for the reader, releases the track's memory, and reports
// "PLAY_STOP" (stopped on request) or "PLAY_NEXT" (played to the end) with kind 4 through
// the drive context's status callback.
class CdPlayer {
 public:
  static constexpr int kBufferCount = 8;
  static constexpr uint32_t kBufferBytes = 8000;  // 2000 stereo frames, about 45 ms
  static constexpr int kRequestSectors = 27;
  // Playback starts once two requests are in memory, and the reader rests between requests
  // so playback does not have to share the drive with a reader racing ahead.
  static constexpr uint32_t kStartBytes = 2 * kRequestSectors * kCdSectorBytes;
  static constexpr std::chrono::milliseconds kReadPause{150};

  // Called on the playback thread when the player has closed the sound device and released
  // its memory, and again when it has ended (after its report).
  using StateChanged = std::function<void()>;

  CdPlayer(int trackIndex, int firstSector, int lastSector, StateChanged stateChanged);
  ~CdPlayer();
  CdPlayer(const CdPlayer&) = delete;
  CdPlayer& operator=(const CdPlayer&) = delete;

  // Takes the track's memory, zero-filled; false when there is not enough.
  bool TakeMemory();
  // False with "no sound device: ..." in error.
  bool OpenDevice(QString& error);
  // Starts the reader and playback threads; false when they cannot be started.
  bool Start();
  // Ends reading and playback; the player reports "PLAY_STOP" and ends by itself.
  void RequestStop();
  // While paused no output buffer is refilled, so the position holds.
  void Pause();
  void Restart();

  bool Released() const { return released_; }
  bool Ended() const { return ended_; }
  bool RunsOnThisThread() const;
  // Waits for the playback thread; not from that thread.
  void Join();

  int TrackIndex() const { return trackIndex_; }
  // Bytes of the track handed to the sound device, and the track's bytes.
  uint32_t Position() const { return position_; }
  uint32_t Total() const { return total_; }

  // Bytes of track audio all players hold now.
  static int64_t BytesHeld();

 private:
  void Read();
  void RestBetweenReads();
  void Play();
  bool WaitForStart();
  void PlayBuffers();
  bool Refill(int buffer, bool& usedUp);
  bool Queue(int buffer);
  bool AnyBufferDone() const;
  void CloseDevice(bool stopped);
  void ReleaseMemory();
  void Wake();
  void Report(const char* text, double value);

  const int trackIndex_;
  const int firstSector_;
  const int lastSector_;
  const uint32_t total_;
  const StateChanged stateChanged_;

  WaveOut wave_;
  std::vector<uint8_t> pcm_;  // the whole track; bytes below fill_ are read
  std::array<std::array<uint8_t, kBufferBytes>, kBufferCount> buffers_{};
  std::array<std::atomic<bool>, kBufferCount> bufferDone_{};

  std::atomic<uint32_t> fill_{0};
  std::atomic<uint32_t> position_{0};
  std::atomic<bool> readingEnded_{false};
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> paused_{false};
  std::atomic<bool> released_{false};
  std::atomic<bool> ended_{false};

  std::mutex mutex_;  // for waiting on wake_, and held while a buffer is refilled
  std::condition_variable wake_;
  std::thread reader_;
  std::thread playback_;
};
