#pragma once
#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "support/test_support.h"

// A sound device that writes what it plays to a file in a temporary folder (ALSA's file
// plug-in), as KORVANE_AUDIO_DEVICE names it.
class SoundFile {
 public:
  QString Path() const { return dir_.filePath("out.raw"); }
  QString DeviceName() const { return QString("file:'%1',raw").arg(Path()); }
  QString Environment() const { return "KORVANE_AUDIO_DEVICE=" + DeviceName(); }
  QByteArray Bytes() const;

 private:
  QTemporaryDir dir_;
};

// What a playback should have written: the track's audio, then silence up to the end of
// the last 8000-byte output buffer.
QByteArray PlayedAudio(const QByteArray& track);

// Records the player's reports (status kind 4) from the drive context's status callback.
class PlayerReports {
 public:
  PlayerReports();
  ~PlayerReports();

  // Waits for the n-th "PLAY_STOP" or "PLAY_NEXT"; false after timeoutMs.
  bool WaitForEnds(int n, int timeoutMs = 30000);
  // Waits for the n-th "PLAY_PLAY".
  bool WaitForPlays(int n, int timeoutMs = 30000);
  QStringList Ends() const;
  std::vector<double> Percents() const;

 private:
  bool WaitFor(const std::function<bool()>& done, int timeoutMs);

  QMetaObject::Connection connection_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  QStringList ends_;
  std::vector<double> percents_;
};
