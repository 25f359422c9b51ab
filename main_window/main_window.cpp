// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "main_window/main_window.h"

#include "main_window/filter_bar.h"
#include "main_window/window_placement.h"

#include "alerts/alert_popup.h"
#include "alerts/sound.h"
#include "core/log_file.h"
#include "core/log_writer.h"
#include "core/profile.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLockFile>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <chrono>

namespace quorvik {

namespace {

// A batch after kQuietMs without one is shown at once; while events stream
// in, the views catch up every kStreamRefreshMs (painting is most of the cost
// of a stream, and four updates a second read well).
constexpr int kQuietMs = 50;
constexpr int kStreamRefreshMs = 250;

// A seam the configuration leaves empty gets the real implementation.
template <typename Real, typename Seam> void useDefault(Seam *&seam, std::unique_ptr<Seam> &owner) {
    if (!seam) {
        owner = std::make_unique<Real>();
        seam = owner.get();
    }
}

// No desktop notifications and no tray.
class NoNotifier : public EventNotifier {
public:
    void setHandlers(Handlers) override {}
    void setLevelColours(const LevelColours &) override {}
    void countAway(int) override {}
    void notify(const Notice &) override {}
    void windowActivated() override {}
    void closeAll() override {}
};

QString text(std::string_view bytes) {
    return QString::fromLocal8Bit(bytes.data(), qsizetype(bytes.size()));
}

} // namespace

MainWindow::MainWindow(MainWindowConfig config, QWidget *parent)
    : QMainWindow(parent), m_config(std::move(config)), m_profile(m_config.profilePath) {
    useDefault<WidgetMessageBoxes>(m_config.boxes, m_ownBoxes);
    useDefault<MultimediaSoundPlayer>(m_config.sounds, m_ownSounds);
    useDefault<AlertPopups>(m_config.alerts, m_ownAlerts);
    useDefault<QtProcessStarter>(m_config.processes, m_ownProcesses);
    useDefault<NoNotifier>(m_config.notifier, m_ownNotifier);
    m_ui.setupUi(this);
    m_sizer = std::make_unique<ColumnSizer>(m_ui.levelGrids, m_ui.fullList);
    m_receiver = new Receiver(m_config.receiver, this);
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    connectControls();
    // The design client area; the stored geometry replaces it at load.
    resize(toPixels(design::kClientWidth),
           toPixels(design::kClientHeight) + menuBar()->sizeHint().height());
    layoutControls();
}

MainWindow::~MainWindow() = default;

void MainWindow::connectControls() {
    connect(m_receiver, &Receiver::datagramsReceived, this, &MainWindow::takeDatagrams);
    connect(m_refreshTimer, &QTimer::timeout, this, &MainWindow::refreshViews);
    for (EventGrid *grid : m_ui.levelGrids)
        connectGrid(grid);
    EventGrid *list = m_ui.fullList;
    connectGrid(list);
    connect(list, &QAbstractItemView::doubleClicked, this, [this, list](const QModelIndex &index) {
        if (index.isValid())
            deleteEntry(list, index.row());
    });
    connect(m_ui.tabStrip, &QTabWidget::currentChanged, this, &MainWindow::tabShown);
    connect(m_ui.filterBar, &FilterBar::changed, this, [this] {
        ++m_filterVersion;
        applyFilter();
    });
    m_config.notifier->setHandlers(
        {[this](int level) { comeForward(level); }, [this] { close(); }});

    connect(m_ui.viewButton, &QPushButton::clicked, this, [this] {
        setViewMode(m_viewMode == ViewMode::TabbedView ? ViewMode::FullList : ViewMode::TabbedView);
    });
    connect(m_ui.clearButton, &QPushButton::clicked, this, &MainWindow::clearAllTables);
    connect(m_ui.exitButton, &QPushButton::clicked, this, &QWidget::close);
    connect(m_ui.sendButton, &QPushButton::clicked, this, &MainWindow::sendMessageRequested);
    connect(m_ui.filterButton, &QPushButton::clicked, this, &MainWindow::filterRequested);
    connect(m_ui.logFileButton, &QPushButton::clicked, this, &MainWindow::selectLogFileRequested);
    connect(m_ui.historyButton, &QPushButton::clicked, this, &MainWindow::startHistoryCopy);

    connect(m_ui.optionsAction, &QAction::triggered, this, &MainWindow::optionsRequested);
    connect(m_ui.quitAction, &QAction::triggered, this, &QWidget::close);
    connect(m_ui.fullListAction, &QAction::triggered, this,
            [this] { setViewMode(ViewMode::FullList); });
    connect(m_ui.tabbedListAction, &QAction::triggered, this,
            [this] { setViewMode(ViewMode::TabbedView); });
    connect(m_ui.aboutAction, &QAction::triggered, this, &MainWindow::aboutRequested);
    connect(m_ui.filterAction, &QAction::triggered, this, &MainWindow::showFilterBar);
    connect(m_ui.copyAction, &QAction::triggered, this, [this] { copySelection(shownGrid()); });
}

void MainWindow::connectGrid(EventGrid *grid) {
    connect(grid, &EventGrid::pointerMoved, this, [this, grid](int y) { hover(grid, y); });
    connect(grid, &EventGrid::rowEntered, this,
            [this, grid](int row) { showRowMessage(grid, row); });
    connect(grid, &EventGrid::deletePressed, this, [this, grid](int row) {
        if (!grid->eventAtViewRow(row).isNull())
            deleteEntry(grid, row);
    });
    connect(grid, &EventGrid::copyPressed, this, [this, grid] { copySelection(grid); });
    connect(grid, &QWidget::customContextMenuRequested, this,
            [this, grid](const QPoint &position) { showRowMenu(grid, position); });
}

void MainWindow::startHistoryCopy() {
    // The running program itself, in the same working directory.
    const QString program = QCoreApplication::applicationFilePath();
    const QString error = m_config.processes->startDetached(program, {QStringLiteral("-H")});
    if (!error.isEmpty())
        m_config.boxes->report(
            this, QStringLiteral("Quorvik"),
            QStringLiteral("Cannot start the history window %1: %2").arg(program, error),
            QMessageBox::Warning);
}

MainWindow::LoadResult MainWindow::load() {
    m_quitWithoutAsking = false;
    if (!m_config.historyMode) {
        m_liveLock = std::make_unique<QLockFile>(m_config.liveLockPath);
        m_liveLock->setStaleLockTime(0); // a dead owner's lock is taken over by process id
        if (!m_liveLock->tryLock(0)) {
            const QString name = m_config.executableName;
            m_config.boxes->reportAndWait(nullptr, QStringLiteral("Error while loading ") + name,
                                          name + QStringLiteral(" already running"),
                                          QMessageBox::Warning);
            m_quitWithoutAsking = true;
            return LoadResult::Refused;
        }
    }
    setMessageLine(QStringLiteral(" "));
    m_messageLineTag = QStringLiteral(" ");

    const Profile profile = Profile::parse(m_profile.content());
    setSettings(settingsFromProfile(profile, m_config.defaultLogFile.toStdString()));
    m_ui.setUpRows();
    m_sizer->setUpWidths();
    if (!m_config.historyMode)
        bindSocket();
    m_storedOuterSize =
        placeAtStoredGeometry(*this, geometryFromProfile(profile, outerGeometry(*this)));
    m_ui.tabStrip->setCurrentIndex(m_settings.startTab);
    setViewMode(m_settings.startInFullList ? ViewMode::FullList : ViewMode::TabbedView);
    // Only a missing log is created here; an existing one is not opened (a
    // history copy may have no right to write it). The first append gives an
    // empty one its header.
    reportLogResult(createMissingLogFile(m_settings.logFile));

    m_ui.showButtonsFor(m_config.historyMode);
    return LoadResult::Running;
}

void MainWindow::bindSocket() {
    if (m_config.udpPort == 0)
        return;
    const QString error = m_receiver->bind(m_config.udpPort);
    if (!error.isEmpty())
        m_config.boxes->report(this, QStringLiteral("Quorvik"), error, QMessageBox::Warning);
}

void MainWindow::takeDatagrams(const std::vector<Datagram> &batch) {
    for (const Datagram &datagram : batch)
        takeEvent(datagram.bytes, datagram.sender, m_localTime.at(datagram.receivedAt));
    finishBatch();
}

void MainWindow::setSettings(const Settings &settings) {
    m_settings = settings;
    m_log.setPath(settings.logFile);
    m_ui.fullList->table()->setLevelColours(settings.levelColours);
    m_config.notifier->setLevelColours(settings.levelColours);
}

void MainWindow::insertTop(EventGrid *grid, const EventRow &row) {
    EventTable *table = grid->table();
    if (table->rows() > m_settings.maxLines)
        table->setRows(m_settings.maxLines - 1);
    table->insertTop(row);
}

void MainWindow::takeHistoryRows(const std::vector<EventRow> &rows) {
    if (rows.empty())
        return;
    std::array<std::vector<EventRow>, kLevelCount> byLevel;
    for (const EventRow &row : rows)
        byLevel[std::size_t(row.level().index)].push_back(row);
    const int limit = m_settings.maxLines;
    for (int level = 0; level < kLevelCount; ++level) {
        m_ui.levelGrids[std::size_t(level)]->table()->insertTopBulk(byLevel[std::size_t(level)],
                                                                    limit);
        if (!byLevel[std::size_t(level)].empty())
            m_newInLevel.set(std::size_t(level));
    }
    m_ui.fullList->table()->insertTopBulk(rows, limit);
    m_pendingTab = rows.back().level().index;
    m_messageLineTag = QStringLiteral("Actual Message:") + rows.back().cellText(4);
    m_messageLinePending = true;
    finishBatch();
}

void MainWindow::takeEvent(std::string_view text, std::string_view sender,
                           const LocalDateTime &now) {
    EventRecord record = parseEventMessage(text, sender, now);
    if (m_config.trapDecoder &&
        (isSnmpV3(text) ||
         (record.message.empty() && text.find(kSysDescrMarker) == std::string_view::npos))) {
        Decoded decoded = m_config.trapDecoder->decode(text);
        if (decoded.silent)
            return;
        if (!decoded.rejection.empty() && !noteRejection(record, sender, decoded.rejection))
            return;
        if (decoded.rejection.empty())
            record.message = std::move(decoded.text);
    }
    takeRecord(record);
    if (!m_config.historyMode &&
        isSignalConnected(QMetaMethod::fromSignal(&MainWindow::eventsLogged)))
        m_forwardBatch.push_back({std::move(record), std::string(sender)});
}

// Counts a refused SNMPv3 message; the first of its sender and reason within
// a minute also becomes a row, from the sender's address.
bool MainWindow::noteRejection(EventRecord &record, std::string_view sender,
                               const std::string &reason) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::steady_clock::now().time_since_epoch())
                             .count();
    m_rejectionsChanged = true;
    if (!m_rejections.note(sender, reason, std::int64_t(seconds)))
        return false;
    record.processor = std::string(sender);
    record.application.clear();
    record.object.clear();
    record.message = "SNMPv3 message rejected: " + reason;
    return true;
}

