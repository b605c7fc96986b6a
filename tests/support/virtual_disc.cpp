#include "support/virtual_disc.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QtEndian>
#include <cstring>

#include "drive/cd_device.h"
#include "drive/drive_context.h"
#include "drive/virtual/virtual_drive.h"
#include "platform/cd_sector.h"
#include "support/test_support.h"

namespace {

constexpr int kPrimaryVolumeDescriptorSector = 16;

// Left: a noise generator; right: a ramp that passes through every 16-bit value.
QByteArray GeneratedAudio(int sectors) {
  QByteArray pcm(qsizetype(sectors) * kCdSectorBytes, Qt::Uninitialized);
  uint32_t noise = 12345;
  for (qsizetype frame = 0; frame < pcm.size() / 4; ++frame) {
    noise = noise * 1664525u + 1013904223u;
    qToLittleEndian<qint16>(qint16(noise >> 16), pcm.data() + frame * 4);
    qToLittleEndian<qint16>(qint16(uint16_t(frame * 97)), pcm.data() + frame * 4 + 2);
  }
  return pcm;
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

QString Msf(int sectors) {
  return QString::asprintf("%02d:%02d:%02d", sectors / 4500, sectors / 75 % 60, sectors % 75);
}

// The CUE sheet's TITLE and PERFORMER lines; empty texts are left out.
QString CdTextLines(const QString& indent, const QString& title, const QString& performer) {
  QString lines;
  if (!title.isEmpty()) lines += QStringLiteral("%1TITLE \"%2\"\n").arg(indent, title);
  if (!performer.isEmpty()) lines += QStringLiteral("%1PERFORMER \"%2\"\n").arg(indent, performer);
  return lines;
}

// A TRACK entry of a CUE sheet: its mode, CD-TEXT and index 01 at start (sectors into its file),
// with index 00 pregap sectors before it when there is a pregap.
QString TrackLines(int number, const QString& mode, const QString& title, const QString& performer,
                   int start, int pregap = 0) {
  const QString index00 = pregap > 0 ? "    INDEX 00 " + Msf(start - pregap) + "\n" : QString();
  return QString::asprintf("  TRACK %02d ", number) + mode + "\n" +
         CdTextLines("    ", title, performer) + index00 + "    INDEX 01 " + Msf(start) + "\n";
}

}  // namespace

QByteArray PatternSectors(int seed, int count, int sectorSize) {
  QByteArray bytes(qsizetype(count) * sectorSize, '\0');
  uint32_t state = uint32_t(seed) * 2654435761u + 1;
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = char(state >> 23);
  }
  return bytes;
}

QString ImageFolder::Write(const QString& name, const QByteArray& bytes) const {
  const QString path = Path(name);
  QDir().mkpath(QFileInfo(path).path());
  EXPECT_TRUE(WriteFileBytes(path, bytes)) << path.toStdString();
  return path;
}

TestDisc::TestDisc(const QList<TestTrack>& tracks, const QString& title, const QString& performer)
    : tracks_(tracks) {
  int total = 0;
  for (const TestTrack& track : tracks) total += track.pregap + track.sectors;
  image_ = GeneratedAudio(total);
  QString cue = CdTextLines(QString(), title, performer) + "FILE \"disc.bin\" BINARY\n";
  for (int i = 0; i < tracks.size(); ++i) {
    const TestTrack& track = tracks[i];
    if (track.silentPregap) {
      std::memset(image_.data() + qsizetype(TrackStart(i) - track.pregap) * kCdSectorBytes, 0,
                  size_t(track.pregap) * kCdSectorBytes);
    }
    cue += TrackLines(i + 1, "AUDIO", track.title, track.performer, TrackStart(i), track.pregap);
  }
  folder_.Write("disc.bin", image_);
  folder_.Write("disc.cue", cue.toUtf8());
}

int TestDisc::TrackStart(int index) const {
  int start = 0;
  for (int i = 0; i < index; ++i) start += tracks_[i].pregap + tracks_[i].sectors;
  // One past the last track: where the lead-out starts.
  return index < tracks_.size() ? start + tracks_[index].pregap : start;
}

QByteArray TestDisc::TrackAudio(int index) const {
  return image_.mid(qsizetype(TrackStart(index)) * kCdSectorBytes,
                    qsizetype(tracks_[index].sectors) * kCdSectorBytes);
}

QByteArray TestDisc::PregapAudio(int index) const {
  const int pregap = tracks_[index].pregap;
  return image_.mid(qsizetype(TrackStart(index) - pregap) * kCdSectorBytes,
                    qsizetype(pregap) * kCdSectorBytes);
}

CdDevice* TestDisc::Insert() const { return InsertCue(CuePath()); }

CdDevice* InsertCue(const QString& cuePath) {
  QString error;
  if (!VirtualDriveHost::Instance().Drive(0).LoadCue(cuePath, &error)) {
    ADD_FAILURE() << error.toStdString();
    return nullptr;
  }
  QString displayName;
  if (SelectPreferredDrive(QStringLiteral("vcd0"), displayName) != DriveChoice::Selected) {
    ADD_FAILURE() << "the virtual drive could not be selected";
    return nullptr;
  }
  return DriveContext::Instance().device.load();
}

CdDevice* TestDisc::InsertForReading() const {
  VirtualDriveHost::Instance().SetListed(true);
  if (!UseConfiguredDevice()) {
    ADD_FAILURE() << "the configured transport could not be initialised";
    return nullptr;
  }
  CdDevice* device = Insert();
  int count = 0;
  if (device && !device->GetTrackCount(count)) ADD_FAILURE() << "the TOC could not be read";
  return device;
}

int StoredSectorBytes(const QString& mode) { return mode == "MODE1/2048" ? 2048 : 2352; }

QString DiscImages::Write(const QList<TrackSpec>& tracks, const QString& discTitle,
                          const QString& discPerformer) {
  QString cue = CdTextLines(QString(), discTitle, discPerformer);
  bins_.clear();
  for (int i = 0; i < tracks.size(); ++i) {
    const TrackSpec& t = tracks[i];
    const int sectorBytes = StoredSectorBytes(t.mode);
    QByteArray bin = PatternSectors(i, t.sectors, sectorBytes);
    if (!t.volumeLabel.isEmpty()) PutVolumeDescriptor(bin, sectorBytes, t.volumeLabel);
    const QString binName = QString("track%1.bin").arg(i + 1);
    folder_.Write(binName, bin);
    bins_.append(bin);
    cue += "FILE \"" + binName + "\" BINARY\n" + TrackLines(i + 1, t.mode, t.title, t.performer, 0);
  }
  return folder_.Write("disc.cue", cue.toUtf8());
}
