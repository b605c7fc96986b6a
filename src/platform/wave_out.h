#pragma once
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

typedef struct _snd_pcm snd_pcm_t;

// The sound output for CD audio: 16-bit little-endian stereo at 44,100 Hz on an ALSA PCM,
// the one named by KORVANE_AUDIO_DEVICE or "default". Buffers are queued with Write and
// fed to the device by a thread of the WaveOut, which reports each one through the
// buffer-done callback once the device has taken all of it (or Reset or Close dropped it).
// The caller keeps a queued buffer untouched until its report. All operations may be
// called from any thread except the callback's.
class WaveOut {
 public:
  static constexpr int kSampleRate = 44100;
  static constexpr int kChannels = 2;
  static constexpr int kBytesPerFrame = 4;
  // Audio the device holds ahead of what is heard.
  static constexpr unsigned kLatencyUs = 200000;

  using BufferDone = std::function<void(int tag)>;

  WaveOut() = default;
  ~WaveOut();
  WaveOut(const WaveOut&) = delete;
  WaveOut& operator=(const WaveOut&) = delete;

  // The PCM to use: KORVANE_AUDIO_DEVICE when set and not empty, else "default".
  static QString DeviceName();

  // Opens the device and starts feeding it. False with "no sound device: ..." and ALSA's
  // reason in error when it cannot be opened or does not take the format.
  bool Open(BufferDone onDone, QString* error);
  bool IsOpen() const;
  // Queues bytes (whole frames) of data; onDone(tag) follows. False when not open.
  bool Write(const uint8_t* data, uint32_t bytes, int tag);
  // Pause holds the sound (the device's own pause where it has one, else no more feeding);
  // no buffer is reported done while paused. Both return once the feeder has obeyed.
  void Pause();
  void Restart();
  // Drops what is queued or held by the device; every queued buffer is reported done.
  void Reset();
  // Waits until everything written has been heard. False when a Reset or Close ended the
  // wait, or at once when abandon is set: a caller that sets abandon before its Reset never
  // waits on a drain that began after that Reset (a paused device would hold it forever).
  bool Drain(const std::atomic<bool>& abandon);
  // Reset, then closes the device; the WaveOut may be opened again.
  void Close();

 private:
  struct Pending {
    const uint8_t* data;
    uint32_t bytes;
    uint32_t done;
    int tag;
  };
  // What the caller asks of the feeder; each request is cleared by the feeder once served.
  struct Requests {
    bool paused = false;
    bool reset = false;
    bool drain = false;
    bool close = false;
  };

  void Feed();
  // Serves the requests that need the device; returns with the lock held.
  void ServeRequests(std::unique_lock<std::mutex>& lock);
  bool HasWork() const;
  // Writes one period of the front buffer with the lock released.
  void WriteFront(std::unique_lock<std::mutex>& lock);
  // Drops the queue, reporting every buffer in it, with the lock released for the reports.
  void DropQueue(std::unique_lock<std::mutex>& lock);
  void Report(std::unique_lock<std::mutex>& lock, const std::deque<int>& tags);
  void DeviceSetPaused(bool paused);

  snd_pcm_t* pcm_ = nullptr;  // used by the feeder thread only once it runs
  bool canPause_ = false;
  bool devicePaused_ = false;  // the device's own pause is on
  uint32_t periodFrames_ = 0;
  BufferDone onDone_;
  std::thread feeder_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
  std::deque<Pending> queue_;
  Requests requests_;
  bool feederPaused_ = false;  // the feeder obeys a pause
  uint64_t resets_ = 0;        // resets served, so a drain knows it was cut short
};
