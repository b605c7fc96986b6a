#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/file_ops.h"

// How a track's sectors are stored in its image file.
enum class TrackMode {
  Audio,        // 2352 bytes of CD-DA
  Mode1Raw,     // MODE1/2352: whole raw sectors
  Mode1Cooked,  // MODE1/2048: user data only; sync, header, EDC and ECC are made on reading
  Mode2Raw,     // MODE2/2352: whole raw sectors
};

int StoredSectorSize(TrackMode mode);
bool IsDataMode(TrackMode mode);

struct DiscTrack {
  int number = 0;
  TrackMode mode = TrackMode::Audio;
  int pregapStart =
      0;          // first sector of the track's pregap (INDEX 00 or PREGAP); == start without one
  int start = 0;  // INDEX 01: where the table of contents puts the track
  int end = 0;    // one past the track's last sector
  QString title;  // CD-TEXT
  QString performer;
};

// Consecutive sectors that come from one place.
struct SectorRun {
  enum class Source { File, Blank, Generated };
  int firstLba = 0;
  int count = 0;
  TrackMode mode = TrackMode::Audio;
  Source source = Source::Blank;
  int file = -1;      // index into DiscLayout::files when source is File
  qint64 offset = 0;  // byte offset of the run's first sector in that file
};

// Everything a disc image is made of, before its files are opened.
struct DiscLayout {
  QString title;  // disc-level CD-TEXT
  QString performer;
  QList<DiscTrack> tracks;  // in disc order, numbers consecutive
  QList<SectorRun> runs;    // cover 0 .. lead-out without holes, in order
  QStringList files;        // image files the runs read from
};

// A disc: its tracks, its CD-TEXT and every sector on demand. File-backed sectors are read
// from the image files when asked for (nothing of the image is kept in memory), so one
// DiscImage can be shared by threads.
class DiscImage {
 public:
  // Fills a generated (Source::Generated) audio sector.
  using Synthesizer = std::function<void(int lba, uint8_t* out2352)>;

  // Opens the layout's files; fails with a message when one cannot be opened.
  static std::shared_ptr<const DiscImage> Open(DiscLayout layout, QString* error);
  // A disc whose audio is computed (no files).
  static std::shared_ptr<const DiscImage> Generated(DiscLayout layout, Synthesizer synthesizer);

  ~DiscImage();
  DiscImage(const DiscImage&) = delete;
  DiscImage& operator=(const DiscImage&) = delete;

  const QList<DiscTrack>& Tracks() const { return layout_.tracks; }
  QString Title() const { return layout_.title; }
  QString Performer() const { return layout_.performer; }
  bool HasCdText() const;
  int LeadOut() const;  // first sector after the last track

  // The track holding a sector (pregap included), or null outside 0 .. lead-out.
  const DiscTrack* TrackAt(int lba) const;

  // count whole 2352-byte sectors from lba into out. False when the range leaves the disc or
  // an image file cannot be read.
  bool ReadRaw(int lba, int count, uint8_t* out) const;
  // The 2048 user bytes of a data sector (Mode 1, or Mode 2 form 1). False for audio.
  bool ReadUser(int lba, uint8_t* out2048) const;

 private:
  explicit DiscImage(DiscLayout layout);
  const SectorRun* RunAt(int lba) const;
  bool ReadRunRaw(const SectorRun& run, int lba, int count, uint8_t* out) const;
  bool ReadFile(int file, qint64 offset, qint64 length, uint8_t* out) const;

  DiscLayout layout_;
  QList<ReadableFile> files_;  // the layout's files, open while the image lives
  Synthesizer synthesizer_;
};
