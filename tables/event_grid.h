#pragma once

#include "tables/event_table.h"

#include <QTableView>

#include <vector>

namespace quorvik {

// The view of one EventTable, with the grid control's operations the window
// needs: column widths and row heights in twips, row count, and the pointer
// position for the hover. Every row is as tall as the header row.
class EventGrid : public QTableView {
    Q_OBJECT

public:
    EventGrid(EventTable::Kind kind, QWidget *parent = nullptr);

    EventTable *table() const { return m_table; }

    int colWidth(int column) const { return m_colWidths[std::size_t(column)]; }
    void setColWidth(int column, int twips);
    int rowHeightTwips() const { return m_rowHeight; }
    void setRowHeightTwips(int twips);

    // The grid row (header = 0) at `y` pixels from the table's top edge, or -1
    // below the last row.
    int gridRowAt(int y) const;

signals:
    // The pointer moved over the table; y in pixels from its top edge.
    void pointerMoved(int y);

protected:
    bool viewportEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    EventTable *m_table;
    std::vector<int> m_colWidths;
    int m_rowHeight = 240;
};

} // namespace quorvik
