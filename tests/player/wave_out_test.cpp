// The sound output on ALSA, through the file plug-in, which writes exactly the PCM it gets.
#include <gtest/gtest.h>

#include <QByteArray>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/wave_out.h"
#include "player/player_test_support.h"

namespace {

// Records buffer-done reports and lets the test wait for a number of them.
class DoneTags {
 public:
  WaveOut::BufferDone Callback() {
    return [this](int tag) {
      std::lock_guard lock(mutex_);
      tags_.push_back(tag);
      changed_.notify_all();
    };
  }
  bool WaitFor(size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return tags_.size() >= count; });
  }
  std::vector<int> Tags() const {
    std::lock_guard lock(mutex_);
    return tags_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int> tags_;
};

QByteArray Pattern(int bytes, char seed) {
  QByteArray data(bytes, Qt::Uninitialized);
  for (int i = 0; i < bytes; ++i) data[i] = char(seed + i * 7);
  return data;
}

class WaveOutTest : public ::testing::Test {
 protected:
  void SetUp() override { qputenv("KORVANE_AUDIO_DEVICE", sound_.DeviceName().toLocal8Bit()); }
  void TearDown() override { qunsetenv("KORVANE_AUDIO_DEVICE"); }

  SoundFile sound_;
  DoneTags done_;
};

TEST_F(WaveOutTest, NamesTheDeviceFromTheEnvironmentElseDefault) {
  EXPECT_EQ(WaveOut::DeviceName(), sound_.DeviceName());
  qputenv("KORVANE_AUDIO_DEVICE", "");
  EXPECT_EQ(WaveOut::DeviceName(), "default");
  qunsetenv("KORVANE_AUDIO_DEVICE");
  EXPECT_EQ(WaveOut::DeviceName(), "default");
}

TEST_F(WaveOutTest, PlaysEveryBufferInOrderAndReportsEachOnce) {
  const std::vector<QByteArray> buffers{Pattern(8000, 1), Pattern(4, 2), Pattern(16000, 3),
                                        Pattern(8000, 4)};
  WaveOut wave;
  QString error;
  ASSERT_TRUE(wave.Open(done_.Callback(), &error)) << error.toStdString();
  for (size_t i = 0; i < buffers.size(); ++i) {
    ASSERT_TRUE(wave.Write(reinterpret_cast<const uint8_t*>(buffers[i].constData()),
                           buffers[i].size(), int(i)));
  }
  ASSERT_TRUE(done_.WaitFor(buffers.size()));
  std::atomic<bool> abandon{false};
  EXPECT_TRUE(wave.Drain(abandon));
  wave.Close();
  EXPECT_EQ(done_.Tags(), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(sound_.Bytes(), buffers[0] + buffers[1] + buffers[2] + buffers[3]);
  EXPECT_FALSE(wave.Write(reinterpret_cast<const uint8_t*>(buffers[0].constData()), 4, 9))
      << "closed";
}

// Nothing reaches the device while paused: a reset then drops every queued buffer, reported
// done, and the device never got them.
TEST_F(WaveOutTest, PauseHoldsQueuedBuffersUntilRestartAndResetDropsThem) {
  const QByteArray first = Pattern(8000, 5);
  const QByteArray held = Pattern(8000, 6);
  WaveOut wave;
  ASSERT_TRUE(wave.Open(done_.Callback(), nullptr));
  wave.Write(reinterpret_cast<const uint8_t*>(first.constData()), first.size(), 0);
  ASSERT_TRUE(done_.WaitFor(1));
  wave.Pause();
  for (int tag = 1; tag <= 3; ++tag)
    wave.Write(reinterpret_cast<const uint8_t*>(held.constData()), held.size(), tag);
  wave.Reset();
  EXPECT_EQ(done_.Tags(), (std::vector<int>{0, 1, 2, 3}));

  wave.Write(reinterpret_cast<const uint8_t*>(held.constData()), held.size(), 4);
  wave.Restart();
  ASSERT_TRUE(done_.WaitFor(5));
  wave.Close();
  EXPECT_EQ(sound_.Bytes(), first + held);
}

TEST_F(WaveOutTest, AnAbandonedDrainReturnsAtOnceEvenWhilePaused) {
  const QByteArray data = Pattern(8000, 7);
  WaveOut wave;
  ASSERT_TRUE(wave.Open(done_.Callback(), nullptr));
  wave.Pause();
  wave.Write(reinterpret_cast<const uint8_t*>(data.constData()), data.size(), 0);
  std::atomic<bool> abandon{true};
  EXPECT_FALSE(wave.Drain(abandon));
  wave.Close();
  EXPECT_EQ(done_.Tags(), std::vector<int>{0}) << "closing hands back what was queued";
}

TEST_F(WaveOutTest, AMissingDeviceFailsWithTheReason) {
  for (const char* device : {"korvane_no_such_pcm", "hw:97,0"}) {
    qputenv("KORVANE_AUDIO_DEVICE", device);
    WaveOut wave;
    QString error;
    EXPECT_FALSE(wave.Open(done_.Callback(), &error)) << device;
    EXPECT_TRUE(error.startsWith(QString("no sound device: %1: ").arg(device)))
        << error.toStdString();
    EXPECT_GT(error.size(), QString("no sound device: %1: ").arg(device).size())
        << "a reason follows";
    EXPECT_FALSE(wave.IsOpen());
    EXPECT_FALSE(wave.Write(reinterpret_cast<const uint8_t*>(device), 4, 0));
  }
}

}  // namespace
