#pragma once
#include <QString>
#include <cstdint>
#include "platform/cd_sector.h"

struct TagRecord;

// What a codec knows of the track it writes: facts from the table of contents, given by the
// track worker, so that a codec never asks the drive.
struct TrackFacts {
  int trackIndex = 0;        // 0-based
  int trackCount = 0;        // audio and data tracks of the disc
  uint32_t sectorCount = 0;  // sectors the worker will feed: sectorCount * 2352 bytes of PCM
};

// One audio output format's codec, one object per track run (the format makes them). It takes
// raw CD audio (interleaved 16-bit little-endian stereo at 44,100 Hz, 2352 bytes a sector) and
// knows nothing of drives or threads.
//
// Open creates path and readies the stream; tags null means no tags are written. Write takes
// PCM of any length; prepass non-zero marks data of a preparation pass, which only a codec
// that analyses the audio first accepts (the others return 0 at once). Close finishes the
// stream and the file. Each returns non-zero on success. After a failed Open every Write fails
// at once and Close succeeds without touching a file.
class AudioEncoder {
 public:
  virtual ~AudioEncoder() = default;

  virtual int Open(const QString& path, const TrackFacts& track, const TagRecord* tags) = 0;
  virtual int Write(const char* data, uint32_t byteCount, int prepass) = 0;
  virtual int Close() = 0;

  // Whether Write takes preparation-pass data; the worker reads nothing for it otherwise.
  virtual bool NeedsPreparationPass() const { return false; }
  // Why the last Open, Write or Close failed, for the user ("No space left on device");
  // empty when nothing failed.
  virtual QString ErrorText() const { return {}; }
};
