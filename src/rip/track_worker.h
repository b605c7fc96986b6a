#pragma once
#include <QString>
#include <cstdint>
#include <memory>

#include "encoders/audio_encoder.h"
#include "rip/rip_worker.h"

class CdDevice;
class ChunkQueue;
class DiscInfo;
class OutputFormat;
struct TagRecord;

// Rips one track at a time: on a thread of its own it feeds a new codec of the format for
// each track, while a reader thread reads the track from the drive in chunks a little ahead
// of it, retries what fails and fills what stays unreadable with silence. It reports progress and
// the done signal through statusCallback and stops before its next read once stopRequested is set.
class TrackWorker : public RipWorker {
 public:
  // format and disc (the tag source; null writes no tags) must outlive the worker.
  TrackWorker(CdDevice& drive, const OutputFormat& format, const DiscInfo* disc);
  ~TrackWorker() override;

  // Starts the thread of one track: a preparation pass when the codec asks for one, then
  // the main pass. Returns non-zero when the thread was started.
  int StartTrack(int trackIndex, const QString& path, uint32_t firstSectorOverride,
                 uint32_t lastSectorOverride) override;

  static constexpr int kChunkSectors = 27;
  static constexpr int kReadAheadChunks = 16;  // about 1 MB read ahead of the codec

 private:
  struct Range {
    uint32_t first = 0;
    uint32_t count = 0;
  };
  void Run();
  bool FindRange(Range& range);
  void Encode(const Range& range, const TrackFacts& facts, const TagRecord* tags);
  bool RunPass(const Range& range, bool prepass);
  void ReadAhead(const Range& range, bool countErrors, ChunkQueue& queue);
  void Report(double value, const QString& text);

  const OutputFormat& format_;
  const DiscInfo* disc_;
  std::unique_ptr<AudioEncoder> codec_;
};
