#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

class CdDevice;

// Tries of a request that fails before its sectors are read one by one, and tries of each
// of those sectors before it becomes silence.
constexpr int kAudioRequestTries = 4;
constexpr int kAudioSectorTries = 3;
// Secure reading: reads of a sector whose first two reads differ, before a vote decides it.
constexpr int kSecureRereads = 16;

struct AudioReadOutcome {
  bool stopped = false;   // the stop flag was seen before a read: out is incomplete
  int silentSectors = 0;  // sectors that stayed unreadable and were filled with silence
  // Frames the read offset's correction placed where a drive gives no audio (before the
  // disc's start, beyond its end, in a data track): silence, so the audio keeps its length
  // and its place.
  int outsideFrames = 0;
  // Secure reading: sectors read again because two reads differed, and those of them that
  // never read the same twice and were taken from the most frequent version (by address).
  std::vector<int> rereadSectors;
  std::vector<int> suspiciousSectors;
};

// The audio of count sectors from lba (count x 2352 bytes into out) on a drive the caller
// has opened, at the true position: the drive's read offset (CdDevice::readOffset) is
// corrected. A request that fails is tried again whole, then sector by sector; a sector
// that still fails becomes digital silence of its full length, so what follows it stays
// where it belongs. A given stop flag is looked at before every read, so a cancel takes
// effect within one read however long the drive takes to fail.
AudioReadOutcome ReadAudioOrSilence(CdDevice& drive, int lba, int count, uint8_t* out,
                                    const std::atomic<int>* stop = nullptr);

// The same, with the offset given instead of the drive's (0 reads what the drive delivers).
AudioReadOutcome ReadAudioAtOffset(CdDevice& drive, int lba, int count, int offsetFrames,
                                   uint8_t* out, const std::atomic<int>* stop = nullptr);

// ReadAudioOrSilence for a drive that may return wrong audio without an error: the range is
// read twice, with the drive's cache defeated in between (a read far away), and the sectors
// that differ are read again, up to kSecureRereads times, until two reads agree; a sector
// that never agrees is written from its most frequent version and named suspicious. A given
// secondRead (count x 2352 bytes) receives the second read as it came, before any re-read.
AudioReadOutcome ReadAudioSecurely(CdDevice& drive, int lba, int count, uint8_t* out,
                                   const std::atomic<int>* stop = nullptr,
                                   uint8_t* secondRead = nullptr);
