#include "app/rip_summary.h"

#include <QDir>
#include <algorithm>

#include "rip/rip_log.h"
#include "texts/language_manager.h"

namespace {

enum SummaryTextId : unsigned {
  kVerdictAccurateTextId = 5012,
  kVerdictInaccurateTextId = 5013,
  kVerdictNotInDatabaseTextId = 5014,
  kVerdictUnavailableTextId = 5015,
  kTracksAccurateTextId = 5016,
  kTracksInaccurateTextId = 5017,
  kTracksNotInDatabaseTextId = 5018,
  kTracksUnavailableTextId = 5019,
  kTracksWithReadErrorsTextId = 5020,
  kTracksNotWrittenTextId = 5023,
  kLogNotWrittenTextId = 5024,
};

QString Text(unsigned id) { return LanguageManager::Instance().Text(id); }

QString Numbers(const QList<int>& numbers) {
  QStringList list;
  for (int number : numbers) list << QString::number(number);
  return list.join(QStringLiteral(", "));
}

// "23", or "5–23" when the accurate tracks' confidences differ.
QString ConfidenceText(const VerdictTally& tally) {
  if (tally.lowestConfidence == tally.highestConfidence)
    return QString::number(tally.lowestConfidence);
  return QStringLiteral("%1\u2013%2").arg(tally.lowestConfidence).arg(tally.highestConfidence);
}

}  // namespace

namespace RipSummary {

QString VerdictLine(int trackNumber, const TrackVerdict& verdict) {
  switch (verdict.status) {
    case AccurateRipStatus::Accurate:
      return Text(kVerdictAccurateTextId).arg(trackNumber).arg(verdict.confidence);
    case AccurateRipStatus::Inaccurate: return Text(kVerdictInaccurateTextId).arg(trackNumber);
    case AccurateRipStatus::NotInDatabase:
      return Text(kVerdictNotInDatabaseTextId).arg(trackNumber);
    case AccurateRipStatus::Unavailable: break;
  }
  return Text(kVerdictUnavailableTextId).arg(trackNumber);
}

bool HasVerdicts(const RipResult& result) {
  return std::any_of(result.outcomes.begin(), result.outcomes.end(),
                     [](const TrackOutcome& outcome) { return outcome.verdict.has_value(); });
}

QStringList Lines(const RipResult& result) {
  const VerdictTally tally = TallyVerdicts(result);
  QStringList lines;
  // "n of total tracks ...", when any track had that verdict.
  const auto count = [&](AccurateRipStatus status, unsigned textId) {
    const int n = tally.Count(status);
    if (n > 0) lines << Text(textId).arg(n).arg(tally.tracks);
    return n > 0;
  };
  if (count(AccurateRipStatus::Accurate, kTracksAccurateTextId))
    lines.last() = lines.last().arg(ConfidenceText(tally));
  count(AccurateRipStatus::Inaccurate, kTracksInaccurateTextId);
  count(AccurateRipStatus::NotInDatabase, kTracksNotInDatabaseTextId);
  if (count(AccurateRipStatus::Unavailable, kTracksUnavailableTextId))
    lines.last() = lines.last().arg(result.verifyError);
  if (!tally.readErrors.isEmpty())
    lines << Text(kTracksWithReadErrorsTextId).arg(Numbers(tally.readErrors));
  if (!tally.notWritten.isEmpty())
    lines << Text(kTracksNotWrittenTextId).arg(Numbers(tally.notWritten));
  if (!result.logError.isEmpty()) lines << Text(kLogNotWrittenTextId).arg(result.logError);
  return lines;
}

}  // namespace RipSummary