void MainWindow::takeRecord(const EventRecord &record) {
    const Level &level = *record.level;
    m_pendingTab = level.index;
    m_newInLevel.set(std::size_t(level.index));

    const EventRow row(record);
    insertTop(m_ui.levelGrids[std::size_t(level.index)], row);
    insertTop(m_ui.fullList, row);
    m_sizer->noteRow(level.index, row);
    m_messageLineTag = QStringLiteral("Actual Message:") + row.cellText(4);
    m_messageLinePending = true;

    if (!m_config.historyMode) {
        m_logBatch += formatLogLine(record);
        const bool serious = level.index < m_settings.popupLevel;
        if (serious)
            alert(row);
        if (isAway())
            tellAway(row, serious);
    }
    playLevelSound(*m_config.sounds, m_settings.levelSounds, level.index);
}

void MainWindow::fitColumnsToRows() {
    for (int level = 0; level < kLevelCount; ++level) {
        const EventTable *table = m_ui.levelGrids[std::size_t(level)]->table();
        for (int r = 1; r < table->rows(); ++r)
            if (const EventRow row = table->eventAt(r); !row.isNull())
                m_sizer->noteRow(level, row);
    }
    m_sizer->growColumns();
}

void MainWindow::alert(const EventRow &row) {
    QStringList fields;
    for (int c = 0; c < EventRow::kCells; ++c)
        fields << shownText(row.bytes(c));
    const std::string_view name = row.level().name;
    m_config.alerts->show(QString::fromLatin1(name.data(), qsizetype(name.size())), fields);
}

