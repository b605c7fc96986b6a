#include "metadata/disc_id.h"

#include <QCryptographicHash>
#include <QStringList>

namespace {

constexpr size_t kMaxTracks = 99;

int DigitSum(int value) {
  int sum = 0;
  for (; value > 0; value /= 10) sum += value % 10;
  return sum;
}

int WholeSeconds(const MsfAddress& address) { return address.minute * 60 + address.second; }

int Frames(const MsfAddress& address) {
  return address.minute * 4500 + address.second * 75 + address.frame;
}

// The lead-out of an enhanced CD's audio session lies this many sectors before the data
// track: the session's lead-out (6750), the next lead-in (4500) and its pregap (150).
constexpr int kSessionGap = 11400;

QByteArray Hex(int value, int digits) {
  return QByteArray::number(value, 16).toUpper().rightJustified(digits, '0');
}

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

FirstSession FirstSessionOf(const TocAddresses& toc) {
  FirstSession session;
  if (!toc.HasValidTrackCount()) return session;
  size_t audioTracks = toc.trackStarts.size();
  session.leadOut = Frames(toc.leadOut);
  // A data track too close to the audio to leave room for a session gap is in the first
  // session, as on a mixed-mode disc.
  const size_t last = audioTracks - 1;
  if (toc.lastTrackIsData && last > 0 &&
      Frames(toc.trackStarts[last]) - kSessionGap > Frames(toc.trackStarts[last - 1])) {
    audioTracks = last;
    session.leadOut = Frames(toc.trackStarts[last]) - kSessionGap;
  }
  session.firstTrack = toc.firstTrack;
  session.lastTrack = toc.firstTrack + int(audioTracks) - 1;
  for (size_t i = 0; i < audioTracks; ++i)
    session.trackOffsets.push_back(Frames(toc.trackStarts[i]));
  return session;
}

QString MusicBrainzDiscId(const TocAddresses& toc) {
  const FirstSession session = FirstSessionOf(toc);
  if (session.trackOffsets.empty() || session.lastTrack > int(kMaxTracks)) return QString();
  QByteArray text =
      Hex(session.firstTrack, 2) + Hex(session.lastTrack, 2) + Hex(session.leadOut, 8);
  // Offsets are indexed by track number; numbers before the first and after the last are 0.
  for (int number = 1; number <= int(kMaxTracks); ++number) {
    const int index = number - session.firstTrack;
    const bool onDisc = index >= 0 && index < int(session.trackOffsets.size());
    text += Hex(onDisc ? session.trackOffsets[index] : 0, 8);
  }
  QByteArray id = QCryptographicHash::hash(text, QCryptographicHash::Sha1).toBase64();
  id.replace('+', '.').replace('/', '_').replace('=', '-');
  return QString::fromLatin1(id);
}

QString MusicBrainzSubmissionUrl(const QString& server, const TocAddresses& toc) {
  const QString id = MusicBrainzDiscId(toc);
  if (id.isEmpty()) return QString();
  const FirstSession session = FirstSessionOf(toc);
  QStringList numbers = {QString::number(session.firstTrack), QString::number(session.lastTrack),
                         QString::number(session.leadOut)};
  for (int offset : session.trackOffsets) numbers.append(QString::number(offset));
  QString base = server;
  while (base.endsWith(QLatin1Char('/'))) base.chop(1);
  return base + QStringLiteral("/cdtoc/attach?id=%1&tracks=%2&toc=%3")
                    .arg(id)
                    .arg(session.trackOffsets.size())
                    .arg(numbers.join(QLatin1Char('+')));
}
