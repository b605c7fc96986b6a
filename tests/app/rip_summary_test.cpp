// The end of a verified rip as a person reads it: the counts leave out the hidden track,
// which the database does not know, but its read errors are named like any track's.
#include <gtest/gtest.h>

#include "app/rip_summary.h"

namespace {

TrackOutcome Track(int index, std::optional<TrackVerdict> verdict, int failedSectors = 0) {
  TrackOutcome outcome;
  outcome.trackIndex = index;
  outcome.checksummed = true;
  outcome.verdict = verdict;
  outcome.failedSectors = failedSectors;
  return outcome;
}

TrackVerdict Verdict(AccurateRipStatus status, int confidence = 0) {
  TrackVerdict verdict;
  verdict.status = status;
  verdict.confidence = confidence;
  return verdict;
}

TEST(RipSummary, CountsTheVerifiedTracksAndNamesEveryTrackWithErrors) {
  struct Case {
    const char* name;
    QList<TrackOutcome> outcomes;
    QString verifyError;
    QStringList lines;
  };
  const Case cases[] = {
      {"accurate, confidences differ, hidden track with errors",
       {Track(kHiddenTrackIndex, std::nullopt, 2),
        Track(0, Verdict(AccurateRipStatus::Accurate, 5)),
        Track(1, Verdict(AccurateRipStatus::Accurate, 23))},
       {},
       {"2 of 2 tracks accurate, confidence 5\u201323", "Tracks with read errors: 0"}},
      {"mixed verdicts",
       {Track(0, Verdict(AccurateRipStatus::Accurate, 7)),
        Track(1, Verdict(AccurateRipStatus::Inaccurate), 1),
        Track(2, Verdict(AccurateRipStatus::NotInDatabase))},
       {},
       {"1 of 3 tracks accurate, confidence 7", "1 of 3 tracks inaccurate",
        "1 of 3 tracks not in the database", "Tracks with read errors: 2"}},
      {"database unreachable",
       {Track(0, Verdict(AccurateRipStatus::Unavailable)),
        Track(1, Verdict(AccurateRipStatus::Unavailable))},
       "connection refused",
       {"2 of 2 tracks not verified: AccurateRip unavailable (connection refused)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RipResult result;
    result.outcomes = c.outcomes;
    result.verifyError = c.verifyError;
    EXPECT_TRUE(RipSummary::HasVerdicts(result));
    EXPECT_EQ(RipSummary::Lines(result), c.lines);
  }
}

}  // namespace
