#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

// CUE/BIN disc images written by the tests, one BIN file per track, with known contents.
struct TrackSpec {
  QString mode;  // "AUDIO", "MODE1/2048", "MODE1/2352", "MODE2/2352"
  int sectors = 0;
  QString title = {};
  QString performer = {};
  QString volumeLabel = {};  // data tracks: an ISO 9660 primary volume descriptor at sector 16
};

class DiscImages {
 public:
  // Writes the BIN files and the CUE sheet; returns the sheet's path.
  QString Write(const QList<TrackSpec>& tracks, const QString& discTitle = {},
                const QString& discPerformer = {});
  // The bytes of track i's BIN file as written.
  const QByteArray& TrackBytes(int i) const { return bins_[i]; }
  QString Dir() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
  QList<QByteArray> bins_;
};

int StoredSectorBytes(const QString& mode);
