#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

#include "drive/virtual/disc_image.h"

// CUE sheets: the text that describes a BIN image's files and tracks.
struct CueIndex {
  int number = 0;
  int frame = 0;  // sectors from the start of the track's file
  int line = 0;   // of the INDEX command, for messages
};

struct CueTrack {
  int number = 0;
  TrackMode mode = TrackMode::Audio;
  int file = 0;             // index into CueSheet::files
  int line = 0;             // line of the TRACK command, for messages
  int pregap = 0;           // PREGAP sectors (not in the file)
  int postgap = 0;          // POSTGAP sectors (not in the file)
  QList<CueIndex> indexes;  // in increasing number and time; INDEX 01 always present
  QString title;
  QString performer;

  int FirstIndexFrame() const { return indexes.first().frame; }
  int Index01Frame() const;
};

struct CueFile {
  QString name;  // as written in the sheet
  int line = 0;
};

struct CueSheet {
  QString title;  // disc level
  QString performer;
  QList<CueFile> files;
  QList<CueTrack> tracks;
};

// Parses a sheet read as UTF-8 (a byte-order mark is skipped) or, when the bytes are not
// valid UTF-8, as Windows-1252. A malformed sheet gives false and a message naming its line.
bool ParseCueSheet(const QByteArray& bytes, CueSheet* sheet, QString* error);

// Places the tracks on the disc from the sizes in bytes of the sheet's files: each file's
// tracks follow one another, a file's last track runs to the file's end, PREGAP and POSTGAP
// add blank sectors. False with a message naming the line when a file is too short.
bool LayOutCueSheet(const CueSheet& sheet, const QList<qint64>& fileSizes, DiscLayout* layout,
                    QString* error);

// Reads, parses and lays out a sheet and opens its files, which are looked for relative to
// the sheet's folder.
std::shared_ptr<const DiscImage> LoadCueSheet(const QString& path, QString* error);
