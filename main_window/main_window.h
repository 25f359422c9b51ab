// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event_sink.h"
#include "core/profile.h"
#include "core/settings.h"
#include "core/text_file.h"
#include "main_window/column_sizer.h"
#include "main_window/main_window_ui.h"
#include "main_window/refresh_pace.h"
#include "main_window/tab_choice.h"
#include "main_window/window_placement.h"
#include "tables/alarm_rows.h"
#include "tables/event_grid.h"
#include "tables/waiting_events.h"
#include "ui/profile_store.h"
#include "ui/seams.h"

#include <QLabel>
#include <QMainWindow>

#include <array>
#include <bitset>
#include <memory>

class QLockFile;
class QTabWidget;

namespace quorvik {

// What the main window is started with.
struct MainWindowConfig {
    // A history copy: its own buttons, and it quits without asking.
    bool historyCopy = false;
    QString profilePath;    // the configuration file
    QString defaultLogFile; // Logfile when the configuration names none
    MessageBoxes *boxes = nullptr;
    ProcessStarter *processes = nullptr;
};

// The main window: the level tables on tabs or the full list, the button
// strip, the menus, the message line. It shows the events the road hands
// it (the views' sink) and the intake's counts; it never decodes or decides.
class MainWindow : public QMainWindow, public EventSink, public StatusSink {
    Q_OBJECT

public:
    enum class ViewMode { TabbedView, FullList };

