// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event_filter.h"
#include "tables/event_table.h"

#include <QAbstractTableModel>

#include <deque>

namespace quorvik {

// The events of an EventTable that pass a filter, newest first, as a model
// for its view; never an empty row. It follows what the table tells its
// views: new rows at the top that pass appear, rows trimmed at the bottom or
// removed go, so that keeping up costs O(1) per event whatever the row count.
// A new filter or a cleared table runs the filter over every row again.
class FilteredTable : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit FilteredTable(EventTable *source, QObject *parent = nullptr);

    void setFilter(EventFilter filter);
    // The event in view row `row`; a null row outside.
    EventRow eventAt(int row) const;
    // The view row of `event`, or -1.
    int rowOf(const EventRow &event) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    // A passing event and its place in the table's rows, counted from the
    // bottom: `fromBottom - m_base`, so that a trim at the bottom moves every
    // place by changing m_base alone.
    struct Entry {
        EventRow event;
        qint64 fromBottom;
    };
    qint64 placeOf(const Entry &entry) const { return entry.fromBottom - m_base; }
    bool passes(const EventRow &event) const;
    EventRow sourceEvent(int row) const;
    void refilter();
    void sourceInserted(int first, int last);
    void sourceRemoved(int first, int last);
    void sourceChanged(const QList<int> &roles);

    EventTable *m_source;
    EventFilter m_filter;
    bool m_withLevel;
    std::deque<Entry> m_entries;
    qint64 m_base = 0;
    int m_sourceRows = 0; // the table's rows as its views know them
};

} // namespace quorvik
