#include "ui/track_list.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include "app/window_layout.h"
#include "ui/ui_icons.h"

namespace {
const QColor kPlayingText(0, 0, 200);
const QColor kPlayingBackground(200, 200, 210);
enum Column { Number, Artist, Title, Size, Time, ColumnCount };
}  // namespace

TrackList::TrackList(QWidget* parent) : QTableWidget(0, ColumnCount, parent) {
  setObjectName("id135");
  // The column headers are fixed English texts.
  setHorizontalHeaderLabels({"#", "Artist", "Title", "Size (Mb)", "Time"});
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setContextMenuPolicy(Qt::CustomContextMenu);
  setWordWrap(false);
  setAlternatingRowColors(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setSectionsClickable(true);
  setIconSize(QSize(12, 12));
  // The check mark and "%02d" share the 40-pixel column: no room for the usual padding.
  setStyleSheet("QTableView::item { padding: 0px 1px; }");
  setTextElideMode(Qt::ElideNone);
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int) { emit HeaderMenuRequested(QCursor::pos()); });
}

void TrackList::SetRows(const QList<TrackRow>& rows) {
  setRowCount(0);
  playingRow_ = -1;
  checked_ = QList<bool>(rows.size(), false);
  data_.clear();
  setRowCount(int(rows.size()));
  for (int i = 0; i < rows.size(); ++i) {
    const TrackRow& track = rows[i];
    data_.append(track.data);
    setItem(i, Number, new QTableWidgetItem(QString::asprintf("%02d", track.number)));
    setItem(i, Artist, new QTableWidgetItem(track.artist));
    setItem(i, Title, new QTableWidgetItem(track.title));
    setItem(i, Size, new QTableWidgetItem(track.size));
    setItem(i, Time, new QTableWidgetItem(track.time));
    item(i, Size)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    item(i, Time)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    PaintRow(i);
  }
  FitColumns();
  emit CheckedChanged();
}

void TrackList::UpdateTitles(const QList<TrackRow>& rows) {
  for (int i = 0; i < rows.size() && i < rowCount(); ++i) {
    item(i, Artist)->setText(rows[i].artist);
    item(i, Title)->setText(rows[i].title);
  }
}

bool TrackList::IsChecked(int row) const { return checked_.value(row, false); }

void TrackList::SetChecked(int row, bool checked) {
  if (row < 0 || row >= checked_.size() || checked_[row] == checked) return;
  checked_[row] = checked;
  PaintRow(row);
  emit CheckedChanged();
}

bool TrackList::IsDataRow(int row) const { return data_.value(row, false); }

void TrackList::SetPlayingRow(int row) {
  const int before = playingRow_;
  playingRow_ = row >= 0 && row < rowCount() ? row : -1;
  if (before >= 0 && before < rowCount()) PaintRow(before);
  if (playingRow_ >= 0) PaintRow(playingRow_);
}

void TrackList::ShowChecks(const TrackSelection& selection) {
  for (int i = 0; i < rowCount(); ++i) SetChecked(i, selection.IsChecked(i));
}

void TrackList::ToggleRow(int row) { emit CheckClicked(row, !IsChecked(row)); }

void TrackList::PaintRow(int row) {
  static const QIcon on = KorvaneIcon("check_on");
  static const QIcon off = KorvaneIcon("check_off");
  if (QTableWidgetItem* number = item(row, Number)) number->setIcon(checked_.value(row) ? on : off);
  const bool playing = row == playingRow_;
  for (int column = 0; column < ColumnCount; ++column) {
    QTableWidgetItem* cell = item(row, column);
    if (!cell) continue;
    cell->setForeground(playing ? QBrush(kPlayingText) : QBrush());
    cell->setBackground(playing ? QBrush(kPlayingBackground) : QBrush());
  }
}

void TrackList::FitColumns() {
  const std::array<int, 5> widths = WindowLayout::ColumnWidths(viewport()->width());
  for (int column = 0; column < ColumnCount; ++column) setColumnWidth(column, widths[column]);
}

void TrackList::mousePressEvent(QMouseEvent* event) {
  emit Clicked();
  QTableWidget::mousePressEvent(event);
  const int row = rowAt(event->position().toPoint().y());
  if (event->button() == Qt::LeftButton && row >= 0 &&
      event->position().x() < WindowLayout::kCheckColumnWidth) {
    ToggleRow(row);
  }
}

void TrackList::mouseDoubleClickEvent(QMouseEvent* event) {
  const int row = rowAt(event->position().toPoint().y());
  if (event->button() == Qt::LeftButton && row >= 0 && !IsDataRow(row)) emit RowActivated(row);
}

void TrackList::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && currentRow() >= 0) {
    ToggleRow(currentRow());
    return;
  }
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentRow() >= 0) {
    if (!IsDataRow(currentRow())) emit RowActivated(currentRow());
    return;
  }
  QTableWidget::keyPressEvent(event);
}

void TrackList::resizeEvent(QResizeEvent* event) {
  QTableWidget::resizeEvent(event);
  FitColumns();
}
