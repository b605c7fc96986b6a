#pragma once
#include <QList>
#include <QTableWidget>

#include "app/main_controller.h"

// The track list: five columns (number with its check mark, artist, title, size, time),
// grid lines, whole rows selected. A click in the number column or the space key toggles a
// row's check mark; a double click asks to play the row; the playing row has its own colours.
class TrackList : public QTableWidget {
  Q_OBJECT
 public:
  explicit TrackList(QWidget* parent = nullptr);

  // New rows: no checks, nothing playing.
  void SetRows(const QList<TrackRow>& rows);
  // The same rows with new artist and title texts; the checks stay.
  void UpdateTitles(const QList<TrackRow>& rows);
  bool IsChecked(int row) const;
  void SetChecked(int row, bool checked);
  // The controller's check marks, row by row.
  void ShowChecks(const TrackSelection& selection);
  bool IsDataRow(int row) const;
  int PlayingRow() const { return playingRow_; }
  void SetPlayingRow(int row);

 signals:
  void RowActivated(int row);
  void CheckedChanged();
  // The user clicked a row's check mark (or pressed space on it): the row's wanted state.
  void CheckClicked(int row, bool checked);
  void HeaderMenuRequested(const QPoint& globalPos);
  // A click anywhere in the list (the output-folder drop-down closes).
  void Clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ToggleRow(int row);
  void PaintRow(int row);
  void FitColumns();

  QList<bool> checked_;
  QList<bool> data_;
  int playingRow_ = -1;
};
