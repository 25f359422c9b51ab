#pragma once

#include "alerts/alert_popup.h"
#include "alerts/sound.h"
#include "core/local_time.h"
#include "core/log_writer.h"
#include "core/settings.h"
#include "core/text_file.h"
#include "main_window/event_grid.h"
#include "main_window/profile_store.h"
#include "main_window/receiver.h"
#include "main_window/seams.h"
#include "snmp/trap_decoder.h"

#include <QLabel>
#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QPushButton;
class QTabWidget;
class QLockFile;

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
    ProcessStarter *processes = nullptr;
    Clock clock;              // empty: the system clock
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

    // The one road by which an event enters the window, dated now when it
    // carries no date; a batch of one.
    void processMessage(std::string_view text, const QString &senderAddress = {});
    // The same road for a batch of events read already (a history replay
    // hands in the fields of log lines as they are).
    void takeEvents(const std::vector<EventRecord> &records);

    // Empties every table after the operator confirms.
    void clearAllTables();
    // Empties every table without asking.
    void clearAllTablesQuietly();

    void setViewMode(ViewMode mode);
    ViewMode viewMode() const { return m_viewMode; }
    void hideCurrentView();
    void showCurrentView();

    // A quit request from the system (signal, end of session): no question.
    void quitFromSystem();

    bool historyMode() const { return m_config.historyMode; }
    const Settings &settings() const { return m_settings; }
    void setSettings(const Settings &settings);
    int messageColumnWidth() const { return m_messageColumnWidth; }

    EventGrid *levelGrid(int index) const { return m_levelGrids[std::size_t(index)]; }
    EventGrid *fullList() const { return m_fullList; }
    QTabWidget *tabStrip() const { return m_tabStrip; }
    QLabel *messageLine() const { return m_messageLine; }
    // The saved text the hover falls back to (the label's Tag).
    const QString &messageLineTag() const { return m_messageLineTag; }
    // "1,234 lost" in the button strip; hidden while nothing is lost.
    QLabel *lostLabel() const { return m_lostLabel; }
    Receiver *receiver() const { return m_receiver; }

    // Lays the window out for its current size.
    void layoutControls();

    // Brings the views up to date with the events taken in since the last
    // refresh: the tab of the newest event, the message line and the rows.
    // Runs by itself shortly after an event, so a burst repaints once.
    void refreshViews();

signals:
    // The operator asked for a secondary window; app/ builds and shows it.
    void optionsRequested();
    void aboutRequested();
    void sendMessageRequested();
    void filterRequested();
    void selectLogFileRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void createControls();
    void createMenus();
    void setUpTables();
    void bindSocket();
    void applyStoredGeometry(const Profile &profile);
    void resizeToOuter(const QSize &outer);
    void takeDatagrams(const std::vector<Datagram> &batch);
    void takeEvent(std::string_view text, std::string_view sender, const LocalDateTime &now);
    void takeRecord(const EventRecord &record);
    void finishBatch();
    void insertIntoLevelTable(EventGrid *grid, const EventRow &row);
    void insertIntoFullList(const EventRow &row);
    void noteWidthCandidate(int grid, int column, const EventRow &row);
    void growColumns();
    double asciiBound(std::string_view text, bool leadingBlank);
    double asciiAdvance(char c);
    void showLost();
    void scheduleRefresh();
    void flushShownTable();
    void reportLogResult(const FileResult &result);
    void hover(EventGrid *grid, int y);
    void deleteEntry(const QModelIndex &index);
    void setMessageLine(const QString &text);
    void storeGeometry();
    int textWidthTwips(const QString &text) const;
    QPushButton *addButton(const char *name, const QString &caption, const QString &toolTip,
                           int widthTwips, int heightTwips, int topTwips);
    bool isNormalState() const;

    MainWindowConfig m_config;
    std::unique_ptr<MessageBoxes> m_ownBoxes;
    std::unique_ptr<SoundPlayer> m_ownSounds;
    std::unique_ptr<AlertDisplay> m_ownAlerts;
    std::unique_ptr<ProcessStarter> m_ownProcesses;
    ProfileStore m_profile;
    std::unique_ptr<QLockFile> m_liveLock;
    Settings m_settings;
    ViewMode m_viewMode = ViewMode::TabbedView;
    int m_messageColumnWidth = 0;
    bool m_quitWithoutAsking = false;
    bool m_systemQuit = false;
    bool m_logFailing = false;
    QSize m_storedOuterSize; // applied again once the frame is known
    int m_pendingTab = -1;
    bool m_messageLinePending = false;
    QTimer *m_refreshTimer = nullptr;
    std::array<double, 128> m_asciiAdvance{}; // pixels; 0 until measured
    int m_cellPadding = 0;                    // pixels
    QString m_messageLineTag;
    LogWriter m_log;
    std::string m_logBatch; // the lines of the batch being taken in
    LocalTimeCache m_localTime;
    std::uint64_t m_lostCleared = 0; // the receiver's count at the last Delete
    // Per level table and column, the ASCII text of this batch whose width
    // bound is largest; only it is measured exactly at the end of the batch.
    struct WidthCandidate {
        double boundPixels = -1;
        QString text;
    };
    std::array<std::array<WidthCandidate, EventRow::kCells>, kLevelCount> m_widthCandidates;
    std::array<bool, kLevelCount> m_touched{}; // tables that took an event in this batch

    QWidget *m_toolbar = nullptr;
    QPushButton *m_viewButton = nullptr, *m_clearButton = nullptr, *m_sendButton = nullptr,
                *m_filterButton = nullptr, *m_logFileButton = nullptr, *m_historyButton = nullptr,
                *m_exitButton = nullptr;
    QTabWidget *m_tabStrip = nullptr;
    std::array<EventGrid *, kLevelCount> m_levelGrids{};
    EventGrid *m_fullList = nullptr;
    QLabel *m_messageLine = nullptr;
    QLabel *m_lostLabel = nullptr;
    Receiver *m_receiver = nullptr;
    QAction *m_fullListAction = nullptr, *m_tabbedListAction = nullptr;
};

} // namespace quorvik