// Away: the window is minimised or no window of the program is active (the
// operator reading the popup or the options is still here).
bool MainWindow::isAway() const {
    return isMinimized() || !QApplication::activeWindow();
}

void MainWindow::tellAway(const EventRow &row, bool serious) {
    const Level &level = row.level();
    m_config.notifier->countAway(level.index);
    if (serious && m_settings.notify)
        m_config.notifier->notify(
            {level.index, text(level.name), row.cellText(1), row.cellText(4).mid(1)});
}

void MainWindow::comeForward(int level) {
    if (level >= 0) { // that tab, whether new events are followed or not
        m_pendingTab = -1;
        m_ui.tabStrip->setCurrentIndex(level);
    }
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    refreshViews();
}

// The end of a batch: columns grow once, the batch's lines go to the log in
// one write, the lost count is brought up to date.
void MainWindow::finishBatch() {
    m_sizer->growColumns();
    if (!m_logBatch.empty())
        reportLogResult(m_log.append(std::exchange(m_logBatch, {})));
    if (!m_forwardBatch.empty())
        emit eventsLogged(
            std::make_shared<const std::vector<LoggedEvent>>(std::exchange(m_forwardBatch, {})));
    showLost();
    scheduleRefresh();
}

void MainWindow::showLost() {
    m_ui.showLost(m_receiver->lost() - std::min(m_receiver->lost(), m_lostCleared));
    if (std::exchange(m_rejectionsChanged, false))
        m_ui.showRejected(m_rejections.count(), m_rejections.latestReasons());
}

