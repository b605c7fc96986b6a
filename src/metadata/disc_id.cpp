#include "metadata/disc_id.h"

namespace {

constexpr size_t kMaxTracks = 99;

int DigitSum(int value) {
  int sum = 0;
  for (; value > 0; value /= 10) sum += value % 10;
  return sum;
}

int WholeSeconds(const MsfAddress& address) { return address.minute * 60 + address.second; }

}  // namespace

bool TocAddresses::HasValidTrackCount() const {
  return !trackStarts.empty() && trackStarts.size() <= kMaxTracks;
}

uint32_t ComputeDiscId(const TocAddresses& toc) {
  if (!toc.HasValidTrackCount()) return 0;
  uint32_t digitSums = 0;
  for (const MsfAddress& start : toc.trackStarts)
    digitSums += uint32_t(DigitSum(WholeSeconds(start)));
  const uint32_t length =
      uint32_t(WholeSeconds(toc.leadOut) - WholeSeconds(toc.trackStarts.front()));
  const uint32_t count = uint32_t(toc.trackStarts.size());
  return ((digitSums % 255) << 24) | (length << 8) | count;
}

QString DiscIdText(uint32_t discId) {
  return QStringLiteral("%1").arg(discId, 8, 16, QLatin1Char('0')).toUpper();
}
