// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tables/event_grid.h"

#include "core/units.h"
#include "tables/filtered_table.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace quorvik {

namespace {
constexpr int kDefaultColumnWidth = 1000; // twips
}

EventGrid::EventGrid(EventTable::Kind kind, QWidget *parent)
    : QTableView(parent), m_table(new EventTable(kind, this)) {
    setModel(m_table);
    // A full table's new rows come as a shift, not as rows inserted.
    connect(m_table, &EventTable::rowsShifted, this, [this](int, int inserted) {
        if (model() == m_table)
            keepFirstRow(inserted);
    });
    setMouseTracking(true);
    setWordWrap(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setTabKeyNavigation(false); // Tab goes on to the next control
    setContextMenuPolicy(Qt::CustomContextMenu);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setMinimumSectionSize(1);
    // The header row is a scroll area of its own: its pointer movement goes
    // to its viewport, not to the header widget.
    horizontalHeader()->viewport()->setMouseTracking(true);
    horizontalHeader()->viewport()->installEventFilter(this);
    m_colWidths.assign(std::size_t(m_table->columnCount()), kDefaultColumnWidth);
    for (int c = 0; c < m_table->columnCount(); ++c)
        setColumnWidth(c, toPixels(kDefaultColumnWidth));
    setRowHeightTwips(m_rowHeight);
}

void EventGrid::setColWidth(int column, int twips) {
    if (column < 0 || column >= int(m_colWidths.size()))
        return;
    m_colWidths[std::size_t(column)] = twips;
    setColumnWidth(column, std::max(1, toPixels(twips)));
}

void EventGrid::setRowHeightTwips(int twips) {
    m_rowHeight = twips;
    const int pixels = std::max(1, toPixels(twips));
    verticalHeader()->setDefaultSectionSize(pixels);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setFixedHeight(pixels);
}

int EventGrid::viewRowAt(int y) const {
    const int header = viewport()->y();
    return y < header ? -1 : rowAt(y - header);
}

void EventGrid::showModel(QAbstractItemModel *model) {
    // A new model gets a new selection model and fresh header sections.
    QItemSelectionModel *old = selectionModel();
    setModel(model);
    delete old;
    for (int c = 0; c < int(m_colWidths.size()); ++c)
        setColumnWidth(c, std::max(1, toPixels(m_colWidths[std::size_t(c)])));
}

void EventGrid::setFilter(EventFilter filter) {
    if (filter.isEmpty()) {
        if (!m_filtered)
            return;
        showModel(m_table);
        delete std::exchange(m_filtered, nullptr);
        return;
    }
    if (m_filtered) {
        m_filtered->sliceMs = filterSliceMs;
        m_filtered->setFilter(std::move(filter));
        return;
    }
    m_filtered = new FilteredTable(m_table, this);
    m_filtered->sliceMs = filterSliceMs;
    connect(m_filtered, &FilteredTable::filterProgressed, this, &EventGrid::filterProgressed);
    m_filtered->setFilter(std::move(filter));
    showModel(m_filtered);
}

bool EventGrid::isFiltering() const {
    return m_filtered && m_filtered->isFiltering();
}

int EventGrid::shownEvents() const {
    return m_filtered ? m_filtered->rowCount() : m_table->eventCount();
}

EventRow EventGrid::eventAtViewRow(int row) const {
    if (m_filtered)
        return m_filtered->eventAt(row);
    return row < 0 ? EventRow() : m_table->eventAt(m_table->gridRowForView(row));
}

int EventGrid::viewRowOf(const EventRow &event) const {
    if (m_filtered)
        return m_filtered->rowOf(event);
    const int row = m_table->findRow(event);
    const int viewRow = row < 0 ? -1 : row - m_table->gridRowForView(0);
    return viewRow >= 0 && viewRow < model()->rowCount() ? viewRow : -1;
}

EventTable::RowMark EventGrid::markViewRow(int row) const {
    if (m_filtered)
        return m_table->markEvent(m_filtered->eventAt(row));
    return m_table->markRow(m_table->gridRowForView(row));
}

std::vector<EventRow> EventGrid::selectedEvents() const {
    QModelIndexList rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    std::vector<EventRow> events;
    for (const QModelIndex &index : rows) {
        EventRow event = eventAtViewRow(index.row());
        if (!event.isNull())
            events.push_back(std::move(event));
    }
    return events;
}

void EventGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous) {
    QTableView::currentChanged(current, previous);
    if (current.row() != previous.row() || current.model() != previous.model())
        emit currentEventChanged(eventAtViewRow(current.isValid() ? current.row() : -1));
}

void EventGrid::keyPressEvent(QKeyEvent *event) {
    const QModelIndex current = currentIndex();
    if (event->matches(QKeySequence::Copy)) {
        emit copyPressed();
        return;
    }
    if (current.isValid() &&
        (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Return ||
         event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (event->key() == Qt::Key_Delete)
            emit deletePressed(current.row());
        else
            emit rowEntered(current.row());
        return;
    }
    QTableView::keyPressEvent(event);
}

void EventGrid::scrollTo(const QModelIndex &index, ScrollHint hint) {
    const int left = horizontalScrollBar()->value();
    QTableView::scrollTo(index, hint);
    horizontalScrollBar()->setValue(left);
}

// Runs before the selection model moves the current row to a neighbour of
// the removed ones: the chosen event is gone, and no other is chosen for it.
void EventGrid::rowsAboutToBeRemoved(const QModelIndex &parent, int first, int last) {
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.row() >= first && current.row() <= last)
        selectionModel()->clearCurrentIndex();
    QTableView::rowsAboutToBeRemoved(parent, first, last);
}

// Rows by the item: a view scrolled down keeps its first row by moving down
// with the new ones above it.
void EventGrid::rowsInserted(const QModelIndex &parent, int first, int last) {
    QTableView::rowsInserted(parent, first, last);
    if (first == 0)
        keepFirstRow(last - first + 1);
}

void EventGrid::keepFirstRow(int newRows) {
    QScrollBar *bar = verticalScrollBar();
    const int top = bar->value();
    if (top == 0)
        return;
    updateGeometries(); // the scroll range with the new rows
    bar->setValue(top + newRows);
}

bool EventGrid::eventFilter(QObject *watched, QEvent *event) {
    // Movement over the header row counts as movement over the table's top.
    QWidget *header = horizontalHeader()->viewport();
    if (watched == header && event->type() == QEvent::MouseMove) {
        const auto *move = static_cast<QMouseEvent *>(event);
        emit pointerMoved(header->mapTo(this, move->position().toPoint()).y());
    }
    return QTableView::eventFilter(watched, event);
}

bool EventGrid::viewportEvent(QEvent *event) {
    if (event->type() == QEvent::MouseMove) {
        const auto *move = static_cast<QMouseEvent *>(event);
        emit pointerMoved(int(move->position().y()) + viewport()->y());
    }
    return QTableView::viewportEvent(event);
}

} // namespace quorvik
