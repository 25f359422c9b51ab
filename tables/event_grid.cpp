#include "tables/event_grid.h"

#include "core/units.h"

#include <QHeaderView>
#include <QMouseEvent>

namespace quorvik {

namespace {
constexpr int kDefaultColumnWidth = 1000; // twips
}

EventGrid::EventGrid(EventTable::Kind kind, QWidget *parent)
    : QTableView(parent), m_table(new EventTable(kind, this)) {
    setModel(m_table);
    setMouseTracking(true);
    setWordWrap(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
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

int EventGrid::gridRowAt(int y) const {
    const int header = viewport()->y();
    if (y < header)
        return 0;
    const int row = rowAt(y - header);
    return row < 0 ? -1 : row + 1;
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
