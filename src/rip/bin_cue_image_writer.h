#pragma once
#include <QByteArray>
#include <QList>

#include "rip/disc_image_writer.h"

// A BIN image of whole raw 2352-byte sectors (READ CD, every field), 27 sectors a read,
// and beside it a CUE sheet that describes its tracks. Audio is read at its true place, the
// drive's read offset corrected.
class BinCueImageWriter : public DiscImageWriter {
 public:
  BinCueImageWriter() : DiscImageWriter(27, 2352) {}
  // Writes the CUE sheet beside the image; 0 when it could not be written, with the reason
  // as the run's failure.
  int Finish() override;

 protected:
  bool ReadSectors(uint32_t first, int count, uint8_t* out) override;

 private:
  bool AllAudio(uint32_t first, int count);
  QString TrackType(int index);
  int FailSheet(const QString& why);
};

// One track of a CUE sheet: its first sector counted from the image's start, and its type
// ("AUDIO", "MODE1/2352", "MODE2/2352").
struct ImageCueTrack {
  uint32_t start = 0;
  QString type;
  uint32_t pregap = 0;  // sectors from start to the track's INDEX 01 (INDEX 00 at start)
};

// The CUE sheet of an image file named binName with these tracks: CR LF lines, in
// Windows-1252, or in UTF-8 with a byte-order mark when the name does not fit that code page.
QByteArray CueSheetText(const QString& binName, const QList<ImageCueTrack>& tracks);
// The CUE sheet's path: the image's, its extension replaced by ".cue".
QString CuePathFor(const QString& binPath);
