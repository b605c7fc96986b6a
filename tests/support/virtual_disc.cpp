#include "support/virtual_disc.h"

#include <gtest/gtest.h>

#include <QtEndian>

#include "drive/cd_device.h"
#include "drive/drive_context.h"
#include "drive/virtual/virtual_drive.h"
#include "support/test_support.h"
#include "platform/cd_sector.h"

namespace {


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

QString Msf(int sectors) {
  return QString::asprintf("%02d:%02d:%02d", sectors / 4500, sectors / 75 % 60, sectors % 75);
}

QString CdTextLines(const QString& indent, const QString& title, const QString& performer) {
  QString lines;
  if (!title.isEmpty()) lines += QStringLiteral("%1TITLE \"%2\"\n").arg(indent, title);
  if (!performer.isEmpty()) lines += QStringLiteral("%1PERFORMER \"%2\"\n").arg(indent, performer);
  return lines;
}

}  // namespace

TestDisc::TestDisc(const QList<TestTrack>& tracks, const QString& title, const QString& performer)
    : tracks_(tracks) {
  int total = 0;
  for (const TestTrack& track : tracks) total += track.sectors;
  image_ = GeneratedAudio(total);
  QString cue = CdTextLines(QString(), title, performer) + "FILE \"disc.bin\" BINARY\n";
  for (int i = 0; i < tracks.size(); ++i) {
    cue += QString::asprintf("  TRACK %02d AUDIO\n", i + 1);
    cue += CdTextLines("    ", tracks[i].title, tracks[i].performer);
    cue += "    INDEX 01 " + Msf(TrackStart(i)) + "\n";
  }
  EXPECT_TRUE(WriteFileBytes(dir_.filePath("disc.bin"), image_));
  EXPECT_TRUE(WriteFileBytes(CuePath(), cue.toUtf8()));
}

int TestDisc::TrackStart(int index) const {
  int start = 0;
  for (int i = 0; i < index; ++i) start += tracks_[i].sectors;
  return start;
}

QByteArray TestDisc::TrackAudio(int index) const {
  return image_.mid(qsizetype(TrackStart(index)) * kCdSectorBytes, qsizetype(tracks_[index].sectors) * kCdSectorBytes);
}

CdDevice* TestDisc::Insert() const {
  QString error;
  if (!VirtualDriveHost::Instance().Drive(0).LoadCue(CuePath(), &error)) {
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
