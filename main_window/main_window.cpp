// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "main_window/main_window.h"

#include "main_window/filter_bar.h"
#include "main_window/window_placement.h"

#include "core/log_file.h"
#include "core/log_writer.h"
#include "core/profile.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

namespace quorvik {

MainWindow::MainWindow(MainWindowConfig config, QWidget *parent)
    : QMainWindow(parent), m_config(std::move(config)), m_profile(m_config.profilePath) {
    useDefault<WidgetMessageBoxes>(m_config.boxes, m_ownBoxes);
    useDefault<QtProcessStarter>(m_config.processes, m_ownProcesses);
    m_ui.setupUi(this);
    m_sizer = std::make_unique<ColumnSizer>(m_ui.levelGrids, m_ui.fullList);
    m_alarms = std::make_unique<AlarmRows>(m_ui.levelGrids, m_ui.fullList);
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_fitTimer = new QTimer(this);
    m_fitTimer->setSingleShot(true);
    m_fitTimer->setInterval(0);
    connectControls();
    // The design client area; the stored geometry replaces it at load.
    resize(toPixels(design::kClientWidth),
           toPixels(design::kClientHeight) + menuBar()->sizeHint().height());
    layoutControls();
}

MainWindow::~MainWindow() = default;

void MainWindow::connectControls() {
    connect(m_refreshTimer, &QTimer::timeout, this, &MainWindow::refreshViews);
    connect(m_fitTimer, &QTimer::timeout, this, &MainWindow::fitSomeRows);
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
    connect(m_ui.detailsAction, &QAction::triggered, this, [this] {
        EventGrid *grid = shownGrid();
        if (const EventRow event = grid->eventAtViewRow(grid->currentIndex().row());
            !event.isNull())
            emit detailsRequested(event);
    });
    connect(m_ui.acknowledgeAction, &QAction::triggered, this,
            [this] { acknowledgeSelection(shownGrid()); });
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

bool MainWindow::load(const Profile &profile) {
    setMessageLine(QStringLiteral(" "));
    m_messageLineTag = QStringLiteral(" ");

    setSettings(settingsFromProfile(profile, m_config.defaultLogFile.toStdString()));
    m_ui.setUpRows();
    m_sizer->setUpWidths();
    m_placement.place(*this, geometryFromProfile(profile, outerGeometry(*this)));
    m_ui.tabStrip->setCurrentIndex(m_settings.startTab);
    setViewMode(m_settings.startInFullList ? ViewMode::FullList : ViewMode::TabbedView);
    // Only a missing log is created here; an existing one is not opened (a
    // history copy may have no right to write it). The first append gives an
    // empty one its header.
    m_ui.showButtonsFor(m_config.historyCopy);
    const FileResult created = createMissingLogFile(m_settings.logFile);
    if (!created.ok())
        reportLogError(QStringLiteral("Cannot write the log file %1: %2")
                           .arg(QString::fromLocal8Bit(m_settings.logFile.c_str()),
                                QString::fromLocal8Bit(created.error.c_str())));
    return created.ok();
}

void MainWindow::setSettings(const Settings &settings) {
    settleWaiting(); // under the row limit they came with
    m_settings = settings;
    m_ui.fullList->table()->setLevelColours(settings.levelColours);
}

void MainWindow::showStatus(const IntakeStatus &status) {
    m_ui.showLost(status.lost);
    if (status.rejections)
        m_ui.showRejected(status.rejected, *status.rejections);
}

int MainWindow::eventsHeld() {
    settleWaiting();
    return m_ui.fullList->table()->eventCount();
}

// Away: the window is minimised or no window of the program is active (the
// operator reading the popup or the options is still here).
bool MainWindow::isAway() const {
    return isMinimized() || !QApplication::activeWindow();
}

void MainWindow::comeForward(int level) {
    if (level >= 0) // that tab, whether new events are followed or not
        chooseTab(level);
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    refreshViews();
}

// The end of a batch: columns grow once, the views catch up soon.
void MainWindow::finishBatch() {
    m_sizer->growColumns();
    scheduleRefresh();
}

void MainWindow::showNotForwarded(std::uint64_t count, const QString &failing,
                                  const QString &targets) {
    m_ui.showNotForwarded(count, failing, targets);
}

void MainWindow::reportLogError(const QString &text) {
    m_config.boxes->report(this, QStringLiteral("Quorvik"), text, QMessageBox::Warning);
}

void MainWindow::scheduleRefresh() {
    const int delay = m_refreshPace.delayAfterBatch();
    if (!m_refreshTimer->isActive())
        m_refreshTimer->start(delay);
}

void MainWindow::refreshViews() {
    settleWaiting();
    m_refreshTimer->stop();
    m_refreshPace.refreshed();
    if (!isVisible() || isMinimized())
        return; // nothing is painted; showing the window catches up

    // Following new events, the tab of the newest is shown; else the tabs
    // of the levels with new events are marked until they are shown.
    const int newest = std::exchange(m_pendingTab, -1);
    const bool follow =
        m_settings.followNewEvents &&
        !m_tabChoice.holds(m_viewMode == ViewMode::TabbedView, m_ui.tabStrip->currentIndex());
    if (follow && newest >= 0)
        m_ui.tabStrip->setCurrentIndex(newest);
    if (!follow)
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

// The operator's choice of tab, kept while new events arrive.
void MainWindow::chooseTab(int level) {
    m_pendingTab = -1;
    m_tabChoice.choose(level);
    m_ui.tabStrip->setCurrentIndex(level);
}

EventGrid *MainWindow::shownGrid() const {
    return m_viewMode == ViewMode::FullList
               ? m_ui.fullList
               : m_ui.levelGrids[std::size_t(m_ui.tabStrip->currentIndex())];
}

// A tab the operator sees: its table catches up, gets the filter, loses its mark.
void MainWindow::tabShown() {
    settleWaiting();
    flushShownTable();
    applyFilter();
    if (m_viewMode == ViewMode::TabbedView)
        m_ui.markTab(m_ui.tabStrip->currentIndex(), false);
    // What follows the chosen row (the details window) follows the view.
    EventGrid *grid = shownGrid();
    emit currentEventChanged(grid->eventAtViewRow(grid->currentIndex().row()));
}

void MainWindow::setViewMode(ViewMode mode) {
    m_viewMode = mode;
    m_ui.showView(mode == ViewMode::FullList);
    // A tab strip hidden until now has only just placed its pages.
    layoutControls();
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
    settleWaiting(); // before the tables grow to the new size
    LayoutInput in = m_ui.layoutInput();
    in.outer = frameGeometry().size();
    in.innerWidth = width();
    in.messageColumnTwips = m_sizer->messageColumnWidth();
    m_ui.applyLayout(layOutMainWindow(in));
}

void MainWindow::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    m_placement.fitOnceFramed(*this);
    layoutControls();
}

void MainWindow::moveEvent(QMoveEvent *event) {
    QMainWindow::moveEvent(event);
    m_placement.fitOnceFramed(*this);
}

void MainWindow::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    m_placement.fitOnceFramed(*this);
    layoutControls();
    refreshViews(); // nothing was painted while hidden
}

void MainWindow::changeEvent(QEvent *event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !isMinimized())
        emit activated(); // the operator is back
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

void MainWindow::storeGeometry() {
    if (!isNormalState(*this) || m_refused)
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
    const bool ask = !(m_systemQuit || m_refused || m_config.historyCopy);
    QString question = QStringLiteral("Really quit Quorvik ?");
    if (!m_quitWarning.isEmpty())
        question += QStringLiteral("\n\n") + m_quitWarning;
    if (ask && !m_config.boxes->askOkCancel(this, QStringLiteral("Quorvik Termination"), question,
                                            QMessageBox::Warning)) {
        event->ignore();
        return;
    }
    emit closing();
    event->accept();
    // The secondary windows (options, about, send message) go with it.
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window != this && window->parentWidget() == this)
            window->close();
}

} // namespace quorvik
