#pragma once
#include <cstdint>

class CdDevice;

// Tries of a request that fails before its sectors are read one by one, and tries of each
// of those sectors before it becomes silence.
constexpr int kRequestTries = 4;
constexpr int kSectorTries = 3;

// Reads count audio sectors from lba into out (count x 2352 bytes) on a drive the caller has
// opened. A request that fails is tried again whole, then sector by sector; a sector that
// still fails becomes silence in its place, so what follows it stays where it belongs.
// Returns the number of sectors left silent.
int ReadAudioOrSilence(CdDevice& drive, int lba, int count, uint8_t* out);
