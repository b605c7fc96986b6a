#include "rip/rip_log.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "drive/cd_device.h"
#include "drive/read_offset.h"
#include "encoders/codec_file.h"
#include "encoders/output_format.h"
#include "encoders/part_file.h"
#include "metadata/current_disc.h"
#include "metadata/disc_id.h"
#include "platform/version.h"
#include "rip/rip_job.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"

namespace {

QString FormatSettings(const OutputFormat& format) {
  const QString section = QString::fromLatin1(format.Descriptor().iniSection);
  if (section.isEmpty()) return QStringLiteral("no settings");
  QStringList settings;
  const SettingsStore& store = SettingsStore::Instance();
  for (const SettingKey* key : AllSettingKeys()) {
    if (section != QLatin1String(key->section)) continue;
    const QString value = key->type == SettingKey::Type::Int ? QString::number(store.ReadInt(*key))
                                                             : store.ReadText(*key);
    settings << QStringLiteral("%1=%2").arg(QLatin1String(key->key), value);
  }
  return settings.isEmpty() ? QStringLiteral("no settings") : settings.join(", ");
}

QString SectorRange(int first, int last) {
  return QStringLiteral("sectors %1-%2 (%3)").arg(first).arg(last).arg(last - first + 1);
}

// One line a track: number, type, first (its INDEX 01) and last sector, length in sectors;
// and the pregap ahead of a first track's INDEX 01.
QStringList TocLines(CdDevice& device) {
  QStringList lines{QStringLiteral("Table of contents:")};
  int count = 0;
  device.GetTrackCount(count);
  for (int i = 0; i < count; ++i) {
    int start = 0;
    int first = 0;
    int last = 0;
    bool data = false;
    device.GetTrackStart(i, start);
    device.GetTrackIndex01(i, first);
    device.GetTrackEnd(i, last);
    device.IsDataTrack(i, data);
    if (start < first)
      lines << QStringLiteral("  Pregap    before INDEX 01  %1").arg(SectorRange(start, first - 1));
    lines << QStringLiteral("  Track %1  %2  %3")
                 .arg(i + 1, 2)
                 .arg(data ? QStringLiteral("data ") : QStringLiteral("audio"))
                 .arg(SectorRange(first, last));
  }
  return lines;
}

QString Sectors(const std::vector<int>& sectors) {
  QStringList list;
  for (int sector : sectors) list << QString::number(sector);
  return list.join(", ");
}

QString VerdictText(const TrackOutcome& outcome) {
  if (outcome.trackIndex == kHiddenTrackIndex)
    return QStringLiteral("not verified (the hidden track before track 1's INDEX 01)");
  return outcome.verdict ? VerdictText(*outcome.verdict) : QStringLiteral("not verified");
}

QStringList TrackLines(const TrackOutcome& outcome) {
  QStringList lines{QStringLiteral("Track %1").arg(outcome.trackIndex + 1),
                    QStringLiteral("  File: %1").arg(QDir::toNativeSeparators(outcome.path))};
  if (outcome.sectorCount > 0)
    lines << QStringLiteral("  Sectors: %1-%2 (%3)")
                 .arg(outcome.firstSector)
                 .arg(outcome.firstSector + outcome.sectorCount - 1)
                 .arg(outcome.sectorCount);
  if (outcome.failed) {
    lines << QStringLiteral("  Failed: %1").arg(outcome.errorText);
    return lines;
  }
  if (outcome.checksummed) {
    QString crcs = QStringLiteral("  Copy CRC32: %1").arg(HexWord(outcome.crc32));
    if (outcome.testCrc32)
      crcs += QStringLiteral("  Test CRC32: %1").arg(HexWord(*outcome.testCrc32));
    lines << crcs
          << QStringLiteral("  AccurateRip v1: %1  v2: %2")
                 .arg(HexWord(outcome.accurateRipV1), HexWord(outcome.accurateRipV2));
  }
  lines
      << QStringLiteral("  AccurateRip: %1").arg(VerdictText(outcome))
      << QStringLiteral("  Read errors: %1 sectors written as silence").arg(outcome.failedSectors);
  if (outcome.outsideFrames > 0)
    lines << QStringLiteral("  %1 frames beyond the disc's readable audio, written as silence")
                 .arg(outcome.outsideFrames);
  if (!outcome.rereadSectors.empty())
    lines << QStringLiteral("  Re-read sectors: %1").arg(Sectors(outcome.rereadSectors));
  if (!outcome.suspiciousSectors.empty())
    lines << QStringLiteral("  Suspicious sectors: %1").arg(Sectors(outcome.suspiciousSectors));
  return lines;
}

QString TrackList(const QList<int>& numbers) {
  QStringList list;
  for (int number : numbers) list << QString::number(number);
  return (numbers.size() == 1 ? QStringLiteral("track ") : QStringLiteral("tracks ")) +
         list.join(", ");
}

}  // namespace

