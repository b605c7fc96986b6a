#include "platform/wave_out.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <system_error>

namespace {

// ALSA reports the cause of a failed open (an unknown PCM, a missing card) through its error
// handler rather than the return code. The handler keeps the first message of the open on
// this thread as the reason to show, and prints nothing: messages are the caller's to show.
thread_local bool capturing = false;
thread_local QString capturedReason;

void KeepAlsaMessage(const char*, int, const char*, int, const char* format, ...) {
  if (!capturing || !capturedReason.isEmpty()) return;
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  capturedReason = QString::fromLocal8Bit(text);
}

void InstallAlsaMessageHandler() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(KeepAlsaMessage); });
}

QString NoDeviceText(const QString& device, int err) {
  QString reason = QString::fromLocal8Bit(snd_strerror(err));
  if (!capturedReason.isEmpty()) reason = capturedReason + " (" + reason + ")";
  return QString("no sound device: %1: %2").arg(device, reason);
}

}  // namespace

WaveOut::~WaveOut() { Close(); }

QString WaveOut::DeviceName() {
  const QString named = qEnvironmentVariable("KORVANE_AUDIO_DEVICE");
  return named.isEmpty() ? QStringLiteral("default") : named;
}

bool WaveOut::Open(BufferDone onDone, QString* error) {
  Close();
  InstallAlsaMessageHandler();
  const QString device = DeviceName();
  capturing = true;
  capturedReason.clear();
  snd_pcm_t* pcm = nullptr;
  int err = snd_pcm_open(&pcm, device.toLocal8Bit().constData(), SND_PCM_STREAM_PLAYBACK, 0);
  if (err >= 0) {
    err = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, kChannels,
                             kSampleRate, 1, kLatencyUs);
  }
  snd_pcm_uframes_t bufferFrames = 0;
  snd_pcm_uframes_t periodFrames = 0;
  if (err >= 0) err = snd_pcm_get_params(pcm, &bufferFrames, &periodFrames);
  capturing = false;
  if (err < 0) {
    if (pcm) snd_pcm_close(pcm);
    if (error) *error = NoDeviceText(device, err);
    return false;
  }
  snd_pcm_hw_params_t* params = nullptr;
  snd_pcm_hw_params_alloca(&params);
  canPause_ = snd_pcm_hw_params_current(pcm, params) >= 0 && snd_pcm_hw_params_can_pause(params);
  devicePaused_ = false;
  periodFrames_ = periodFrames > 0 ? uint32_t(periodFrames) : 1024;
  pcm_ = pcm;
  onDone_ = std::move(onDone);
  {
    std::lock_guard lock(mutex_);
    open_ = true;
    requests_ = {};
    feederPaused_ = false;
  }
  try {
    feeder_ = std::thread(&WaveOut::Feed, this);
  } catch (const std::system_error& e) {
    std::lock_guard lock(mutex_);
    open_ = false;
    snd_pcm_close(pcm_);
    pcm_ = nullptr;
    if (error) *error = QString("no sound device: %1").arg(e.what());
    return false;
  }
  return true;
}

bool WaveOut::IsOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

bool WaveOut::Write(const uint8_t* data, uint32_t bytes, int tag) {
  std::lock_guard lock(mutex_);
  if (!open_ || requests_.close) return false;
  queue_.push_back({data, bytes - bytes % kBytesPerFrame, 0, tag});
  changed_.notify_all();
  return true;
}

void WaveOut::Pause() {
  std::unique_lock lock(mutex_);
  if (!open_) return;
  requests_.paused = true;
  changed_.notify_all();
  changed_.wait(lock, [this] { return feederPaused_ || !open_; });
}

void WaveOut::Restart() {
  std::unique_lock lock(mutex_);
  if (!open_) return;
  requests_.paused = false;
  changed_.notify_all();
  changed_.wait(lock, [this] { return !feederPaused_ || !open_; });
}

void WaveOut::Reset() {
  std::unique_lock lock(mutex_);
  if (!open_) return;
  requests_.reset = true;
  changed_.notify_all();
  changed_.wait(lock, [this] { return !requests_.reset || !open_; });
}

