#pragma once
#include <QList>
#include <QString>
#include <cstdint>

// One row of the track list as the front end draws it.
struct TrackRow {
  int number = 0;
  QString artist;
  QString title;  // "Data track" for a data track
  QString size;   // MiB, "%2.2f"
  QString time;   // "%02d:%02d"
  bool data = false;
  int64_t bytes = 0;
};

// The check marks of the track list: which tracks the next rip takes. The controller owns
// it; front ends show it and send the user's clicks. A data row may be ticked, but it is
// never ripped and never counts.
class TrackSelection {
 public:
  // New rows, every check cleared.
  void Reset(const QList<TrackRow>& rows);

  int Count() const { return int(rows_.size()); }
  bool IsChecked(int row) const;
  // A row outside the list changes nothing.
  void SetChecked(int row, bool checked);
  void SelectAll();
  void Clear();
  void Invert();

  int CheckedCount() const;
  // The 0-based indices of the ticked audio tracks, in disc order.
  QList<int> CheckedAudioTracks() const;
  int64_t CheckedAudioBytes() const;

 private:
  struct Entry {
    bool checked = false;
    bool data = false;
    int64_t bytes = 0;
  };
  QList<Entry> rows_;
};
