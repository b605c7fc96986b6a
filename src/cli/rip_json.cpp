#include "cli/rip_json.h"

#include <QJsonArray>

#include "rip/rip_job.h"
#include "rip/rip_log.h"

namespace {

QJsonArray Sectors(const std::vector<int>& sectors) {
  QJsonArray array;
  for (int sector : sectors) array.append(sector);
  return array;
}

QJsonObject AccurateRipJson(const TrackOutcome& outcome) {
  QJsonObject json{{"v1", HexWord(outcome.accurateRipV1)}, {"v2", HexWord(outcome.accurateRipV2)}};
  json["status"] = outcome.verdict ? StatusName(outcome.verdict->status) : "not-verified";
  json["confidence"] = outcome.verdict ? outcome.verdict->confidence : 0;
  return json;
}

QJsonObject TrackJson(const TrackOutcome& outcome) {
  QJsonObject json{{"number", outcome.trackIndex + 1},
                   {"file", outcome.path},
                   {"readErrors", outcome.failedSectors},
                   {"suspicious", Sectors(outcome.suspiciousSectors)},
                   {"reread", Sectors(outcome.rereadSectors)}};
  if (outcome.checksummed) {
    json["crc32"] = HexWord(outcome.crc32);
    if (outcome.testCrc32) json["testCrc32"] = HexWord(*outcome.testCrc32);
    json["accurateRip"] = AccurateRipJson(outcome);
  }
  if (outcome.failed) json["error"] = outcome.errorText;
  return json;
}

}  // namespace

QJsonObject RipResultJson(const RipResult& result) {
  QJsonArray tracks;
  for (const TrackOutcome& outcome : result.outcomes) tracks.append(TrackJson(outcome));
  QJsonObject json{{"accurateRipId", result.accurateRipId},
                   {"readOffset", result.readOffset},
                   {"readMode", result.secure ? "secure" : "fast"},
                   {"log", result.logPath},
                   {"summary", RipSummaryLine(result)},
                   {"tracks", tracks}};
  if (!result.verifyError.isEmpty()) json["accurateRipError"] = result.verifyError;
  if (!result.logError.isEmpty()) json["logError"] = result.logError;
  return json;
}
