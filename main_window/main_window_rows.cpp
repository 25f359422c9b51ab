// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the operator does with the rows of the main window: the message line
// under the pointer, delete, copy, the row menu, the filter bar, clearing;
// and the columns fitted to the rows a history load leaves.

#include "main_window/main_window.h"

#include "main_window/filter_bar.h"

#include "core/acknowledgement.h"
#include "core/log_file.h"

#include <QAction>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

namespace quorvik {

void MainWindow::connectGrid(EventGrid *grid) {
    connect(grid, &EventGrid::pointerMoved, this, [this, grid](int y) { hover(grid, y); });
    connect(grid, &EventGrid::rowEntered, this,
            [this, grid](int row) { showRowMessage(grid, row); });
    connect(grid, &EventGrid::deletePressed, this, [this, grid](int row) {
        if (!grid->eventAtViewRow(row).isNull())
            deleteEntry(grid, row);
    });
    connect(grid, &EventGrid::copyPressed, this, [this, grid] { copySelection(grid); });
    // A long filter runs in slices: the count follows them.
    connect(grid, &EventGrid::filterProgressed, this, [this, grid] {
        if (grid == shownGrid())
            showFilterCount();
    });
    connect(grid, &QWidget::customContextMenuRequested, this,
            [this, grid](const QPoint &position) { showRowMenu(grid, position); });
    connect(grid, &EventGrid::currentEventChanged, this, [this, grid](const EventRow &event) {
        if (grid == shownGrid())
            emit currentEventChanged(event);
    });
}

void MainWindow::hover(EventGrid *grid, int y) {
    refreshViews(); // the row under the pointer is the row the view shows
    showRowMessage(grid, grid->viewRowAt(y));
}

void MainWindow::showRowMessage(EventGrid *grid, int viewRow) {
    const EventRow event = grid->eventAtViewRow(viewRow);
    const QString message = event.isNull() ? QString() : event.cellText(EventRow::kCells - 1);
    setMessageLine(message.isEmpty() ? m_messageLineTag : message);
}

void MainWindow::deleteEntry(EventGrid *grid, int viewRow) {
    if (viewRow >= 0)
        deleteMarked(grid->table(), grid->markViewRow(viewRow));
}

void MainWindow::deleteMarked(EventTable *table, const EventTable::RowMark &chosen) {
    settleWaiting(); // the operator deletes after what came before
    if (table->findRow(chosen) < 0)
        return; // gone meanwhile (trimmed, deleted): nothing to delete or ask
    // Events may arrive while the question is open: the chosen row is found
    // again afterwards, or nothing is deleted (see EventTable::RowMark).
    if (!m_config.boxes->askOkCancel(this, QStringLiteral("Warning"),
                                     QStringLiteral("Really delete entry ?"),
                                     QMessageBox::Question))
        return;
    table->removeRow(table->findRow(chosen));
    showFilterCount();
}

// The selected events as the log has them, one line each, as shown.
void MainWindow::copySelection(EventGrid *grid) {
    QString text;
    for (const EventRow &event : grid->selectedEvents())
        text += event.copyLine() + QLatin1Char('\n');
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void MainWindow::showRowMenu(EventGrid *grid, const QPoint &position) {
    const EventRow event = grid->eventAtViewRow(grid->rowAt(position.y()));
    if (event.isNull())
        return;
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("rowMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Copy"), this, [this, grid] { copySelection(grid); });
    menu->addAction(QStringLiteral("Details…"), this,
                    [this, event] { emit detailsRequested(event); });
    menu->addSeparator();
    const FilterFields fields = event.filterFields();
    const auto addFilter = [&](const QString &caption, const char *prefix, std::string_view value) {
        // The value as shown, which is what the filter reads.
        QAction *action =
            menu->addAction(caption, this, [this, prefix, word = shownText(value).toStdString()] {
                filterBy(prefix, word);
            });
        action->setEnabled(!value.empty());
    };
    addFilter(QStringLiteral("Filter by this host"), "host", fields[2]);
    addFilter(QStringLiteral("Filter by this application"), "app", fields[3]);
    addFilter(QStringLiteral("Filter by this object"), "obj", fields[4]);
    menu->addSeparator();
    if (!m_config.historyCopy) {
        menu->addAction(QStringLiteral("Acknowledge\u2026"), this,
                        [this, grid] { acknowledgeSelection(grid); });
        menu->addSeparator();
    }
    const EventTable::RowMark chosen = grid->table()->markEvent(event);
    menu->addAction(QStringLiteral("Delete this entry"), this,
                    [this, grid, chosen] { deleteMarked(grid->table(), chosen); });
    if (grid == m_ui.fullList)
        menu->addAction(QStringLiteral("Show in its tab"), this,
                        [this, event] { showInItsTab(event); });
    menu->popup(grid->viewport()->mapToGlobal(position));
}

// The selected rows, acknowledged with one note the operator may give.
void MainWindow::acknowledgeSelection(EventGrid *grid) {
    if (m_config.historyCopy)
        return;
    std::vector<Event> events;
    for (const EventRow &row : grid->selectedEvents())
        events.push_back(row.event());
    if (events.empty())
        return;
    const QString what = events.size() == 1 ? QStringLiteral("this event")
                                            : QStringLiteral("%1 events").arg(events.size());
    const std::optional<QString> note =
        m_config.boxes->askText(this, QStringLiteral("Acknowledge"),
                                QStringLiteral("Acknowledge %1. Note (may stay empty):").arg(what));
    if (note)
        emit acknowledgeRequested(events, *note);
}

// The rows of the event `acknowledgement` names, in its level's table and
// the full list, show who took it, when and the note.
void MainWindow::markAcknowledged(const Event &acknowledgement) {
    const Acknowledgement &ack = *acknowledgement.acknowledges;
    const Event named = acknowledgedEvent(ack);
    if (!named.level)
        return;
    const QString who = shownText(ack.user), when = shownText(acknowledgement.date),
                  note = shownText(ack.note);
    for (EventTable *table :
         {m_ui.levelGrids[std::size_t(named.level->index)]->table(), m_ui.fullList->table()})
        for (const int row : table->rowsOf(named))
            table->acknowledge(row, who, when, note);
}

void MainWindow::showInItsTab(const EventRow &event) {
    settleWaiting();
    setViewMode(ViewMode::TabbedView);
    chooseTab(event.level().index);
    EventGrid *grid = shownGrid();
    const int row = grid->viewRowOf(event);
    if (row < 0)
        return; // deleted from its table meanwhile
    grid->selectRow(row);
    grid->scrollTo(grid->model()->index(row, 0));
    grid->setFocus(Qt::OtherFocusReason);
}

void MainWindow::filterBy(const char *prefix, std::string_view value) {
    const std::string word = filterWord(prefix, value);
    showFilter(QString::fromUtf8(word.data(), qsizetype(word.size())));
}

void MainWindow::showFilter(const QString &query) {
    showFilterBar();
    m_ui.filterBar->setQuery(query);
}

void MainWindow::showFilterBar() {
    if (m_ui.filterBar->isHidden()) {
        m_ui.filterBar->show();
        layoutControls();
        showFilterCount();
    }
    m_ui.filterBar->focusQuery();
}

// Every row shown again, and the tables get their height back.
void MainWindow::hideFilterBar() {
    m_ui.filterBar->clear();
    m_ui.filterBar->hide();
    layoutControls();
    shownGrid()->setFocus(Qt::OtherFocusReason);
}

// Only the table on screen follows the bar; another one gets the filter
// when it is shown.
void MainWindow::applyFilter() {
    EventGrid *grid = shownGrid();
    const std::size_t slot =
        grid == m_ui.fullList ? kLevelCount : std::size_t(m_ui.tabStrip->currentIndex());
    if (m_gridFilterVersion[slot] != m_filterVersion) {
        m_gridFilterVersion[slot] = m_filterVersion;
        grid->setFilter(m_ui.filterBar->filter(grid == m_ui.fullList));
    }
    showFilterCount();
}

void MainWindow::showFilterCount() {
    if (m_ui.filterBar->isHidden())
        return;
    const EventGrid *grid = shownGrid();
    m_ui.filterBar->showCount(grid->shownEvents(), grid->table()->eventCount());
}

void MainWindow::clearAllTables() {
    if (m_config.boxes->askOkCancel(this, QStringLiteral("Warning"),
                                    QStringLiteral("Really delete all messages ?"),
                                    QMessageBox::Question))
        clearAllTablesQuietly();
}

void MainWindow::clearAllTablesQuietly() {
    stopFitting(); // the rows it would measure go
    refreshViews();
    emit countsCleared();
    m_messageLineTag.clear();
    setMessageLine(QString());
    m_ui.fullList->table()->clearAll();
    for (EventGrid *grid : m_ui.levelGrids)
        grid->table()->clearAll();
    showFilterCount();
}

void MainWindow::fitColumnsToRows() {
    settleWaiting();
    m_fitLevel = 0;
    m_fitRow = 1;
    fitSomeRows();
}

// One slice of the fit: rows until fitSliceMs have passed (the clock read
// every few rows), then the columns grow to what was measured.
void MainWindow::fitSomeRows() {
    QElapsedTimer clock;
    clock.start();
    for (int noted = 1; m_fitLevel < kLevelCount; ++noted) {
        const EventTable *table = m_ui.levelGrids[std::size_t(m_fitLevel)]->table();
        if (m_fitRow >= table->rows()) {
            ++m_fitLevel;
            m_fitRow = 1;
            continue;
        }
        if (const EventRow row = table->eventAt(m_fitRow++); !row.isNull())
            m_sizer->noteRow(m_fitLevel, row);
        if (noted % 16 == 0 && clock.elapsed() >= fitSliceMs)
            break;
    }
    m_sizer->growColumns();
    if (isFittingColumns())
        m_fitTimer->start();
}

void MainWindow::stopFitting() {
    m_fitTimer->stop();
    m_fitLevel = kLevelCount;
}

std::pair<int, int> MainWindow::eventsMatching(const EventFilter &filter) {
    settleWaiting();
    const EventTable *table = m_ui.fullList->table();
    int kept = 0, held = 0;
    for (int r = 1; r < table->rows(); ++r) {
        const EventRow event = table->eventAt(r);
        if (event.isNull())
            continue;
        ++held;
        if (filter.matches(event.level(), event.filterFields(), true, event.source()))
            ++kept;
    }
    return {kept, held};
}

void MainWindow::showNotRun(std::uint64_t count, const QString &rules) {
    m_ui.showNotRun(count, rules);
}

// Only the table on screen follows every refresh; the others learn of their
// new rows in one go when they are shown.
void MainWindow::flushShownTable() {
    shownGrid()->table()->flushChanges();
}

void MainWindow::showNotice(const QString &text) {
    m_messageLineTag = text;
    setMessageLine(text);
    m_config.boxes->report(this, QStringLiteral("Quorvik"), text, QMessageBox::Information);
}

void MainWindow::setMessageLine(const QString &text) {
    if (m_ui.messageLine->text() != text)
        m_ui.messageLine->setText(text);
}

} // namespace quorvik
