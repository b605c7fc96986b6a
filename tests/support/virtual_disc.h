#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

class CdDevice;

// One audio track of a test disc and its CD-TEXT (empty texts are left out of the sheet).
struct TestTrack {
  TestTrack(int sectorCount, const QString& trackTitle = {}, const QString& trackPerformer = {})
      : sectors(sectorCount), title(trackTitle), performer(trackPerformer) {}
  int sectors;
  QString title;
  QString performer;
};

// An audio disc image made by the test: one BIN file of generated audio (every sample
// value occurs, no two sectors alike) and a CUE sheet with the disc's and the tracks'
// CD-TEXT, in a temporary folder.
class TestDisc {
 public:
  explicit TestDisc(const QList<TestTrack>& tracks, const QString& title = {},
                    const QString& performer = {});

  QString CuePath() const { return dir_.filePath("disc.cue"); }
  // First sector of a track (0-based index) and its sectors exactly as the image holds them.
  int TrackStart(int index) const;
  QByteArray TrackAudio(int index) const;

  // Loads the disc into the virtual drive vcd0 and makes that drive the current one.
  // Returns the current drive, or null with a test failure recorded.
  CdDevice* Insert() const;

 private:
  QTemporaryDir dir_;
  QList<TestTrack> tracks_;
  QByteArray image_;
};
