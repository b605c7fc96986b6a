#pragma once
#include <optional>

#include "metadata/accuraterip.h"
#include "metadata/disc_id.h"

class CdDevice;
class DiscInfo;

// The track and lead-out addresses of the drive's table of contents (read first when the
// drive has not read it yet); no tracks when the table has no valid track count.
TocAddresses TocAddressesOf(CdDevice& device);

// The AccurateRip identity of the disc in the drive; nothing when its table of contents
// cannot be read or it holds no audio track.
std::optional<AccurateRipId> AccurateRipIdOf(CdDevice& device);

// Prepares the record for the disc in the current drive: defaults for its track count,
// its disc identifier, then the cached names. True when the disc was in the cache.
bool InitForCurrentDisc(DiscInfo& info);

// Takes the CD-TEXT of the disc in the current drive into the record (see
// DiscInfo::ImportCdText). False, with the record untouched, when the drive has none to give.
bool LoadCdText(DiscInfo& info);