    explicit MainWindow(MainWindowConfig config, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Start-up from the configuration: tables, geometry, start view and tab, log file.
    // False when the log file could not be created (the operator has been told).
    bool load(const Profile &profile);
    // Another live copy runs: this window was never started, and closing it
    // neither asks nor stores its geometry.
    void refuseToStart() { m_refused = true; }

    // A batch of live events, newest last: into the tables at the top.
    void take(const EventBatch &batch) override;
    // The lost and refused counts beside the tables.
    void showStatus(const IntakeStatus &status) override;
    // Whether the operator is away: the window minimised or no window of
    // the program active (the one reading the popup or the options is here).
    bool isAway() const;
    // Brings the window forward, on the tab of `level` (or as it was for -1).
    void comeForward(int level);
    // A log write failed ("Cannot write the log file …").
    void reportLogError(const QString &text);

    // Says something about the start-up: whole in a box that stays until the
    // operator closes it, and in the message line until the first event
    // takes its place.
    void showNotice(const QString &text);
    // A history load's rows, oldest first: into the tables as that road
    // would leave them, in one go per table; nothing is logged, alerted or
    // played. The columns grow at fitColumnsToRows().
    void takeHistoryRows(const std::vector<EventRow> &rows);
    // How many of the events the window holds `filter` keeps: (kept, held).
    std::pair<int, int> eventsMatching(const EventFilter &filter);
    // The columns grown to the rows the level tables hold (a history load
    // is over: only the rows that stayed count). Measuring a text beyond
    // ASCII costs microseconds and the tables may hold 700,000 rows, so the
    // rows are measured in slices of about fitSliceMs, the first at once,
    // the window answering the operator between them; a cleared table or a
    // new fit stops the one running. (A row deleted meanwhile may let one
    // other row go unmeasured.)
    void fitColumnsToRows();
    // Whether rows wait to be measured by fitColumnsToRows().
    bool isFittingColumns() const { return m_fitLevel < kLevelCount; }
    int fitSliceMs = 20;

    // The events the full list holds (all levels, up to the row limit).
    int eventsHeld();

    // Empties every table after the operator confirms.
    void clearAllTables();
    // Empties every table without asking.
    void clearAllTablesQuietly();

    void setViewMode(ViewMode mode);
    void hideCurrentView();
    void showCurrentView();

    // A quit request from the system (signal, end of session): no question.
    void quitFromSystem();
    // What quitting now would lose, said below the quit question; empty
    // while nothing would be.
    void setQuitWarning(const QString &text) { m_quitWarning = text; }

    const Settings &settings() const { return m_settings; }
    void setSettings(const Settings &settings);
    // The least width the layout gives the Message columns (what they grew to);
    // the tests compare the tables against it.
    int messageColumnWidth() const { return m_sizer->messageColumnWidth(); }

    // The message line; a history load's progress strip takes its place.
    QLabel *messageLine() const { return m_ui.messageLine; }
    // Shows the filter bar holding `query`, as if typed.
    void showFilter(const QString &query);
    // "12 not run" beside the lost count: events whose rule's program found
    // no room; `rules` (each rule with its count, one a line) as tool tip.
    void showNotRun(std::uint64_t count, const QString &rules);
    // "12 not forwarded" beside the lost count, then the failing targets
    // (`failing`, empty while every target works); each target's state as
    // tool tip.
    void showNotForwarded(std::uint64_t count, const QString &failing, const QString &targets);

    // Lays the window out for its current size.
    void layoutControls();

    // Brings the views up to date with the events taken in since the last
    // refresh: the tab of the newest event, the message line and the rows.
    // Runs by itself after a batch, at the RefreshPace.
    void refreshViews();

signals:
    // The operator asked for a secondary window; app/ builds and shows it.
    void optionsRequested();
    void aboutRequested();
    void sendMessageRequested();
    void filterRequested();
    void selectLogFileRequested();
    // The operator asked for the details of `event` (the row menu, Ctrl+D).
    void detailsRequested(const EventRow &event);
    // The operator chose another row of the table on screen (a null row:
    // none); the details window follows it.
    void currentEventChanged(const EventRow &event);
    // The operator cleared the tables: the counts start again.
    void countsCleared();
    // The operator is back at the window.
    void activated();
    // The window is closing for good: what it started goes with it.
    void closing();
    // The operator acknowledged `events` (the rows chosen, as the log has
    // them) with `note`, possibly empty: app/ makes the acknowledgements.
    void acknowledgeRequested(const std::vector<Event> &events, const QString &note);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void connectControls();
    void startHistoryCopy();
    void finishBatch();
    void fitSomeRows();
    void stopFitting();
    void insertTop(EventGrid *grid, const EventRow &row);
    void settleWaiting();
    void placeRows(const BulkRows &rows);
    void showNewestMessage(const EventRow &newest);
    void scheduleRefresh();
    void flushShownTable();
    // The full list or the level table on screen.
    EventGrid *shownGrid() const;
    void connectGrid(EventGrid *grid);
    void hover(EventGrid *grid, int y);
    void showRowMessage(EventGrid *grid, int viewRow);
    void deleteEntry(EventGrid *grid, int viewRow);
    void deleteMarked(EventTable *table, const EventTable::RowMark &chosen);
    void copySelection(EventGrid *grid);
    void showRowMenu(EventGrid *grid, const QPoint &position);
    void showInItsTab(const EventRow &event);
    void acknowledgeSelection(EventGrid *grid);
    void markAcknowledged(const Event &acknowledgement);
    void chooseTab(int level);
    void showFilterBar();
    void hideFilterBar();
    void filterBy(const char *prefix, std::string_view value);
    void applyFilter();
    void showFilterCount();
    void tabShown();
    void setMessageLine(const QString &text);
    void storeGeometry();

    MainWindowConfig m_config;
    std::unique_ptr<MessageBoxes> m_ownBoxes;
    std::unique_ptr<ProcessStarter> m_ownProcesses;
    ProfileStore m_profile;
    Settings m_settings;
    ViewMode m_viewMode = ViewMode::TabbedView;
    bool m_systemQuit = false;
    bool m_refused = false;
    QString m_quitWarning;
    StoredPlacement m_placement;
    int m_pendingTab = -1;
    TabChoice m_tabChoice;
    std::bitset<kLevelCount> m_newInLevel; // levels with events since the last refresh
    // The filter bar's changes, and the one each table shows (the level
    // tables first, then the full list): a table is filtered again only when
    // it is shown with a filter it does not have yet.
    quint64 m_filterVersion = 0;
    std::array<quint64, kLevelCount + 1> m_gridFilterVersion{};
    bool m_messageLinePending = false;
    QTimer *m_refreshTimer = nullptr;
    RefreshPace m_refreshPace;
    // During a flood, batches wait here for the next refresh (see
    // WaitingEvents); anything that reads or changes the tables settles
    // them first.
    WaitingEvents m_waiting;
    QString m_messageLineTag;

    MainWindowUi m_ui;
    std::unique_ptr<ColumnSizer> m_sizer;
    std::unique_ptr<AlarmRows> m_alarms;
    // The next row fitColumnsToRows() measures: level table and grid row.
    int m_fitLevel = kLevelCount;
    int m_fitRow = 1;
    QTimer *m_fitTimer = nullptr;
};

} // namespace quorvik
