// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/level.h"
#include "tables/event_row.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QImage>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <optional>
#include <unordered_set>
#include <vector>

namespace quorvik {

// An acknowledged row: its text dimmed to this colour, and a tick before its
// first cell.
QColor acknowledgedColour();
const QImage &acknowledgedTick();

// One grid of events: a fixed header row 0 and data rows from 1, the newest
// in row 1. Rows are numbered like the grid control's, header included; a
// data row may be empty (the rows that fill a table to its bottom edge).
//
// Inserting at the top and trimming at the bottom cost O(1) whatever the
// row count. The view learns of such changes in one batch when control
// returns to the event loop, not once per event.
class EventTable : public QAbstractTableModel {
    Q_OBJECT

public:
    enum class Kind { LevelTable, FullList };

    explicit EventTable(Kind kind, QObject *parent = nullptr);
    ~EventTable() override;

    // The column that holds the message: 4 in a level table, 5 in the full list.
    int messageColumn() const { return m_kind == Kind::FullList ? 5 : 4; }

    // Row count, header row included.
    int rows() const { return static_cast<int>(m_slots.size()) + 1; }
    // The filled rows: events, not the empty rows below them.
    int eventCount() const { return m_events; }
    // New rows are empty and go to the bottom; fewer rows drop the oldest.
    // At least the header and one data row remain.
    void setRows(int rows);

    // A new row 1.
    void insertTop(const EventRow &row);
    // `rows`, oldest first, as one insertTop after another would leave the
    // table with the intake's trim before each (a table of more than
    // `rowLimit` rows is cut to rowLimit - 1 first), in one go: only the rows
    // that stay are placed. `before` more rows went in ahead of `rows`
    // without being built: the caller hands in at least the newest
    // rowsStaying(rowLimit) whenever it skips any, so none of those would stay.
    void insertTopBulk(const std::vector<EventRow> &rows, int rowLimit, std::size_t before = 0);
    // The most data rows a table keeps after an insert under `rowLimit`.
    static std::size_t rowsStaying(int rowLimit) { return std::size_t(std::max(rowLimit, 2)) + 1; }
    // Removes data row `row` (1..rows()-1); the rows below move up.
    void removeRow(int row);
    // Every data row becomes empty and uncoloured; the row count stays.
    void clearAll();

    // The grid row of the event a view shows in its row `viewRow`.
    int gridRowForView(int viewRow) const { return viewRow + m_pendingTop + 1; }
    // The grid row that holds `row`, or -1.
    int findRow(const EventRow &row) const;

    // A row as the operator chose it, to be found again after events have
    // arrived: a filled row by its event, an empty row by its place, counted
    // from the inserts at the top since. An empty row is lost once any row
    // was removed or trimmed or the table cleared: then nothing tells it apart.
    struct RowMark {
        EventRow event;
        int row = -1;
        quint64 inserts = 0;
        quint64 removals = 0;
    };
    RowMark markRow(int row) const;
    // The mark of one event, wherever it is.
    RowMark markEvent(const EventRow &event) const { return {event, -1, m_inserts, m_removals}; }
    // The grid row the mark names now, or -1 when it is gone.
    int findRow(const RowMark &mark) const;
    // Row `row` (>= 1); a null row for an empty or missing one.
    EventRow eventAt(int row) const;
    // `row` changed in place (EventRow::fold, clear, acknowledge): the views
    // are told with the next flush, once however often it changed, if the
    // table still holds it then.
    void rowChanged(const EventRow &row);
    // Acknowledges data row `row` (see EventRow::acknowledge); the views
    // are told at once. The same event in the other table that holds it
    // (its level table, the full list) needs rowChanged() there.
    void acknowledge(int row, const QString &who, const QString &when, const QString &note);
    // The grid rows of the events with the level, host, application, object
    // and message of `event`, and its date as their first or newest date:
    // where an acknowledgement that names the event finds it. Top down.
    std::vector<int> rowsOf(const Event &event) const;

    // Cell text as shown; column 0 of the full list is the level name.
    QString cellText(int row, int column) const;
    // What a view shows of `event` in `column`: its text and background; the
    // tool tip of a folded, cleared or acknowledged one; a cleared one in
    // grey, struck through.
    QVariant eventData(const EventRow &event, int column, int role) const;
    // The full list colours each event's row with its level's colour; the
    // level tables and empty rows keep the ordinary background.
    std::optional<Colour> background(int row) const;
    void setLevelColours(const LevelColours &colours);

    // Off: the views learn of top inserts and bottom trims only at
    // flushChanges(), which the owner then calls on its own schedule.
    void setAutoFlush(bool on) { m_autoFlush = on; }

    QString headerText(int column) const { return m_headers.value(column); }

    // Tells the views about pending top inserts and bottom trims now. New
    // rows reach them as rowsShifted(): a layout change that moves their
    // rows down (persistent indexes follow), with only the difference in the
    // row count inserted or removed at the bottom, never at the top.
    void flushChanges();
    // True while flushChanges() tells the views of a shift, until rowsShifted().
    bool isShifting() const { return m_shifting; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    // `inserted` new rows at the top, `trimmed` (may be 0) old ones gone at
    // the bottom, told to the views as a layout change (see flushChanges()).
    void rowsShifted(int trimmed, int inserted);

private:
    using Slot = EventRow;
    const Slot *slotAt(int row) const;
    QString slotText(const Slot &slot, int column) const;
    std::optional<Colour> slotBackground(const Slot &slot) const;
    void scheduleFlush();
    void shiftRows(int trimmed);
    void dropSlots(std::size_t from);
    void tellChangedRows();

    Kind m_kind;
    QStringList m_headers;
    std::deque<Slot> m_slots;
    // Data rows the views know of, and rows inserted at the top since; the
    // known rows that are still kept follow the new ones.
    int m_shownRows = 0;
    int m_pendingTop = 0;
    // Counts for RowMark: events inserted at the top; removals, trims, clears.
    quint64 m_inserts = 0;
    quint64 m_removals = 0;
    int m_events = 0;
    // The rows changed in place since the last flush.
    std::unordered_set<const void *> m_changed;
    QTimer m_flushTimer;
    bool m_autoFlush = true;
    bool m_shifting = false;
    LevelColours m_levelColours = defaultLevelColours();
};

} // namespace quorvik
