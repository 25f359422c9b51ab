// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the road and a history load hand the window: events and rows into the
// level tables and the full list, with the row limit's trim, the alarms'
// folds, clears and acknowledgements, and a flood's events waiting for the
// refresh.

#include "main_window/main_window.h"

namespace quorvik {

void MainWindow::insertTop(EventGrid *grid, const EventRow &row) {
    EventTable *table = grid->table();
    if (table->rows() > m_settings.maxLines)
        table->setRows(m_settings.maxLines - 1);
    table->insertTop(row);
}

void MainWindow::takeHistoryRows(const std::vector<EventRow> &rows) {
    if (rows.empty())
        return;
    BulkRows bulk;
    for (const EventRow &row : rows)
        bulk.levels[std::size_t(row.level().index)].rows.push_back(row);
    // Of the full list only the rows that can stay are handed on.
    const std::size_t staying = std::min(rows.size(), EventTable::rowsStaying(m_settings.maxLines));
    bulk.fullList.rows.assign(rows.end() - qsizetype(staying), rows.end());
    bulk.fullList.before = rows.size() - staying;
    placeRows(bulk);
    finishBatch();
}

void MainWindow::take(const EventBatch &batch) {
    // Tables that keep more rows than waiting may hold gain nothing by it.
    if (m_refreshPace.flooding() && std::size_t(m_settings.maxLines) < WaitingEvents::kMost)
        if (const std::optional<int> shown = m_waiting.add(*batch, m_settings.maxLines)) {
            m_refreshPace.shown(*shown);
            if (m_waiting.full())
                settleWaiting();
            scheduleRefresh();
            return;
        }
    settleWaiting(); // what came first goes in first
    const Event *last = nullptr;
    for (const Event &event : *batch) {
        m_alarms->clear(event); // also by an event the tables don't show
        if (event.acknowledges) // here or at another console: its rows show it
            markAcknowledged(event);
        if (!event.actions.shown) // hidden by a rule: in the log, not in the tables
            continue;
        last = &event;
        const int level = event.level->index;
        m_pendingTab = level;
        m_newInLevel.set(std::size_t(level));
        m_refreshPace.shown();
        if (m_alarms->fold(event))
            continue;
        const EventRow row(event);
        insertTop(m_ui.levelGrids[std::size_t(level)], row);
        insertTop(m_ui.fullList, row);
        m_alarms->remember(event, row);
        m_sizer->noteRow(level, row);
    }
    if (last)
        showNewestMessage(EventRow(*last));
    finishBatch();
}

// The waiting events into the tables, as taking them one batch after
// another would have left the tables.
void MainWindow::settleWaiting() {
    if (m_waiting.empty())
        return;
    const BulkRows rows = m_waiting.take(m_settings.maxLines);
    placeRows(rows);
    for (int level = 0; level < kLevelCount; ++level)
        for (const EventRow &row : rows.levels[std::size_t(level)].rows)
            m_sizer->noteRow(level, row);
    m_sizer->growColumns();
}

// Rows into each table in one go, as one insertTop after another would
// leave them; the newest row's tab and message are shown at the refresh.
void MainWindow::placeRows(const BulkRows &rows) {
    const int limit = m_settings.maxLines;
    for (std::size_t level = 0; level < kLevelCount; ++level) {
        const TableRows &table = rows.levels[level];
        m_ui.levelGrids[level]->table()->insertTopBulk(table.rows, limit, table.before);
        if (!table.rows.empty())
            m_newInLevel.set(level);
    }
    const TableRows &list = rows.fullList;
    m_ui.fullList->table()->insertTopBulk(list.rows, limit, list.before);
    if (!list.rows.empty()) {
        m_pendingTab = list.rows.back().level().index;
        showNewestMessage(list.rows.back());
    }
}

// The message line shows the newest event's message at the next refresh.
void MainWindow::showNewestMessage(const EventRow &newest) {
    m_messageLineTag = QStringLiteral("Actual Message:") + newest.cellText(EventRow::kCells - 1);
    m_messageLinePending = true;
}

} // namespace quorvik