bool WaveOut::Drain(const std::atomic<bool>& abandon) {
  std::unique_lock lock(mutex_);
  if (!open_ || abandon) return false;
  const uint64_t resetsBefore = resets_;
  requests_.drain = true;
  changed_.notify_all();
  changed_.wait(lock, [this] { return !requests_.drain || !open_; });
  return open_ && resets_ == resetsBefore;
}

void WaveOut::Close() {
  {
    std::unique_lock lock(mutex_);
    if (!open_) return;
    if (requests_.close) {  // another thread closes it: wait for that
      changed_.wait(lock, [this] { return !open_; });
      return;
    }
    requests_.close = true;
    changed_.notify_all();
  }
  feeder_.join();
  snd_pcm_close(pcm_);
  pcm_ = nullptr;
  std::lock_guard lock(mutex_);
  open_ = false;
  requests_ = {};
  feederPaused_ = false;
  changed_.notify_all();
}

bool WaveOut::HasWork() const {
  if (requests_.close || requests_.reset || requests_.paused != feederPaused_) return true;
  return !requests_.paused && (!queue_.empty() || requests_.drain);
}

void WaveOut::Feed() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return HasWork(); });
    if (requests_.close) break;
    ServeRequests(lock);
    if (!requests_.paused && !requests_.reset && !requests_.close && !queue_.empty())
      WriteFront(lock);
  }
  snd_pcm_drop(pcm_);
  DropQueue(lock);
}

void WaveOut::ServeRequests(std::unique_lock<std::mutex>& lock) {
  if (requests_.reset) {
    snd_pcm_drop(pcm_);
    snd_pcm_prepare(pcm_);
    devicePaused_ = false;
    requests_.drain = false;
    DropQueue(lock);
    ++resets_;
    requests_.reset = false;
    changed_.notify_all();
  }
  if (requests_.paused != feederPaused_) {
    DeviceSetPaused(requests_.paused);
    feederPaused_ = requests_.paused;
    changed_.notify_all();
  }
  if (requests_.drain && !requests_.paused && queue_.empty()) {
    lock.unlock();
    snd_pcm_drain(pcm_);
    snd_pcm_prepare(pcm_);
    lock.lock();
    requests_.drain = false;
    changed_.notify_all();
  }
}

// The device's own pause works only while it runs; otherwise not feeding it is the pause.
void WaveOut::DeviceSetPaused(bool paused) {
  if (paused) {
    devicePaused_ =
        canPause_ && snd_pcm_state(pcm_) == SND_PCM_STATE_RUNNING && snd_pcm_pause(pcm_, 1) == 0;
  } else if (devicePaused_) {
    if (snd_pcm_pause(pcm_, 0) < 0) snd_pcm_prepare(pcm_);
    devicePaused_ = false;
  }
}

void WaveOut::WriteFront(std::unique_lock<std::mutex>& lock) {
  const Pending front = queue_.front();
  const uint32_t frames = std::min(periodFrames_, (front.bytes - front.done) / kBytesPerFrame);
  lock.unlock();
  snd_pcm_sframes_t written =
      frames > 0 ? snd_pcm_writei(pcm_, front.data + front.done, frames) : 0;
  if (written == -EPIPE || written == -ESTRPIPE || written == -EINTR) {
    // An underrun (or a suspend) is recovered; the same frames go again.
    written = snd_pcm_recover(pcm_, int(written), 1) == 0 ? 0 : written;
  }
  lock.lock();
  Pending& current = queue_.front();
  // A device that refuses data for good still hands every buffer back, so no caller hangs.
  current.done = written < 0 ? current.bytes : current.done + uint32_t(written) * kBytesPerFrame;
  if (current.done < current.bytes) return;
  const int tag = current.tag;
  queue_.pop_front();
  Report(lock, {tag});
}

void WaveOut::DropQueue(std::unique_lock<std::mutex>& lock) {
  std::deque<int> tags;
  for (const Pending& pending : queue_) tags.push_back(pending.tag);
  queue_.clear();
  Report(lock, tags);
}

void WaveOut::Report(std::unique_lock<std::mutex>& lock, const std::deque<int>& tags) {
  if (tags.empty() || !onDone_) return;
  lock.unlock();
  for (int tag : tags) onDone_(tag);
  lock.lock();
}
