// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "alerts/alert_popup.h"
#include "alerts/event_notifier.h"
#include "alerts/sound.h"
#include "core/local_time.h"
#include "core/log_writer.h"
#include "core/rejection_ledger.h"
#include "core/settings.h"
#include "core/syslog_message.h"
#include "core/text_file.h"
#include "intake/receiver.h"
#include "main_window/column_sizer.h"
#include "main_window/main_window_ui.h"
#include "snmp/trap_decoder.h"
#include "tables/event_grid.h"
#include "ui/profile_store.h"
#include "ui/seams.h"

#include <QElapsedTimer>
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
    bool historyMode = false;
    QString executableName = QStringLiteral("quorvik");
    QString profilePath;    // the configuration file
    QString defaultLogFile; // Logfile when the configuration names none
    QString liveLockPath;   // held by the live copy for its lifetime
    quint16 udpPort = 162;  // 0: don't receive (tests that feed events directly)
    MessageBoxes *boxes = nullptr;
    SoundPlayer *sounds = nullptr;  // empty: the level sounds through Qt Multimedia
    AlertDisplay *alerts = nullptr; // empty: the alert popup
    // Desktop notifications and the tray while the window is away (live copy
    // only); empty: none.
    EventNotifier *notifier = nullptr;
    ProcessStarter *processes = nullptr;
    ReceiverOptions receiver; // buffer, queue, read-time clock, responder
    // Names SNMP messages that carry no sysDescr; none: they get an empty
    // text. (Informs are answered through the receiver's responder.)
    TrapDecoder *trapDecoder = nullptr;
};

// The main window: the level tables on tabs or the full list, the button
// strip, the menus, the message line; events come from the receiver.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    enum class ViewMode { TabbedView, FullList };
    enum class LoadResult { Running, Refused };

    explicit MainWindow(MainWindowConfig config, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Start-up: mode, single copy, configuration, tables, socket, geometry,
    // start view and tab, log file. Refused means another live copy runs; the
    // operator has been told and the window must not be shown.
    LoadResult load();

    // Says something about the start-up: whole in a box that stays until the
    // operator closes it, and in the message line until the first event
    // takes its place.
    void showNotice(const QString &text);
    // A history load's rows, oldest first: into the tables as that road
    // would leave them, in one go per table; nothing is logged, alerted or
    // played. The columns grow at fitColumnsToRows().
    void takeHistoryRows(const std::vector<EventRow> &rows);
    // The columns grown to the rows the level tables hold (a history load
    // is over: only the rows that stayed count).
    void fitColumnsToRows();

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
    // "12 not forwarded" beside the lost count, then the failing targets
    // (`failing`, empty while every target works); each target's state as
    // tool tip.
    void showNotForwarded(std::uint64_t count, const QString &failing, const QString &targets);

    // Lays the window out for its current size.
    void layoutControls();

    // Brings the views up to date with the events taken in since the last
    // refresh: the tab of the newest event, the message line and the rows.
    // Runs by itself after a batch: at once after a quiet spell, else at
    // most every 250 ms, so a stream of events repaints seldom.
    void refreshViews();

signals:
    // The operator asked for a secondary window; app/ builds and shows it.
    void optionsRequested();
    void aboutRequested();
    void sendMessageRequested();
    void filterRequested();
    void selectLogFileRequested();
    // A batch's events went into the log (live copy): the forward queues'
    // turn. Emitted only while something is connected.
    void eventsLogged(std::shared_ptr<const std::vector<quorvik::LoggedEvent>> batch);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void connectControls();
    void startHistoryCopy();
    void bindSocket();
    void takeDatagrams(const std::vector<Datagram> &batch);
    void takeEvent(std::string_view text, std::string_view sender, const LocalDateTime &now);
    bool noteRejection(EventRecord &record, std::string_view sender, const std::string &reason);
    void takeRecord(const EventRecord &record);
    void alert(const EventRow &row);
    bool isAway() const;
    void tellAway(const EventRow &row, bool serious);
    void comeForward(int level);
    void finishBatch();
    void insertTop(EventGrid *grid, const EventRow &row);
    void showLost();
    void scheduleRefresh();
    void flushShownTable();
    void reportLogResult(const FileResult &result);
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
    void showFilterBar();
    void hideFilterBar();
    void filterBy(const char *prefix, std::string_view value);
    void applyFilter();
    void showFilterCount();
    void tabShown();
    void setMessageLine(const QString &text);
    void storeGeometry();
    bool isNormalState() const;

    MainWindowConfig m_config;
    std::unique_ptr<MessageBoxes> m_ownBoxes;
    std::unique_ptr<SoundPlayer> m_ownSounds;
    std::unique_ptr<AlertDisplay> m_ownAlerts;
    std::unique_ptr<EventNotifier> m_ownNotifier;
    std::unique_ptr<ProcessStarter> m_ownProcesses;
    ProfileStore m_profile;
    std::unique_ptr<QLockFile> m_liveLock;
    Settings m_settings;
    ViewMode m_viewMode = ViewMode::TabbedView;
    bool m_quitWithoutAsking = false;
    bool m_systemQuit = false;
    QString m_quitWarning;
    bool m_logFailing = false;
    QSize m_storedOuterSize; // applied again once the frame is known
    int m_pendingTab = -1;
    std::bitset<kLevelCount> m_newInLevel; // levels with events since the last refresh
    // The filter bar's changes, and the one each table shows (the level
    // tables first, then the full list): a table is filtered again only when
    // it is shown with a filter it does not have yet.
    quint64 m_filterVersion = 0;
    std::array<quint64, kLevelCount + 1> m_gridFilterVersion{};
    bool m_messageLinePending = false;
    QTimer *m_refreshTimer = nullptr;
    QElapsedTimer m_lastRefresh, m_lastBatch;
    QString m_messageLineTag;
    LogWriter m_log;
    std::string m_logBatch;                  // the lines of the batch being taken in
    std::vector<LoggedEvent> m_forwardBatch; // its events, while forwarding is wired
    LocalTimeCache m_localTime;
    std::uint64_t m_lostCleared = 0; // the receiver's count at the last Delete
    RejectionLedger m_rejections;    // refused SNMPv3 messages
    bool m_rejectionsChanged = false;

    MainWindowUi m_ui;
    std::unique_ptr<ColumnSizer> m_sizer;
    Receiver *m_receiver = nullptr;
};

} // namespace quorvik
