#include "disc_images.h"

#include <QFile>
#include <cstring>

#include "support/test_support.h"

namespace {

constexpr int kPrimaryVolumeDescriptorSector = 16;

// Deterministic bytes that differ from sector to sector and track to track.
QByteArray Pattern(int track, qint64 length) {
  QByteArray bytes(length, '\0');
  uint32_t state = 0x9E3779B9u * static_cast<uint32_t>(track + 1);
  for (qint64 i = 0; i < length; ++i) {
    state = state * 1664525u + 1013904223u;
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

void PutVolumeDescriptor(QByteArray& bin, int sectorBytes, const QString& label) {
  // User data starts at byte 16 of a raw MODE1 sector, at byte 0 of a 2048-byte one.
  const int userOffset = sectorBytes == 2048 ? 0 : 16;
  char* pvd = bin.data() + kPrimaryVolumeDescriptorSector * sectorBytes + userOffset;
  std::memset(pvd, 0, 2048);
  pvd[0] = 1;
  std::memcpy(pvd + 1, "CD001", 5);
  pvd[6] = 1;
  std::memset(pvd + 40, ' ', 32);
  const QByteArray name = label.toLatin1().left(32);
  std::memcpy(pvd + 40, name.constData(), name.size());
}

QString Quoted(const QString& text) { return '"' + text + '"'; }

}  // namespace

int StoredSectorBytes(const QString& mode) { return mode == "MODE1/2048" ? 2048 : 2352; }

QString DiscImages::Write(const QList<TrackSpec>& tracks, const QString& discTitle, const QString& discPerformer) {
  QString cue;
  if (!discTitle.isEmpty()) cue += "TITLE " + Quoted(discTitle) + "\n";
  if (!discPerformer.isEmpty()) cue += "PERFORMER " + Quoted(discPerformer) + "\n";
  bins_.clear();
  for (int i = 0; i < tracks.size(); ++i) {
    const TrackSpec& t = tracks[i];
    const int sectorBytes = StoredSectorBytes(t.mode);
    QByteArray bin = Pattern(i, static_cast<qint64>(t.sectors) * sectorBytes);
    if (!t.volumeLabel.isEmpty()) PutVolumeDescriptor(bin, sectorBytes, t.volumeLabel);
    const QString binName = QString("track%1.bin").arg(i + 1);
    WriteFileBytes(dir_.filePath(binName), bin);
    bins_.append(bin);
    cue += "FILE " + Quoted(binName) + " BINARY\n";
    cue += QString("  TRACK %1 %2\n").arg(i + 1, 2, 10, QChar('0')).arg(t.mode);
    if (!t.title.isEmpty()) cue += "    TITLE " + Quoted(t.title) + "\n";
    if (!t.performer.isEmpty()) cue += "    PERFORMER " + Quoted(t.performer) + "\n";
    cue += "    INDEX 01 00:00:00\n";
  }
  const QString path = dir_.filePath("disc.cue");
  WriteFileBytes(path, cue.toUtf8());
  return path;
}
