#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include "metadata/accuraterip.h"

class CdDevice;
class OutputFormat;
struct RipResult;

// What a rip's tracks add up to: how many had each verdict, the accurate ones' confidences,
// and the tracks read with errors or not written. The hidden track counts for its errors
// only (the database does not know it); a disc image is no track.
struct VerdictTally {
  int tracks = 0;
  int counts[4] = {};  // by AccurateRipStatus
  int unverified = 0;  // tracks without a verdict
  int lowestConfidence = 0;
  int highestConfidence = 0;
  QList<int> readErrors;  // track numbers (0 for the hidden track), in disc order
  QList<int> notWritten;

  int Count(AccurateRipStatus status) const { return counts[int(status)]; }
};
VerdictTally TallyVerdicts(const RipResult& result);

// "accurate (confidence 23)", "inaccurate", "not-in-database", "unavailable".
QString VerdictText(const TrackVerdict& verdict);

// The rip log: a plain UTF-8 text in the album folder that lets a person check every claim
// of a rip. Its head (what was read, how and from which disc) is taken when the rip starts;
// the tracks and the summary once it has ended.

// Korvane's version, the date, the drive and its read offset, the read mode, the format and
// its settings, the disc's identities and its table of contents. The drive's table must be
// read already.
QStringList RipLogHead(CdDevice& device, const QString& driveName, const OutputFormat& format,
                       bool secure);

// The closing line: "All tracks accurate", "3 of 12 tracks not in the database", "Errors in
// track 4"...
QString RipSummaryLine(const RipResult& result);

// The whole log: the head, per track its file, sectors, checksums, verdict, read errors and
// suspicious positions, and the summary line.
QString RipLogText(const QStringList& head, const RipResult& result);

// Where the log of tracks ripped into trackPath's folder goes: "<folder name>.log" there.
QString RipLogPath(const QString& trackPath);

// Writes the log through a temporary file renamed when complete, as the audio files are.
// Returns the log's final path (another when a file took the name meanwhile); empty, with
// the reason in error, when it could not be written.
QString WriteRipLog(const QString& path, const QString& text, QString* error);