QStringList RipLogHead(CdDevice& device, const QString& driveName, const OutputFormat& format,
                       bool secure) {
  const TocAddresses toc = TocAddressesOf(device);
  const std::optional<AccurateRipId> accurateRipId = AccurateRipIdOf(device);
  QStringList lines{
      QStringLiteral("Korvane %1 rip log").arg(QLatin1String(KorvaneVersion())),
      QStringLiteral("Date: %1").arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODate)),
      QStringLiteral("Drive: %1").arg(driveName.isEmpty() ? device.CurrentDeviceName() : driveName),
      QStringLiteral("Read offset: %1").arg(ReadOffsetText(device.readOffset)),
      QStringLiteral("Read mode: %1")
          .arg(secure ? QStringLiteral("secure") : QStringLiteral("fast")),
      QStringLiteral("Format: %1 (%2)")
          .arg(QLatin1String(format.Descriptor().name), FormatSettings(format)),
      QStringLiteral("freedb disc id: %1")
          .arg(toc.HasValidTrackCount() ? DiscIdText(ComputeDiscId(toc)).toLower() : QString()),
      QStringLiteral("AccurateRip id: %1").arg(accurateRipId ? accurateRipId->Text() : QString()),
      QStringLiteral("MusicBrainz disc id: %1")
          .arg(toc.HasValidTrackCount() ? MusicBrainzDiscId(toc) : QString()),
  };
  lines << TocLines(device);
  return lines;
}

QString VerdictText(const TrackVerdict& verdict) {
  QString text = StatusName(verdict.status);
  if (verdict.status == AccurateRipStatus::Accurate)
    text += QStringLiteral(" (confidence %1)").arg(verdict.confidence);
  return text;
}

VerdictTally TallyVerdicts(const RipResult& result) {
  VerdictTally tally;
  for (const TrackOutcome& outcome : result.outcomes) {
    if (outcome.trackIndex == kDiscImageIndex) continue;
    const int number = outcome.trackIndex + 1;
    if (outcome.failedSectors > 0 || !outcome.suspiciousSectors.empty()) tally.readErrors << number;
    if (outcome.failed) tally.notWritten << number;
    if (outcome.trackIndex == kHiddenTrackIndex) continue;
    ++tally.tracks;
    if (!outcome.verdict) {
      ++tally.unverified;
      continue;
    }
    const TrackVerdict& verdict = *outcome.verdict;
    if (verdict.status == AccurateRipStatus::Accurate) {
      const bool first = tally.Count(AccurateRipStatus::Accurate) == 0;
      tally.lowestConfidence =
          first ? verdict.confidence : std::min(tally.lowestConfidence, verdict.confidence);
      tally.highestConfidence = std::max(tally.highestConfidence, verdict.confidence);
    }
    ++tally.counts[int(verdict.status)];
  }
  return tally;
}

QString RipSummaryLine(const RipResult& result) {
  const VerdictTally tally = TallyVerdicts(result);
  QList<int> errors = tally.readErrors + tally.notWritten;
  std::sort(errors.begin(), errors.end());
  errors.erase(std::unique(errors.begin(), errors.end()), errors.end());
  if (!errors.isEmpty()) return QStringLiteral("Errors in %1").arg(TrackList(errors));
  const int total = tally.tracks;
  if (total > 0 && tally.Count(AccurateRipStatus::Accurate) == total) {
    return QStringLiteral("All tracks accurate (confidence %1 or more)")
        .arg(tally.lowestConfidence);
  }
  QStringList parts;
  const auto count = [&](int n, const QString& what) {
    if (n > 0) parts << QStringLiteral("%1 of %2 tracks %3").arg(n).arg(total).arg(what);
  };
  count(tally.Count(AccurateRipStatus::Accurate), QStringLiteral("accurate"));
  count(tally.Count(AccurateRipStatus::Inaccurate), QStringLiteral("not accurate"));
  count(tally.Count(AccurateRipStatus::NotInDatabase), QStringLiteral("not in the database"));
  count(tally.Count(AccurateRipStatus::Unavailable),
        QStringLiteral("not verified: AccurateRip unavailable"));
  count(tally.unverified, QStringLiteral("not verified"));
  return parts.join(QStringLiteral("; "));
}

QString RipLogText(const QStringList& head, const RipResult& result) {
  QStringList lines = head;
  if (!result.verifyError.isEmpty())
    lines << QStringLiteral("AccurateRip unavailable: %1").arg(result.verifyError);
  for (const TrackOutcome& outcome : result.outcomes) lines << QString() << TrackLines(outcome);
  lines << QString() << RipSummaryLine(result);
  return lines.join('\n') + '\n';
}

QString RipLogPath(const QString& trackPath) {
  const QDir folder = QFileInfo(trackPath).dir();
  const QString name = folder.dirName().isEmpty() ? QStringLiteral("rip") : folder.dirName();
  return folder.filePath(name + QStringLiteral(".log"));
}

QString WriteRipLog(const QString& path, const QString& text, QString* error) {
  PartFile part(path);
  CodecFile file;
  if (!part.Create()) {
    *error = part.ErrorText();
    return {};
  }
  const bool written = file.Create(part.Path()) && file.Write(text.toUtf8());
  if (!file.Close() || !written) {
    *error = QDir::toNativeSeparators(path) + QStringLiteral(": ") + file.ErrorText();
    return {};
  }
  if (part.Commit()) return part.FinalPath();
  *error = part.ErrorText();
  return {};
}
