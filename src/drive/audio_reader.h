#pragma once
#include <atomic>
#include <cstdint>

class CdDevice;

// Tries of a request that fails before its sectors are read one by one, and tries of each
// of those sectors before it becomes silence.
constexpr int kAudioRequestTries = 4;
constexpr int kAudioSectorTries = 3;

struct AudioReadOutcome {
  bool stopped = false;   // the stop flag was seen before a read: out is incomplete
  int silentSectors = 0;  // sectors that stayed unreadable and were filled with silence
};

// Reads count audio sectors from lba into out (count x 2352 bytes) on a drive the caller has
// opened. A request that fails is tried again whole, then sector by sector; a sector that
// still fails becomes digital silence of its full length, so what follows it stays where it
// belongs. A given stop flag is looked at before every read, so a cancel takes effect within
// one read however long the drive takes to fail.
AudioReadOutcome ReadAudioOrSilence(CdDevice& drive, int lba, int count, uint8_t* out,
                                    const std::atomic<int>* stop = nullptr);
