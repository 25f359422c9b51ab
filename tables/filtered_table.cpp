// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tables/filtered_table.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace quorvik {

FilteredTable::FilteredTable(EventTable *source, QObject *parent)
    : QAbstractTableModel(parent), m_source(source),
      m_withLevel(source->messageColumn() == 5), // the full list shows the level
      m_nextSlice(new QTimer(this)) {
    m_nextSlice->setSingleShot(true);
    m_nextSlice->setInterval(0);
    connect(m_nextSlice, &QTimer::timeout, this, &FilteredTable::filterSome);
    // A shift is followed as its trim and its inserts, not as the row
    // changes and the layout change it is told to views as.
    connect(source, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) {
                if (!m_source->isShifting())
                    sourceInserted(first, last);
            });
    connect(source, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) {
                if (!m_source->isShifting())
                    sourceRemoved(first, last);
            });
    connect(source, &EventTable::rowsShifted, this, [this](int trimmed, int inserted) {
        if (trimmed > 0)
            sourceRemoved(m_sourceRows - trimmed, m_sourceRows - 1);
        sourceInserted(0, inserted - 1);
    });
    connect(source, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight,
                   const QList<int> &roles) {
                sourceChanged(topLeft.row(), bottomRight.row(), roles);
            });
    connect(source, &QAbstractItemModel::modelReset, this, &FilteredTable::refilter);
    connect(source, &QAbstractItemModel::layoutChanged, this, [this] {
        if (!m_source->isShifting())
            refilter();
    });
    refilter();
}

void FilteredTable::setFilter(EventFilter filter) {
    m_filter = std::move(filter);
    refilter();
}

bool FilteredTable::passes(const EventRow &event) const {
    return !event.isNull() &&
           m_filter.matches(event.level(), event.filterFields(), m_withLevel, event.source());
}

EventRow FilteredTable::sourceEvent(int row) const {
    return m_source->eventAt(m_source->gridRowForView(row));
}

void FilteredTable::refilter() {
    beginResetModel();
    m_entries.clear();
    m_base = 0;
    m_sourceRows = m_source->rowCount();
    m_scanNext = m_sourceRows - 1;
    m_scanning = true;
    endResetModel();
    filterSome();
}

// One slice of a re-filter: rows from the top down until sliceMs have
// passed (the clock read every few rows: one row may cost a long query's
// every word), their passing ones added below those found before.
void FilteredTable::filterSome() {
    QElapsedTimer clock;
    clock.start();
    std::vector<Entry> found;
    for (int tested = 1; m_scanNext - m_base >= 0; ++tested) {
        const qint64 place = m_scanNext - m_base;
        EventRow event = sourceEvent(int(m_sourceRows - 1 - place));
        if (passes(event))
            found.push_back({std::move(event), m_scanNext});
        --m_scanNext;
        if (tested % 8 == 0 && clock.elapsed() >= sliceMs)
            break;
    }
    if (!found.empty()) {
        const int first = rowCount();
        beginInsertRows({}, first, first + int(found.size()) - 1);
        m_entries.insert(m_entries.end(), std::make_move_iterator(found.begin()),
                         std::make_move_iterator(found.end()));
        endInsertRows();
    }
    m_scanning = m_scanNext - m_base >= 0;
    if (m_scanning)
        m_nextSlice->start();
    else
        m_nextSlice->stop();
    emit filterProgressed();
}

EventRow FilteredTable::eventAt(int row) const {
    return row >= 0 && row < rowCount() ? m_entries[std::size_t(row)].event : EventRow();
}

int FilteredTable::rowOf(const EventRow &event) const {
    for (std::size_t k = 0; k < m_entries.size(); ++k)
        if (m_entries[k].event.sameAs(event))
            return int(k);
    return -1;
}

void FilteredTable::sourceInserted(int first, int last) {
    const int count = last - first + 1;
    const int oldRows = m_sourceRows;
    m_sourceRows += count;
    if (first == 0) {
        // New events at the top: the places of the others stay.
        std::vector<Entry> added;
        for (int row = 0; row < count; ++row) {
            EventRow event = sourceEvent(row);
            if (passes(event))
                added.push_back({std::move(event), m_base + m_sourceRows - 1 - row});
        }
        if (added.empty())
            return;
        beginInsertRows({}, 0, int(added.size()) - 1);
        m_entries.insert(m_entries.begin(), added.begin(), added.end());
        endInsertRows();
    } else if (first == oldRows) {
        // Rows added at the bottom (empty ones: nothing passes) lift the others.
        m_base -= count;
    } else {
        refilter();
    }
}

void FilteredTable::sourceRemoved(int first, int last) {
    const int count = last - first + 1;
    const qint64 low = m_sourceRows - 1 - last, high = m_sourceRows - 1 - first;
    m_sourceRows -= count;
    // Entries run from high places to low, so the removed ones are one block.
    auto from = m_entries.end(), to = m_entries.end();
    if (low == 0) {
        // A trim at the bottom: every place above moves down at once, and
        // the block is at the back.
        m_base += count;
        while (from != m_entries.begin() && placeOf(*(from - 1)) < 0)
            --from;
    } else {
        // The rows above the removed ones move down, the next one to test
        // with them.
        const qint64 next = m_scanNext - m_base;
        if (next > high)
            m_scanNext -= count;
        else if (next >= low)
            m_scanNext = m_base + low - 1;
        from = m_entries.begin();
        while (from != m_entries.end() && placeOf(*from) > high)
            (from++)->fromBottom -= count;
        to = from;
        while (to != m_entries.end() && placeOf(*to) >= low)
            ++to;
    }
    if (from == to)
        return;
    const int row = int(from - m_entries.begin());
    beginRemoveRows({}, row, row + int(to - from) - 1);
    m_entries.erase(from, to);
    endRemoveRows();
}

void FilteredTable::sourceChanged(int first, int last, const QList<int> &roles) {
    if (roles == QList<int>{Qt::BackgroundRole}) {
        if (!m_entries.empty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), roles);
        return;
    }
    if (roles.isEmpty()) {
        refilter(); // emptied rows (a clear)
        return;
    }
    for (int row = first; row <= last; ++row)
        sourceRowChanged(row);
}

void FilteredTable::sourceRowChanged(int row) {
    const qint64 place = m_sourceRows - 1 - row;
    if (m_scanning && place <= m_scanNext - m_base)
        return; // not tested yet: the scan will
    // Entries run from high places to low.
    const auto at = std::partition_point(m_entries.begin(), m_entries.end(),
                                         [&](const Entry &e) { return placeOf(e) > place; });
    const int shown = int(at - m_entries.begin());
    const bool listed = at != m_entries.end() && placeOf(*at) == place;
    EventRow event = sourceEvent(row);
    const bool pass = passes(event);
    if (listed && pass) {
        emit dataChanged(index(shown, 0), index(shown, columnCount() - 1));
    } else if (listed) {
        beginRemoveRows({}, shown, shown);
        m_entries.erase(at);
        endRemoveRows();
    } else if (pass) {
        beginInsertRows({}, shown, shown);
        m_entries.insert(at, {std::move(event), place + m_base});
        endInsertRows();
    }
}

int FilteredTable::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_entries.size());
}

int FilteredTable::columnCount(const QModelIndex &parent) const {
    return m_source->columnCount(parent);
}

QVariant FilteredTable::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    return m_source->eventData(m_entries[std::size_t(index.row())].event, index.column(), role);
}

QVariant FilteredTable::headerData(int section, Qt::Orientation orientation, int role) const {
    return m_source->headerData(section, orientation, role);
}

} // namespace quorvik