void MainWindow::showNotForwarded(std::uint64_t count, const QString &failing,
                                  const QString &targets) {
    m_ui.showNotForwarded(count, failing, targets);
}

void MainWindow::reportLogResult(const FileResult &result) {
    // Reported once per run of failures: the next report needs a success in
    // between, so a missing disk doesn't bury the operator in boxes.
    if (result.ok()) {
        m_logFailing = false;
        return;
    }
    if (m_logFailing)
        return;
    m_logFailing = true;
    m_config.boxes->report(this, QStringLiteral("Quorvik"),
                           QStringLiteral("Cannot write the log file %1: %2")
                               .arg(QString::fromLocal8Bit(m_settings.logFile.c_str()),
                                    QString::fromLocal8Bit(result.error.c_str())),
                           QMessageBox::Warning);
}

void MainWindow::scheduleRefresh() {
    const bool quiet = !m_lastBatch.isValid() || m_lastBatch.elapsed() >= kQuietMs;
    m_lastBatch.start();
    if (m_refreshTimer->isActive())
        return;
    const qint64 since = m_lastRefresh.isValid() ? m_lastRefresh.elapsed() : kStreamRefreshMs;
    m_refreshTimer->start(
        quiet ? 0 : int(std::clamp<qint64>(kStreamRefreshMs - since, 0, kStreamRefreshMs)));
}

void MainWindow::refreshViews() {
    m_refreshTimer->stop();
    m_lastRefresh.start();
    if (!isVisible() || isMinimized())
        return; // nothing is painted; showing the window catches up

    // Following new events, the tab of the newest is shown; else the tabs
    // of the levels with new events are marked until they are shown.
    const int newest = std::exchange(m_pendingTab, -1);
    if (m_settings.followNewEvents && newest >= 0)
        m_ui.tabStrip->setCurrentIndex(newest);
    if (!m_settings.followNewEvents)
        for (int i = 0; i < kLevelCount; ++i)
            if (m_newInLevel.test(std::size_t(i)) &&
                (m_viewMode == ViewMode::FullList || i != m_ui.tabStrip->currentIndex()))
                m_ui.markTab(i, true);
    m_newInLevel.reset();
    if (std::exchange(m_messageLinePending, false))
        setMessageLine(m_messageLineTag);
    flushShownTable();
    showFilterCount();
}

EventGrid *MainWindow::shownGrid() const {
    return m_viewMode == ViewMode::FullList
               ? m_ui.fullList
               : m_ui.levelGrids[std::size_t(m_ui.tabStrip->currentIndex())];
}

