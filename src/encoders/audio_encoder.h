#pragma once
#include <cstdint>

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
};
