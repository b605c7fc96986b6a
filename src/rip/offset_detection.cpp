#include "rip/offset_detection.h"

#include "drive/audio_reader.h"
#include "drive/cd_device.h"
#include "drive/read_offset.h"
#include "metadata/accuraterip_client.h"
#include "metadata/current_disc.h"
#include "platform/cd_sector.h"
#include "rip/track_checksums.h"

namespace {

constexpr int kChunkSectors = 27;
constexpr int kMarginSectors = (kMaxReadOffset + kCdSectorFrames - 1) / kCdSectorFrames;

struct AudioTrack {
  int first = 0;  // sectors, the last inclusive
  int last = 0;
};

std::vector<AudioTrack> AudioTracks(CdDevice& drive) {
  std::vector<AudioTrack> tracks;
  int count = 0;
  if (!drive.GetTrackCount(count)) return tracks;
  for (int i = 0; i < count; ++i) {
    bool data = true;
    AudioTrack track;
    if (drive.IsDataTrack(i, data) && !data && drive.GetTrackIndex01(i, track.first) &&
        drive.GetTrackEnd(i, track.last))
      tracks.push_back(track);
  }
  return tracks;
}

// The track's frames as the drive delivers them, kMaxReadOffset more on either side.
bool ReadWindow(CdDevice& drive, const AudioTrack& track, OffsetTrack& out,
                const std::atomic<int>* stop) {
  const int first = track.first - kMarginSectors;
  const int sectors = track.last - track.first + 1 + 2 * kMarginSectors;
  std::vector<uint8_t> pcm(size_t(sectors) * kCdSectorBytes);
  for (int done = 0; done < sectors; done += kChunkSectors) {
    const int n = std::min(kChunkSectors, sectors - done);
    uint8_t* at = pcm.data() + size_t(done) * kCdSectorBytes;
    if (ReadAudioAtOffset(drive, first + done, n, 0, at, stop).stopped) return false;
  }
  const size_t skip = size_t(kMarginSectors * kCdSectorFrames - kMaxReadOffset) * kCdFrameBytes;
  out.frames = uint32_t(track.last - track.first + 1) * kCdSectorFrames;
  out.margin = kMaxReadOffset;
  out.window =
      FramesOf(pcm.data() + skip, (out.frames + 2 * size_t(kMaxReadOffset)) * kCdFrameBytes);
  return true;
}

}  // namespace

OffsetDetection DetectReadOffset(CdDevice& drive, const QString& server,
                                 const std::atomic<int>* stop,
                                 const std::function<void(int)>& progress) {
  OffsetDetection detection;
  const std::optional<AccurateRipId> id = AccurateRipIdOf(drive);
  const std::vector<AudioTrack> tracks = AudioTracks(drive);
  if (!id || tracks.empty()) {
    detection.error = QStringLiteral("the disc has no audio tracks");
    return detection;
  }
  const AccurateRipAnswer answer = FetchAccurateRip(server, *id);
  if (!answer.Usable()) {
    detection.error = QStringLiteral("AccurateRip is unavailable: %1").arg(answer.error);
    return detection;
  }
  if (answer.responses.empty()) {
    detection.error = QStringLiteral("disc %1 is not in the AccurateRip database").arg(id->Text());
    return detection;
  }
  OffsetSearch search(answer);
  const int used = std::min<int>(kOffsetDetectionTracks, int(tracks.size()));
  if (!drive.Open()) {
    detection.error = QStringLiteral("the drive cannot be opened");
    return detection;
  }
  for (int i = 0; i < used; ++i) {
    if (progress) progress(i * 100 / used);
    OffsetTrack track;
    track.audioIndex = i;
    track.firstOnDisc = i == 0;
    track.lastOnDisc = i == int(tracks.size()) - 1;
    if (!ReadWindow(drive, tracks[size_t(i)], track, stop)) {
      drive.Close();
      detection.error = QStringLiteral("stopped");
      return detection;
    }
    search.AddTrack(track);
  }
  drive.Close();
  if (progress) progress(100);
  detection.finding = search.Best();
  if (!detection.finding.found)
    detection.error = QStringLiteral("no offset from %1 to %2 matches the database's checksums")
                          .arg(ReadOffsetText(-kMaxReadOffset), ReadOffsetText(kMaxReadOffset));
  return detection;
}
