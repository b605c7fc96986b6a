#include "player/player_test_support.h"

#include <chrono>

#include "player/playback.h"
#include "support/test_support.h"

QByteArray SoundFile::Bytes() const { return ReadFileBytes(Path()); }

QByteArray PlayedAudio(const QByteArray& track) {
  constexpr qsizetype kBufferBytes = 8000;
  return track + QByteArray((kBufferBytes - track.size() % kBufferBytes) % kBufferBytes, '\0');
}

PlayerReports::PlayerReports() {
  // Direct: the reports are taken on the player's thread, as they come.
  connection_ = QObject::connect(&PlayerEvents::Instance(), &PlayerEvents::Report,
                                 [this](const QString& state, double percent) {
                                   std::lock_guard lock(mutex_);
                                   if (state == "PLAY_PLAY") {
                                     percents_.push_back(percent);
                                   } else {
                                     ends_.append(state);
                                   }
                                   changed_.notify_all();
                                 });
}

PlayerReports::~PlayerReports() { QObject::disconnect(connection_); }

bool PlayerReports::WaitFor(const std::function<bool()>& done, int timeoutMs) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), done);
}

bool PlayerReports::WaitForEnds(int n, int timeoutMs) {
  return WaitFor([&] { return ends_.size() >= n; }, timeoutMs);
}

bool PlayerReports::WaitForPlays(int n, int timeoutMs) {
  return WaitFor([&] { return percents_.size() >= size_t(n); }, timeoutMs);
}

QStringList PlayerReports::Ends() const {
  std::lock_guard lock(mutex_);
  return ends_;
}

std::vector<double> PlayerReports::Percents() const {
  std::lock_guard lock(mutex_);
  return percents_;
}
