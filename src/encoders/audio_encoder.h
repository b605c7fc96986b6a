#pragma once
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "encoders/rip_worker.h"

// One audio output format. Open creates outputPath and readies the codec, Write takes raw
// CD audio (interleaved 16-bit little-endian stereo at 44,100 Hz, 2352 bytes a sector),
// Close finishes the stream and the file. Each returns non-zero on success. After a failed
// Open every Write fails at once and Close succeeds without touching a file.
class AudioEncoder : public RipWorker {
 public:
  static constexpr uint32_t kSectorBytes = 2352;

  virtual int Open() = 0;
  // prepass non-zero: the data is for a preparation pass, which only an encoder that
  // analyses the audio first accepts; the others return 0 at once.
  virtual int Write(const char* data, uint32_t byteCount, int prepass) = 0;
  virtual int Close() = 0;
  // Whether Write takes preparation-pass data; the preparation pass reads nothing otherwise.
  virtual bool NeedsPreparationPass() const { return false; }

  // Starts the worker thread of one track: a preparation pass, then the main pass, each
  // reading the track in kChunkSectors-sector chunks and feeding the encoder. Reports go
  // to statusCallback: kind 1 with the percent after each chunk, then the done signal.
  // Returns non-zero when the thread was started.
  int StartTrack(int trackIndex, const QString& path, uint32_t firstSectorOverride,
                 uint32_t lastSectorOverride) override;
  // Waits for the worker thread of the last track to end.
  void Join();
  ~AudioEncoder() override;

  static constexpr int kChunkSectors = 27;
  static constexpr int kChunkRetries = 3;   // more reads of a failed chunk
  static constexpr int kSectorTries = 3;    // reads of each sector of a chunk that still fails

  // The outcome of the last track, valid once its done signal came.
  std::atomic<int> failedSectors{0};  // sectors written as silence because they could not be read
  std::atomic<bool> failed{false};    // the file could not be created, written or closed

 private:
  bool RunPass(bool prepass);
  void ReadAudioChunk(uint32_t first, int count, std::vector<uint8_t>& buffer, bool countErrors);
  void Report(double value, const QString* text);

  std::thread thread_;
};
