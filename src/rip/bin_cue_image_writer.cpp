#include "rip/bin_cue_image_writer.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <vector>

#include "drive/audio_reader.h"
#include "drive/cd_device.h"
#include "encoders/codec_file.h"
#include "encoders/part_file.h"
#include "platform/codepage.h"

namespace {

constexpr int kMaxTracks = 99;
constexpr int kModeByte = 15;  // of a raw data sector: 1 or 2

QString Msf(uint32_t lba) {
  return QString::asprintf("%02u:%02u:%02u", lba / 75 / 60, lba / 75 % 60, lba % 75);
}

}  // namespace

QByteArray CueSheetText(const QString& binName, const QList<ImageCueTrack>& tracks) {
  QString text = QStringLiteral("FILE \"%1\" BINARY\r\n").arg(binName);
  for (int n = 0; n < tracks.size(); ++n) {
    text += QString::asprintf("  TRACK %02d ", n + 1) + tracks[n].type + "\r\n";
    const ImageCueTrack& track = tracks[n];
    if (track.pregap > 0) text += QStringLiteral("    INDEX 00 %1\r\n").arg(Msf(track.start));
    text += QStringLiteral("    INDEX 01 %1\r\n").arg(Msf(track.start + track.pregap));
  }
  if (Ansi::Decode(Ansi::Encode(text)) == text) return Ansi::Encode(text);
  return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QString CuePathFor(const QString& binPath) {
  const QFileInfo info(binPath);
  const QString suffix = info.suffix();
  const QString base =
      suffix.isEmpty() ? binPath : binPath.left(binPath.size() - suffix.size() - 1);
  return base + ".cue";
}

// Whether every sector of the range lies in an audio track.
bool BinCueImageWriter::AllAudio(uint32_t first, int count) {
  int tracks = 0;
  if (!drive->GetTrackCount(tracks)) return false;
  const int64_t end = int64_t(first) + count;
  for (int i = 0; i < tracks; ++i) {
    int start = 0;
    int last = 0;
    bool data = true;
    if (!drive->IsDataTrack(i, data) || !drive->GetTrackStart(i, start) ||
        !drive->GetTrackEnd(i, last))
      return false;
    if (data && start < end && last >= int64_t(first)) return false;
  }
  return true;
}

// Audio comes at its true place, the drive's read offset corrected as in a rip: silence
// where the correction reaches beyond the disc, and sectors that stay unreadable counted.
// Data sectors (and any chunk that holds some) are copied raw.
bool BinCueImageWriter::ReadSectors(uint32_t first, int count, uint8_t* out) {
  if (drive->readOffset == 0 || !AllAudio(first, count))
    return drive->ReadRaw(int(first), count, SectorBytes(), out, nullptr);
  const AudioReadOutcome read = ReadAudioOrSilence(*drive, int(first), count, out, &stopRequested);
  failedSectors += read.silentSectors;
  return !read.stopped;
}

// A data track is mode 1 or mode 2 (CD-ROM XA) as its first sector's header says.
QString BinCueImageWriter::TrackType(int index) {
  bool data = false;
  int start = 0;
  if (!drive->IsDataTrack(index, data) || !data) return QStringLiteral("AUDIO");
  std::vector<uint8_t> sector(static_cast<size_t>(SectorBytes()));
  drive->Open();
  const bool read = drive->GetTrackStart(index, start) &&
                    drive->ReadRaw(start, 1, SectorBytes(), sector.data(), nullptr);
  drive->Close();
  return read && sector[kModeByte] == 2 ? QStringLiteral("MODE2/2352")
                                        : QStringLiteral("MODE1/2352");
}

int BinCueImageWriter::Finish() {
  const QString cuePath = CuePathFor(outputPath);
  const QString failedSheet = QDir::toNativeSeparators(cuePath) + ": ";
  int count = 0;
  QList<ImageCueTrack> tracks;
  bool listed = drive->GetTrackCount(count) && count > 0 && count <= kMaxTracks;
  for (int i = 0; listed && i < count; ++i) {
    int start = 0;
    int index01 = 0;
    listed = drive->GetTrackStart(i, start) && drive->GetTrackIndex01(i, index01);
    tracks.append({uint32_t(start), TrackType(i), uint32_t(std::max(index01 - start, 0))});
  }
  if (!listed)
    return FailSheet(failedSheet + QStringLiteral("the disc's tracks could not be read"));
  PartFile part(cuePath);
  CodecFile file;
  if (!part.Create()) return FailSheet(part.ErrorText());
  const bool written = file.Create(part.Path()) &&
                       file.Write(CueSheetText(QFileInfo(outputPath).fileName(), tracks));
  if (!file.Close() || !written) return FailSheet(failedSheet + file.ErrorText());
  if (!part.Commit()) return FailSheet(part.ErrorText());
  return 1;
}

int BinCueImageWriter::FailSheet(const QString& why) {
  Fail(why);
  return 0;
}
