// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event_filter.h"
#include "tables/event_table.h"

#include <QAbstractTableModel>

#include <deque>

class QTimer;

namespace quorvik {

// The events of an EventTable that pass a filter, newest first, as a model
// for its view; never an empty row. It follows what the table tells its
// views: new rows at the top that pass appear, rows trimmed at the bottom or
// removed go, so that keeping up costs O(1) per event whatever the row count.
// A row changed in place (a fold gives it a new date) is tested again: it
// changes where it is, appears or goes.
//
// A new filter or a cleared table runs the filter over every row again, top
// down, in slices of about sliceMs (the first at once) with the event loop
// between them: a long query over a large table never holds the window. The
// rows found so far are shown meanwhile, and new or removed rows are
// followed as at any other time, so that when the last slice is done the
// model holds exactly the events that pass.
class FilteredTable : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit FilteredTable(EventTable *source, QObject *parent = nullptr);

    void setFilter(EventFilter filter);
    // Whether rows still wait to be tested against the filter.
    bool isFiltering() const { return m_scanning; }
    int sliceMs = 20;
    // The event in view row `row`; a null row outside.
    EventRow eventAt(int row) const;
    // The view row of `event`, or -1.
    int rowOf(const EventRow &event) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    // A slice of a re-filter added its rows; the last one has isFiltering() false.
    void filterProgressed();

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
    void filterSome();
    void sourceInserted(int first, int last);
    void sourceRemoved(int first, int last);
    void sourceChanged(int first, int last, const QList<int> &roles);
    void sourceRowChanged(int row);

    EventTable *m_source;
    EventFilter m_filter;
    bool m_withLevel;
    std::deque<Entry> m_entries;
    qint64 m_base = 0;
    int m_sourceRows = 0; // the table's rows as its views know them
    // While re-filtering: the next row to test, counted as Entry::fromBottom;
    // the rows above it are done.
    bool m_scanning = false;
    qint64 m_scanNext = 0;
    QTimer *m_nextSlice;
};

} // namespace quorvik
