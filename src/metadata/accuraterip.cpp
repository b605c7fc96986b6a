#include "metadata/accuraterip.h"

#include <algorithm>

#include "drive/toc.h"

namespace {

constexpr int kHeaderBytes = 13;
constexpr int kTrackEntryBytes = 9;

int Lba(const MsfAddress& address) {
  return Toc::MsfToLba(address.minute, address.second, address.frame);
}

uint32_t LittleEndian32(const char* bytes) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | uint8_t(bytes[i]);
  return value;
}

}  // namespace

QString HexWord(uint32_t value) { return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')); }

QString AccurateRipId::Text() const {
  return QStringLiteral("%1-%2-%3-%4")
      .arg(audioTracks, 3, 10, QLatin1Char('0'))
      .arg(HexWord(a), HexWord(b), HexWord(c));
}

QString AccurateRipId::DatabasePath() const {
  const QString digits = HexWord(a);
  return QStringLiteral("%1/%2/%3/dBAR-%4.bin")
      .arg(digits[7])
      .arg(digits[6])
      .arg(digits[5])
      .arg(Text());
}

std::optional<AccurateRipId> ComputeAccurateRipId(const TocAddresses& toc,
                                                  const std::vector<bool>& dataTracks) {
  if (!toc.HasValidTrackCount() || dataTracks.size() != toc.trackStarts.size()) return {};
  const uint32_t leadOut = uint32_t(Lba(toc.leadOut));
  AccurateRipId id;
  for (size_t i = 0; i < toc.trackStarts.size(); ++i) {
    if (dataTracks[i]) continue;
    const uint32_t start = uint32_t(std::max(Lba(toc.trackStarts[i]), 0));
    ++id.audioTracks;
    id.a += start;
    id.b += std::max(start, 1u) * uint32_t(id.audioTracks);
  }
  if (id.audioTracks == 0) return {};
  id.a += leadOut;
  id.b += leadOut * uint32_t(id.audioTracks + 1);
  id.c = ComputeDiscId(toc);
  return id;
}

AccurateRipAnswer ParseAccurateRipAnswer(const QByteArray& bytes, const AccurateRipId& disc) {
  AccurateRipAnswer answer;
  qsizetype at = 0;
  while (at < bytes.size()) {
    if (bytes.size() - at < kHeaderBytes) {
      answer.error = QStringLiteral("the answer ends inside a response's header");
      break;
    }
    const char* header = bytes.constData() + at;
    AccurateRipResponse response;
    response.id = {uint8_t(header[0]), LittleEndian32(header + 1), LittleEndian32(header + 5),
                   LittleEndian32(header + 9)};
    if (!(response.id == disc)) {
      answer.error =
          QStringLiteral("a response is for disc %1, not %2").arg(response.id.Text(), disc.Text());
      break;
    }
    at += kHeaderBytes;
    const qsizetype entries = qsizetype(response.id.audioTracks) * kTrackEntryBytes;
    if (bytes.size() - at < entries) {
      answer.error = QStringLiteral("the answer ends inside a response's track entries");
      break;
    }
    for (int t = 0; t < response.id.audioTracks; ++t) {
      const char* entry = bytes.constData() + at + qsizetype(t) * kTrackEntryBytes;
      response.tracks.push_back(
          {uint8_t(entry[0]), LittleEndian32(entry + 1), LittleEndian32(entry + 5)});
    }
    at += entries;
    answer.responses.push_back(std::move(response));
  }
  if (!answer.Usable()) answer.responses.clear();
  return answer;
}

QString StatusName(AccurateRipStatus status) {
  switch (status) {
    case AccurateRipStatus::Accurate: return QStringLiteral("accurate");
    case AccurateRipStatus::Inaccurate: return QStringLiteral("inaccurate");
    case AccurateRipStatus::NotInDatabase: return QStringLiteral("not-in-database");
    case AccurateRipStatus::Unavailable: break;
  }
  return QStringLiteral("unavailable");
}

TrackVerdict VerifyTrack(const AccurateRipAnswer& answer, int track, uint32_t v1, uint32_t v2) {
  if (!answer.Usable()) return {AccurateRipStatus::Unavailable, 0};
  TrackVerdict verdict{AccurateRipStatus::NotInDatabase, 0};
  for (const AccurateRipResponse& response : answer.responses) {
    if (track < 0 || size_t(track) >= response.tracks.size()) continue;
    const AccurateRipResponse::Track& entry = response.tracks[size_t(track)];
    if (entry.confidence == 0) continue;
    if (entry.checksum == v1 || entry.checksum == v2) {
      verdict.status = AccurateRipStatus::Accurate;
      verdict.confidence = std::max(verdict.confidence, entry.confidence);
    } else if (verdict.status == AccurateRipStatus::NotInDatabase) {
      verdict.status = AccurateRipStatus::Inaccurate;
    }
  }
  return verdict;
}
