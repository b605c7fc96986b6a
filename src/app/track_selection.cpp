#include "app/track_selection.h"

void TrackSelection::Reset(const QList<TrackRow>& rows) {
  rows_.clear();
  for (const TrackRow& row : rows) rows_.append({false, row.data, row.bytes});
}

bool TrackSelection::IsChecked(int row) const {
  return row >= 0 && row < rows_.size() && rows_[row].checked;
}

void TrackSelection::SetChecked(int row, bool checked) {
  if (row >= 0 && row < rows_.size()) rows_[row].checked = checked;
}

void TrackSelection::SelectAll() {
  for (Entry& entry : rows_) entry.checked = true;
}

void TrackSelection::Clear() {
  for (Entry& entry : rows_) entry.checked = false;
}

void TrackSelection::Invert() {
  for (Entry& entry : rows_) entry.checked = !entry.checked;
}

int TrackSelection::CheckedCount() const {
  int count = 0;
  for (const Entry& entry : rows_) count += entry.checked ? 1 : 0;
  return count;
}

QList<int> TrackSelection::CheckedAudioTracks() const {
  QList<int> tracks;
  for (int i = 0; i < rows_.size(); ++i) {
    if (rows_[i].checked && !rows_[i].data) tracks.append(i);
  }
  return tracks;
}

int64_t TrackSelection::CheckedAudioBytes() const {
  int64_t total = 0;
  for (const Entry& entry : rows_) {
    if (entry.checked && !entry.data) total += entry.bytes;
  }
  return total;
}
