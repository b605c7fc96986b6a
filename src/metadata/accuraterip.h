#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "metadata/disc_id.h"

// AccurateRip's pure computations: the disc's identity in the database, the database's
// answer format, and each track's verdict. Nothing here reads a drive or the network.

// Eight lower-case hexadecimal digits: how checksums and identity words are shown and stored.
QString HexWord(uint32_t value);

// The identity nnn-aaaaaaaa-bbbbbbbb-cccccccc: the count of audio tracks, two sums over the
// audio tracks' start sectors (counted from 0) and the lead-out, and the freedb disc id.
struct AccurateRipId {
  int audioTracks = 0;
  uint32_t a = 0;
  uint32_t b = 0;
  uint32_t c = 0;

  QString Text() const;
  // The database's path of the disc: "X/Y/Z/dBAR-<identity>.bin", X, Y and Z the last three
  // hexadecimal digits of a, the last first.
  QString DatabasePath() const;
  bool operator==(const AccurateRipId&) const = default;
};

// The identity of a disc from its table of contents and which of its tracks hold data.
// Data tracks are left out of the sums (the first track of a mixed-mode disc, the second
// session of an enhanced CD), the lead-out stays the disc's own and c counts every track.
// Nothing when the table is unusable or the disc has no audio track.
std::optional<AccurateRipId> ComputeAccurateRipId(const TocAddresses& toc,
                                                  const std::vector<bool>& dataTracks);

// One disc's entry in a database answer: per track the confidence (0 = no entry), the
// checksum (v1 or v2, whichever its submitter computed) and the offset-finding checksum.
struct AccurateRipResponse {
  struct Track {
    int confidence = 0;
    uint32_t checksum = 0;
    uint32_t offsetChecksum = 0;
  };
  AccurateRipId id;
  std::vector<Track> tracks;
};

// A database answer ("dBAR" file) read against the disc it was asked for: every response,
// or the reason it cannot be used (truncated, or a header that is not this disc's).
struct AccurateRipAnswer {
  std::vector<AccurateRipResponse> responses;
  QString error;  // empty when the answer is usable
  bool Usable() const { return error.isEmpty(); }
};
AccurateRipAnswer ParseAccurateRipAnswer(const QByteArray& bytes, const AccurateRipId& disc);

enum class AccurateRipStatus { Accurate, Inaccurate, NotInDatabase, Unavailable };

// "accurate", "inaccurate", "not-in-database", "unavailable".
QString StatusName(AccurateRipStatus status);

struct TrackVerdict {
  AccurateRipStatus status = AccurateRipStatus::Unavailable;
  int confidence = 0;  // of the best matching entry, when accurate
};

// What the database says of one track (index 0-based among the audio tracks) with these
// checksums. A disc that is not in the database is an empty, usable answer.
TrackVerdict VerifyTrack(const AccurateRipAnswer& answer, int track, uint32_t v1, uint32_t v2);
