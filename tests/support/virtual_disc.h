#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

class CdDevice;

// Disc images the tests make for the virtual drive: image files and CUE sheets in a
// temporary folder, with contents the tests know byte for byte.

// Sector contents that differ by sector and by `seed`, for checking reads byte for byte.
QByteArray PatternSectors(int seed, int count, int sectorSize = 2352);

// A temporary folder for image files and CUE sheets.
class ImageFolder {
 public:
  QString Dir() const { return dir_.path(); }
  QString Path(const QString& name) const { return dir_.filePath(name); }
  // Writes the file (its folder made when missing); returns its path.
  QString Write(const QString& name, const QByteArray& bytes) const;

 private:
  QTemporaryDir dir_;
};

// One audio track of a test disc and its CD-TEXT (empty texts are left out of the sheet).
struct TestTrack {
  TestTrack(int sectorCount, const QString& trackTitle = {}, const QString& trackPerformer = {})
      : sectors(sectorCount), title(trackTitle), performer(trackPerformer) {}
  int sectors;  // from INDEX 01 on
  QString title;
  QString performer;
  // Sectors of the file ahead of INDEX 01 (INDEX 00): generated audio, or digital silence.
  int pregap = 0;
  bool silentPregap = false;
};

// An audio disc image: one BIN file of generated audio (every sample value occurs, no two
// sectors alike) and a CUE sheet with the disc's and the tracks' CD-TEXT.
class TestDisc {
 public:
  explicit TestDisc(const QList<TestTrack>& tracks, const QString& title = {},
                    const QString& performer = {});

  QString CuePath() const { return folder_.Path("disc.cue"); }
  // First sector of a track (0-based index, its INDEX 01) and its sectors from there exactly
  // as the image holds them; and those of its pregap.
  int TrackStart(int index) const;
  QByteArray TrackAudio(int index) const;
  QByteArray PregapAudio(int index) const;

  // Loads the disc into the virtual drive vcd0 and makes that drive the current one.
  // Returns the current drive, or null with a test failure recorded.
  CdDevice* Insert() const;
  // Insert, for a test that reads audio: the virtual drives listed, the configured transport
  // taken first, and the table of contents read (the reads' lead-out bound needs it).
  CdDevice* InsertForReading() const;

 private:
  ImageFolder folder_;
  QList<TestTrack> tracks_;
  QByteArray image_;
};

// Loads a CUE sheet into the virtual drive vcd0 and makes that drive the current one.
// Returns the current drive, or null with a test failure recorded.
CdDevice* InsertCue(const QString& cuePath);

// A track of any mode for DiscImages, in a BIN file of its own.
struct TrackSpec {
  QString mode;  // "AUDIO", "MODE1/2048", "MODE1/2352", "MODE2/2352"
  int sectors = 0;
  QString title = {};
  QString performer = {};
  QString volumeLabel = {};  // data tracks: an ISO 9660 primary volume descriptor at sector 16
};

// Bytes a sector of the mode takes in its BIN file.
int StoredSectorBytes(const QString& mode);

// Disc images of tracks of any mode, one BIN file of PatternSectors per track.
class DiscImages {
 public:
  // Writes the BIN files and the CUE sheet; returns the sheet's path.
  QString Write(const QList<TrackSpec>& tracks, const QString& discTitle = {},
                const QString& discPerformer = {});
  // The bytes of track i's BIN file as written.
  const QByteArray& TrackBytes(int i) const { return bins_[i]; }
  QString Dir() const { return folder_.Dir(); }

 private:
  ImageFolder folder_;
  QList<QByteArray> bins_;
};
