#pragma once
#include <QDateTime>
#include <QSet>
#include <QString>

#include "platform/ids.h"

class DiscInfo;
class OutputFormat;

// The settings a path is built from.
struct NamingSettings {
  QString outputFolder;
  bool subDirArtist = true;
  bool subDirAlbum = true;
  NamingPattern fileNameFormat = NamingPattern::TrackTitle;
  QString advancedTemplate;

  // The current values of the settings store; an empty output folder means the default.
  static NamingSettings Load();
};

// Text id of the message the caller shows when the output folder cannot be created:
// "Can't create directory".
constexpr int kCantCreateDirectoryTextId = 9200;

// A full output path, and whether its folder exists now. When it does not, folderError
// says why (the system's reason), and the caller reports the track as failed with message
// kCantCreateDirectoryTextId, the folder and that reason.
struct OutputPath {
  QString path;
  bool folderReady = false;
  QString folderError;
};

// Largest name component and whole path the file system takes, in UTF-8 bytes.
constexpr int kMaxComponentBytes = 255;
constexpr int kMaxPathBytes = 4095;

// The audio before track 1's INDEX 01 (a hidden track) is ripped as a track of its own when
// it is not digital silence: numbered 00, named and tagged "Hidden track", with the disc's
// artist.
constexpr int kHiddenTrackIndex = -1;
QString TrackTitle(const DiscInfo& info, int trackIndex);
QString TrackArtist(const DiscInfo& info, int trackIndex);

// The file name of a track without extension: one of the fixed patterns or the template
// with %T (title), %A (artist), %L (album), %Y (year) and %N (two-digit track number)
// replaced in that order.
QString TrackFileName(int trackIndex, const DiscInfo& info, const NamingSettings& settings);

// The output folder, then the artist and album folders when asked for, then the track's
// name and the format's extension. Every part taken from the disc information is made a
// safe name component, so a title never adds a folder or leaves the output folder; a name
// left empty becomes the track's two-digit number. The folder is created. An existing file
// of the same name will be overwritten.
OutputPath BuildTrackPath(int trackIndex, const OutputFormat& format, const DiscInfo& info,
                          const NamingSettings& settings);

// Within one rip each track gets a file of its own: the path, or when an earlier track of
// the run took it, the first numbered form of it ("NAME (2).EXT") that none took. The
// result is added to takenThisRun.
QString UniqueInRun(const QString& path, QSet<QString>& takenThisRun);

// The output folder, the volume label (or "IMAGE" when the disc has none) and the
// format's extension; when that file exists, a time stamp is added so the old image stays.
OutputPath BuildImagePath(const OutputFormat& format, const QString& volumeLabel,
                          const NamingSettings& settings,
                          const QDateTime& now = QDateTime::currentDateTime());

// One name component made safe: ':' '<' '>' '"' '/' '|' '?' '*' and control characters
// become '_', a name of dots only becomes "_". Folders also lose their trailing dots.
enum class ComponentKind { Folder, File };
QString CleanComponent(const QString& component, ComponentKind kind);

// Cuts the text in front of the extension (from the last '.') until the name takes at
// most maxBytes in UTF-8, never inside a character; the extension stays whole.
QString FitFileName(const QString& name, int maxBytes);

// Creates the folder of a path with its missing parents; true when it exists after, else
// false with the system's reason in reason.
bool CreateOutputDirectory(const QString& path, QString& reason);

// When something exists at path, inserts "_Tue_08Dec2026_041500" (English names, whatever
// the locale) in front of the extension, and a counter after it when that exists too.
void MakeUniquePath(QString& path, const QDateTime& now);
