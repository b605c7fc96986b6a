#include "player/cd_player.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <system_error>

#include "drive/audio_reader.h"
#include "drive/cd_device.h"
#include "drive/drive_claim.h"
#include "drive/drive_context.h"
#include "player/playback.h"

namespace {

std::atomic<int64_t> bytesHeld{0};

uint32_t TrackBytes(int firstSector, int lastSector) {
  return lastSector < firstSector ? 0 : uint32_t(lastSector - firstSector + 1) * kCdSectorBytes;
}

}  // namespace

CdPlayer::CdPlayer(int trackIndex, int firstSector, int lastSector, StateChanged stateChanged)
    : trackIndex_(trackIndex),
      firstSector_(firstSector),
      lastSector_(lastSector),
      total_(TrackBytes(firstSector, lastSector)),
      stateChanged_(std::move(stateChanged)) {}

CdPlayer::~CdPlayer() {
  RequestStop();
  Join();
  if (reader_.joinable()) reader_.join();
  wave_.Close();
  ReleaseMemory();
}

int64_t CdPlayer::BytesHeld() { return bytesHeld; }

bool CdPlayer::TakeMemory() {
  try {
    pcm_.assign(total_, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  bytesHeld += int64_t(pcm_.size());
  return true;
}

bool CdPlayer::OpenDevice(QString& error) {
  return wave_.Open(
      [this](int buffer) {
        bufferDone_[buffer] = true;
        Wake();
      },
      &error);
}

bool CdPlayer::Start() {
  try {
    reader_ = std::thread(&CdPlayer::Read, this);
    playback_ = std::thread(&CdPlayer::Play, this);
  } catch (const std::system_error&) {
    RequestStop();
    return false;
  }
  return true;
}

void CdPlayer::RequestStop() {
  stopRequested_ = true;
  Wake();
  // Ends a drain at the end of the track too (see WaveOut::Drain).
  wave_.Reset();
}

void CdPlayer::Pause() {
  {
    std::lock_guard lock(mutex_);
    paused_ = true;
  }
  wave_.Pause();
}

void CdPlayer::Restart() {
  {
    std::lock_guard lock(mutex_);
    paused_ = false;
  }
  wake_.notify_all();
  wave_.Restart();
}

bool CdPlayer::RunsOnThisThread() const { return playback_.get_id() == std::this_thread::get_id(); }

void CdPlayer::Join() {
  if (playback_.joinable() && !RunsOnThisThread()) playback_.join();
}

void CdPlayer::Wake() {
  { std::lock_guard lock(mutex_); }
  wake_.notify_all();
}

void CdPlayer::Report(const char* text, double value) {
  emit PlayerEvents::Instance().Report(QString::fromLatin1(text), value);
}

// ---- reader thread ----

void CdPlayer::Read() {
  // A rip, an image or a refresh that took the drive meanwhile keeps it, and the track ends
  // at once. A new track's player starts only after the old one has released the drive.
  const DriveClaim claim(DriveUse::Player);
  const DriveContext& context = DriveContext::Instance();
  CdDevice* device = context.device;
  if (claim.Held() && device && context.present && !stopRequested_) {
    device->Open();
    uint32_t offset = 0;
    for (int lba = firstSector_; lba <= lastSector_ && !stopRequested_; lba += kRequestSectors) {
      const int count = std::min(kRequestSectors, lastSector_ - lba + 1);
      ReadAudioOrSilence(*device, lba, count, pcm_.data() + offset);
      offset += uint32_t(count) * kCdSectorBytes;
      fill_ = offset;
      Wake();
      if (lba + count <= lastSector_) RestBetweenReads();
    }
    device->Close();
  }
  readingEnded_ = true;
  Wake();
}

void CdPlayer::RestBetweenReads() {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, kReadPause, [this] { return stopRequested_.load(); });
}

// ---- playback thread ----

void CdPlayer::Play() {
  if (WaitForStart()) PlayBuffers();
  const bool stopped = stopRequested_;
  CloseDevice(stopped);
  reader_.join();
  ReleaseMemory();
  released_ = true;
  if (stateChanged_) stateChanged_();
  Report(stopped ? "PLAY_STOP" : "PLAY_NEXT", 0);
  ended_ = true;
  if (stateChanged_) stateChanged_();
}

bool CdPlayer::WaitForStart() {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] {
    return fill_ >= std::min(kStartBytes, total_) || readingEnded_ || stopRequested_;
  });
  return !stopRequested_;
}

void CdPlayer::PlayBuffers() {
  bool usedUp = false;
  int queued = 0;
  for (int i = 0; i < kBufferCount && !usedUp && !stopRequested_; ++i) {
    if (Refill(i, usedUp) && Queue(i)) ++queued;
  }
  while (queued > 0 && !stopRequested_) {
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return AnyBufferDone() || stopRequested_; });
    }
    for (int i = 0; i < kBufferCount && !stopRequested_; ++i) {
      if (!bufferDone_[i].exchange(false)) continue;
      --queued;
      if (!usedUp && Refill(i, usedUp) && Queue(i)) ++queued;
    }
  }
}

bool CdPlayer::AnyBufferDone() const {
  return std::any_of(bufferDone_.begin(), bufferDone_.end(),
                     [](const auto& done) { return done.load(); });
}

// Fills output buffer i with the next audio the reader has read, waiting while paused and
// while the reader is behind; after the track's last byte the buffer is silence. False when
// there was nothing to fill it with.
bool CdPlayer::Refill(int buffer, bool& usedUp) {
  uint32_t count = 0;
  uint32_t position = 0;
  {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [&] {
      const uint32_t available = fill_ - position_;
      return stopRequested_ ||
             (!paused_ && (available >= kBufferBytes || fill_ == total_ || readingEnded_));
    });
    if (stopRequested_) return false;
    // Once reading has ended, fill_ is final: short of total_ only when reading was cut short.
    const uint32_t end = readingEnded_ ? fill_.load() : total_;
    count = std::min(kBufferBytes, end - position_);
    uint8_t* out = buffers_[buffer].data();
    std::memcpy(out, pcm_.data() + position_, count);
    std::memset(out + count, 0, kBufferBytes - count);
    position = position_ += count;
    usedUp = position >= end;
  }
  if (count == 0) return false;
  Report("PLAY_PLAY", std::floor(100.0 * position / total_));
  return true;
}

bool CdPlayer::Queue(int buffer) {
  return wave_.Write(buffers_[buffer].data(), kBufferBytes, buffer);
}

// At the end of the track what the device still holds is heard out; a stop drops it.
void CdPlayer::CloseDevice(bool stopped) {
  if (!stopped) wave_.Drain(stopRequested_);
  wave_.Close();
}

void CdPlayer::ReleaseMemory() {
  bytesHeld -= int64_t(pcm_.size());
  std::vector<uint8_t>().swap(pcm_);
}
