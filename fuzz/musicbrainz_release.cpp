// The MusicBrainz discid answer parser over arbitrary bytes, and the record it fills; the first
// byte gives the record's track count.
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "metadata/disc_info.h"
#include "metadata/musicbrainz_release.h"
#include "platform/paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The record's various-artists mark is written to the disc cache, in a folder of our own.
  static QTemporaryDir work;
  static const bool configured = (Paths::SetConfigDirOverride(work.path()), true);
  (void)configured;
  const int trackCount = data[0] % 100;
  const QByteArray answer(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
  const QList<MusicBrainzRelease> releases = ParseMusicBrainzReleases(answer, "disc");
  for (const MusicBrainzRelease& release : releases) {
    if (release.discNumber < 1 || release.discNumber > release.discTotal) __builtin_trap();
    DiscInfo info;
    info.ResetToDefaults(trackCount);
    info.discId = "0000FFFF";
    ApplyMusicBrainzRelease(release, info);
    // The record keeps its own track count, whatever the release lists.
    if (info.trackTitles.size() != info.trackArtists.size()) __builtin_trap();
    if (info.musicBrainz.recordings.size() != info.trackTitles.size()) __builtin_trap();
  }
  return 0;
}
