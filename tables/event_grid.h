// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event_filter.h"
#include "tables/event_table.h"

#include <QTableView>

#include <vector>

namespace quorvik {

class FilteredTable;

// The view of one EventTable, with the grid control's operations the window
// needs: column widths and row heights in twips, row count, and the pointer
// position for the hover. Every row is as tall as the header row. With a
// filter it shows only the events that pass (FilteredTable); rows are then
// numbered as the view shows them, so "view row" below is what the operator
// sees, with or without a filter.
//
// The current row is the event the operator chose: once that event leaves
// the table (trimmed at the bottom, deleted), nothing is current, so that no
// other event takes its place for Delete, Enter or the view's scrolling. New
// events at the top leave the view where it is: on the newest events while
// it shows the top, else on the events it showed.
class EventGrid : public QTableView {
    Q_OBJECT

public:
    EventGrid(EventTable::Kind kind, QWidget *parent = nullptr);

    EventTable *table() const { return m_table; }

    int colWidth(int column) const { return m_colWidths[std::size_t(column)]; }
    void setColWidth(int column, int twips);
    int rowHeightTwips() const { return m_rowHeight; }
    void setRowHeightTwips(int twips);

    // The view row at `y` pixels from the table's top edge; -1 on the header
    // row and below the last row.
    int viewRowAt(int y) const;

    // Shows only the events that pass `filter`; an empty one shows every row.
    // A large table is filtered in slices of about filterSliceMs, the first
    // at once (see FilteredTable); filterProgressed() follows each.
    void setFilter(EventFilter filter);
    bool isFiltered() const { return m_filtered != nullptr; }
    // Whether rows still wait to be tested against the filter.
    bool isFiltering() const;
    int filterSliceMs = 20;
    // The events shown (every event of the table when not filtered).
    int shownEvents() const;
    // The event in view row `row`; a null row for an empty or missing one.
    EventRow eventAtViewRow(int row) const;
    // The view row that shows `event`, or -1.
    int viewRowOf(const EventRow &event) const;
    // The mark of view row `row` (see EventTable::RowMark).
    EventTable::RowMark markViewRow(int row) const;
    // The events of the selected rows, in the order shown.
    std::vector<EventRow> selectedEvents() const;

    // Scrolls up or down so that `index`'s row is in view; never sideways:
    // the columns the operator looks at stay where they are.
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;

signals:
    // The pointer moved over the table; y in pixels from its top edge.
    void pointerMoved(int y);
    // Enter or Delete on view row `row` (the current one).
    void rowEntered(int row);
    void deletePressed(int row);
    // Copy (Ctrl+C) with the table focused.
    void copyPressed();
    // The current row changed; `event` is the one it holds (a null row: none).
    void currentEventChanged(const EventRow &event);
    // A slice of filtering is done: the events shown have changed; once
    // isFiltering() is false they are exactly the events that pass.
    void filterProgressed();

protected:
    bool viewportEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int first, int last) override;
    void rowsInserted(const QModelIndex &parent, int first, int last) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void showModel(QAbstractItemModel *model);
    // Scrolled down, the view keeps its first row: it moves down by the
    // `newRows` inserted above it.
    void keepFirstRow(int newRows);

    EventTable *m_table;
    FilteredTable *m_filtered = nullptr;
    std::vector<int> m_colWidths;
    int m_rowHeight = 240;
};

} // namespace quorvik
