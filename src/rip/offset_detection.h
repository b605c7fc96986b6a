#pragma once
#include <QString>
#include <atomic>
#include <functional>

#include "rip/offset_search.h"

class CdDevice;

// Tracks read for a detection: the first audio tracks of the disc.
constexpr int kOffsetDetectionTracks = 3;

struct OffsetDetection {
  OffsetFinding finding;
  QString error;  // why no offset was found: no audio, not in the database, nothing matched
};

// Finds the read offset of the drive from the disc in it: asks the database at server for
// the disc, reads the first audio tracks uncorrected with room for every offset around
// them, and searches. The caller holds the drive (a DriveClaim). progress gets the percent
// read; stop, when set, ends the reading.
OffsetDetection DetectReadOffset(CdDevice& drive, const QString& server,
                                 const std::atomic<int>* stop = nullptr,
                                 const std::function<void(int percent)>& progress = {});
