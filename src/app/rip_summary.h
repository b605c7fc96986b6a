#pragma once
#include <QString>
#include <QStringList>

#include "rip/rip_job.h"

// What a person reads of a rip's verification against the AccurateRip database, in the
// chosen language: each track's verdict as it becomes known, and the summary at the end.
namespace RipSummary {

// "Track 3: accurate (confidence 23)", "Track 3: not in the database"...
QString VerdictLine(int trackNumber, const TrackVerdict& verdict);

// True when the rip ended and at least one of its tracks was verified.
bool HasVerdicts(const RipResult& result);

// The end of a verified rip, a line per finding: how many tracks are accurate and with what
// confidence ("12 of 12 tracks accurate, confidence 23"), how many are inaccurate or not in
// the database, why the database could not be asked, the tracks read with errors or not
// written, and a rip log that could not be written.
QStringList Lines(const RipResult& result);

}  // namespace RipSummary