// A tab the operator sees: its table catches up, gets the filter, loses its mark.
void MainWindow::tabShown() {
    flushShownTable();
    applyFilter();
    if (m_viewMode == ViewMode::TabbedView)
        m_ui.markTab(m_ui.tabStrip->currentIndex(), false);
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
    const EventTable::RowMark chosen = grid->table()->markEvent(event);
    menu->addAction(QStringLiteral("Delete this entry"), this,
                    [this, grid, chosen] { deleteMarked(grid->table(), chosen); });
    if (grid == m_ui.fullList)
        menu->addAction(QStringLiteral("Show in its tab"), this,
                        [this, event] { showInItsTab(event); });
    menu->popup(grid->viewport()->mapToGlobal(position));
}

void MainWindow::showInItsTab(const EventRow &event) {
    setViewMode(ViewMode::TabbedView);
    m_ui.tabStrip->setCurrentIndex(event.level().index);
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
    refreshViews();
    m_lostCleared = m_receiver->lost();
    m_rejections.clearCount();
    m_rejectionsChanged = true;
    showLost();
    m_messageLineTag.clear();
    setMessageLine(QString());
    m_ui.fullList->table()->clearAll();
    for (EventGrid *grid : m_ui.levelGrids)
        grid->table()->clearAll();
    showFilterCount();
}

void MainWindow::setViewMode(ViewMode mode) {
    m_viewMode = mode;
    m_ui.showView(mode == ViewMode::FullList);
    tabShown();
}

void MainWindow::hideCurrentView() {
    m_ui.view(m_viewMode == ViewMode::FullList)->hide();
}

void MainWindow::showCurrentView() {
    m_ui.view(m_viewMode == ViewMode::FullList)->show();
}

void MainWindow::layoutControls() {
    if (isMinimized())
        return;
    LayoutInput in = m_ui.layoutInput();
    in.outer = frameGeometry().size();
    in.innerWidth = width();
    in.messageColumnTwips = m_sizer->messageColumnWidth();
    m_ui.applyLayout(layOutMainWindow(in));
}

void MainWindow::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    layoutControls();
}

void MainWindow::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    if (m_storedOuterSize.isValid()) {
        // The frame is known only once the window is shown.
        resizeToOuter(*this, std::exchange(m_storedOuterSize, QSize()));
    }
    layoutControls();
    refreshViews(); // nothing was painted while hidden
}

void MainWindow::changeEvent(QEvent *event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !isMinimized())
        m_config.notifier->windowActivated(); // the operator is back
    if (event->type() == QEvent::WindowStateChange) {
        layoutControls(); // restoring a minimised window lays it out again
        refreshViews();
    }
}

void MainWindow::keyPressEvent(QKeyEvent *event) {
    // Escape in the bar or in a table (neither takes it) ends the filter.
    if (event->key() == Qt::Key_Escape && !m_ui.filterBar->isHidden()) {
        hideFilterBar();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool MainWindow::isNormalState() const {
    return !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

void MainWindow::storeGeometry() {
    if (!isNormalState() || m_quitWithoutAsking)
        return;
    const QString error = storeOuterGeometry(m_profile, *this);
    if (!error.isEmpty() && !m_systemQuit)
        m_config.boxes->report(this, QStringLiteral("Quorvik"),
                               QStringLiteral("Cannot save the window position in %1: %2")
                                   .arg(m_profile.path(), error),
                               QMessageBox::Warning);
}

void MainWindow::quitFromSystem() {
    m_systemQuit = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent *event) {
    storeGeometry();
    const bool ask = !(m_systemQuit || m_quitWithoutAsking || m_config.historyMode);
    QString question = QStringLiteral("Really quit Quorvik ?");
    if (!m_quitWarning.isEmpty())
        question += QStringLiteral("\n\n") + m_quitWarning;
    if (ask && !m_config.boxes->askOkCancel(this, QStringLiteral("Quorvik Termination"), question,
                                            QMessageBox::Warning)) {
        event->ignore();
        return;
    }
    m_receiver->close();
    m_config.alerts->closeAll();
    m_config.notifier->closeAll();
    event->accept();
    // The secondary windows (options, about, send message) go with it.
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window != this && window->parentWidget() == this)
            window->close();
}

} // namespace quorvik
