#include "main_window/main_window.h"

#include "main_window/window_placement.h"

#include "alerts/alert_popup.h"
#include "alerts/sound.h"
#include "core/log_file.h"
#include "core/log_writer.h"
#include "core/profile.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QLockFile>
#include <QMenuBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTimer>

#include <cmath>

namespace quorvik {

namespace {

// Design geometry in twips.
constexpr int kClientWidth = 7575, kClientHeight = 5565;
constexpr int kToolbarHeight = 525;
constexpr int kLabelHeight = 432;
constexpr int kTabLeft = 120, kTabTop = 480, kTabWidth = 7332, kTabHeight = 4452;
constexpr int kListLeft = 90, kListTop = 480, kListWidth = 7335, kListHeight = 4455;
constexpr int kGridLeft = 240, kGridTop = 600, kGridWidth = 6852, kGridHeight = 3732;
constexpr int kColumnMargin = 100;
constexpr int kRefreshMs = 100; // views catch up at most this late

const char *const kTabCaptions[kLevelCount] = {"Emergency", "Panic",       "Critical", "Alert",
                                               "Warning",   "Information", "Note"};

QString tabbedViewTip() {
    return QStringLiteral("show all messages in one table");
}
QString fullListTip() {
    return QStringLiteral("show messages by level");
}

// 1234567 as "1,234,567", whatever the locale.
QString withThousands(std::uint64_t value) {
    QString digits = QString::number(value);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits;
}

QRect twipsRect(double left, double top, double width, double height) {
    return QRect(toPixels(left), toPixels(top), std::max(1, toPixels(width)),
                 std::max(1, toPixels(height)));
}

// The design sizes assume a small dialog font: the system sans at 8.25 point.
QFont designFont() {
    QFont font = QApplication::font();
    font.setPointSizeF(8.25);
    return font;
}

// Tabs with two thirds of the style's side padding, so that the seven
// captions read whole at the design width.
class CompactTabStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int pixelMetric(PixelMetric metric, const QStyleOption *option,
                    const QWidget *widget) const override {
        const int value = QProxyStyle::pixelMetric(metric, option, widget);
        return metric == PM_TabBarTabHSpace ? value * 2 / 3 : value;
    }
};

// The screens' areas free for windows, the primary screen's first.
QList<QRect> availableScreenAreas() {
    QList<QRect> areas;
    if (const QScreen *primary = QGuiApplication::primaryScreen())
        areas << primary->availableGeometry();
    for (const QScreen *screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen())
            areas << screen->availableGeometry();
    return areas;
}

} // namespace

MainWindow::MainWindow(MainWindowConfig config, QWidget *parent)
    : QMainWindow(parent), m_config(std::move(config)), m_profile(m_config.profilePath) {
    if (!m_config.boxes) {
        m_ownBoxes = std::make_unique<WidgetMessageBoxes>();
        m_config.boxes = m_ownBoxes.get();
    }
    if (!m_config.sounds) {
        m_ownSounds = std::make_unique<MultimediaSoundPlayer>();
        m_config.sounds = m_ownSounds.get();
    }
    if (!m_config.alerts) {
        m_ownAlerts = std::make_unique<AlertPopups>();
        m_config.alerts = m_ownAlerts.get();
    }
    if (!m_config.processes) {
        m_ownProcesses = std::make_unique<QtProcessStarter>();
        m_config.processes = m_ownProcesses.get();
    }
    if (!m_config.clock)
        m_config.clock = systemLocalTime;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quorvik"));
    setFont(designFont());
    createControls();
    createMenus();
    m_cellPadding = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(kRefreshMs);
    connect(m_refreshTimer, &QTimer::timeout, this, &MainWindow::refreshViews);
    // The design client area; the stored geometry replaces it at load.
    resize(toPixels(kClientWidth), toPixels(kClientHeight) + menuBar()->sizeHint().height());
}

MainWindow::~MainWindow() = default;

QPushButton *MainWindow::addButton(const char *name, const QString &caption, const QString &toolTip,
                                   int widthTwips, int heightTwips, int topTwips) {
    auto *button = new QPushButton(caption, m_toolbar);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(toolTip);
    button->setGeometry(0, toPixels(topTwips), toPixels(widthTwips), toPixels(heightTwips));
    return button;
}

void MainWindow::createControls() {
    auto *client = new QWidget(this);
    setCentralWidget(client);

    m_toolbar = new QWidget(client);
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setGeometry(0, 0, toPixels(kClientWidth), toPixels(kToolbarHeight));
    m_viewButton = addButton("viewschalt", QStringLiteral("View"), tabbedViewTip(), 825, 330, 135);
    m_clearButton = addButton("tabclear", QStringLiteral("Delete"),
                              QStringLiteral("clear all tables"), 825, 330, 135);
    m_sendButton = addButton("sendMsg", QStringLiteral("SendMsg"),
                             QStringLiteral("send a message to another quorvik"), 825, 330, 135);
    m_filterButton = addButton("btnFilter", QStringLiteral("Filter ..."),
                               QStringLiteral("Filter Messages"), 825, 330, 135);
    m_logFileButton = addButton("btnSelLog", QStringLiteral("Logfile ..."),
                                QStringLiteral("Select a logfile"), 825, 330, 135);
    m_historyButton = addButton("btnHistory", QStringLiteral("History"),
                                QStringLiteral("Show messages from logile"), 825, 350, 150);
    m_exitButton =
        addButton("beenden", QStringLiteral("Exit"), QStringLiteral("Exit Quorvik"), 825, 350, 135);

    m_tabStrip = new QTabWidget(client);
    m_tabStrip->setObjectName(QStringLiteral("SSTab1"));
    m_tabStrip->setGeometry(twipsRect(kTabLeft, kTabTop, kTabWidth, kTabHeight));
    m_tabStrip->setUsesScrollButtons(false);  // all seven tabs in one row
    m_tabStrip->setElideMode(Qt::ElideRight); // only where the window is narrower than designed
    auto *tabStyle = new CompactTabStyle(QStyleFactory::create(QApplication::style()->name()));
    tabStyle->setParent(m_tabStrip->tabBar());
    m_tabStrip->tabBar()->setStyle(tabStyle);
    for (int i = 0; i < kLevelCount; ++i) {
        auto *page = new QWidget;
        auto *grid = new EventGrid(EventTable::Kind::LevelTable, page);
        grid->setObjectName(QStringLiteral("MSFlexGrid1_%1").arg(i));
        grid->setGeometry(twipsRect(0, 0, kGridWidth, kGridHeight));
        grid->table()->setAutoFlush(false);
        m_levelGrids[std::size_t(i)] = grid;
        m_tabStrip->addTab(page, QString::fromLatin1(kTabCaptions[i]));
        connect(grid, &EventGrid::pointerMoved, this, [this, grid](int y) { hover(grid, y); });
    }

    m_fullList = new EventGrid(EventTable::Kind::FullList, client);
    m_fullList->setObjectName(QStringLiteral("MSFlexGrid2"));
    m_fullList->table()->setAutoFlush(false);
    m_fullList->setGeometry(twipsRect(kListLeft, kListTop, kListWidth, kListHeight));
    connect(m_fullList, &EventGrid::pointerMoved, this, [this](int y) { hover(m_fullList, y); });
    connect(m_tabStrip, &QTabWidget::currentChanged, this, [this] { flushShownTable(); });
    connect(m_fullList, &QAbstractItemView::doubleClicked, this, &MainWindow::deleteEntry);

    m_messageLine = new QLabel(client);
    m_messageLine->setObjectName(QStringLiteral("Label1"));
    m_messageLine->setTextFormat(Qt::PlainText); // received text is never rendered as markup
    QFont bold(QStringLiteral("Sans Serif"));
    bold.setPointSizeF(8.25);
    bold.setBold(true);
    m_messageLine->setFont(bold);
    m_messageLine->resize(m_messageLine->width(), toPixels(kLabelHeight));

    m_lostLabel = new QLabel(m_toolbar);
    m_lostLabel->setObjectName(QStringLiteral("lostCount"));
    m_lostLabel->setStyleSheet(QStringLiteral("color: red; font-weight: bold"));
    m_lostLabel->setToolTip(QStringLiteral(
        "Events that reached this computer but were dropped before Quorvik could read them: "
        "the receive buffer was full (a flood, or a busy system). Quorvik asks for a 16 MiB "
        "buffer; without the capability CAP_NET_ADMIN the system's limit net.core.rmem_max "
        "caps it. Raise that limit (sysctl) or give the program the capability to prevent it. "
        "Delete clears the count."));
    m_lostLabel->hide();

    m_receiver = new Receiver(m_config.receiver, this);
    connect(m_receiver, &Receiver::datagramsReceived, this, &MainWindow::takeDatagrams);

    connect(m_viewButton, &QPushButton::clicked, this, [this] {
        setViewMode(m_viewMode == ViewMode::TabbedView ? ViewMode::FullList : ViewMode::TabbedView);
    });
    connect(m_clearButton, &QPushButton::clicked, this, &MainWindow::clearAllTables);
    connect(m_exitButton, &QPushButton::clicked, this, &QWidget::close);
    connect(m_sendButton, &QPushButton::clicked, this, &MainWindow::sendMessageRequested);
    connect(m_filterButton, &QPushButton::clicked, this, &MainWindow::filterRequested);
    connect(m_logFileButton, &QPushButton::clicked, this, &MainWindow::selectLogFileRequested);
    connect(m_historyButton, &QPushButton::clicked, this, [this] {
        // The running program itself, in the same working directory.
        const QString program = QCoreApplication::applicationFilePath();
        const QString error = m_config.processes->startDetached(program, {QStringLiteral("-H")});
        if (!error.isEmpty())
            m_config.boxes->report(
                this, QStringLiteral("Quorvik"),
                QStringLiteral("Cannot start the history window %1: %2").arg(program, error),
                QMessageBox::Warning);
    });
}

void MainWindow::createMenus() {
    auto addEntry = [](QMenu *menu, const char *name, const QString &caption,
                       const QKeySequence &shortcut) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(shortcut);
        return action;
    };
    QMenu *file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("menFile"));
    connect(
        addEntry(file, "menOption", QStringLiteral("Options"), QKeySequence(Qt::CTRL | Qt::Key_O)),
        &QAction::triggered, this, &MainWindow::optionsRequested);
    connect(addEntry(file, "menQuit", QStringLiteral("Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q)),
            &QAction::triggered, this, &QWidget::close);

    QMenu *view = menuBar()->addMenu(QStringLiteral("View"));
    view->setObjectName(QStringLiteral("menView"));
    m_fullListAction = addEntry(view, "menFullList", QStringLiteral("Full List"),
                                QKeySequence(Qt::CTRL | Qt::Key_F));
    m_tabbedListAction = addEntry(view, "menTabList", QStringLiteral("Tabbed List"),
                                  QKeySequence(Qt::CTRL | Qt::Key_T));
    m_fullListAction->setCheckable(true);
    m_tabbedListAction->setCheckable(true);
    m_tabbedListAction->setChecked(true);
    connect(m_fullListAction, &QAction::triggered, this,
            [this] { setViewMode(ViewMode::FullList); });
    connect(m_tabbedListAction, &QAction::triggered, this,
            [this] { setViewMode(ViewMode::TabbedView); });

    QMenu *info = menuBar()->addMenu(QStringLiteral("?"));
    info->setObjectName(QStringLiteral("menInf"));
    connect(addEntry(info, "menAbout", QStringLiteral("About"), QKeySequence(Qt::CTRL | Qt::Key_I)),
            &QAction::triggered, this, &MainWindow::aboutRequested);
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
    setUpTables();
    if (!m_config.historyMode)
        bindSocket();
    applyStoredGeometry(profile);
    m_tabStrip->setCurrentIndex(m_settings.startTab);
    setViewMode(m_settings.startInFullList ? ViewMode::FullList : ViewMode::TabbedView);
    // Only a missing log is created here; an existing one is not opened (a
    // history copy may have no right to write it). The first append gives an
    // empty one its header.
    reportLogResult(createMissingLogFile(m_settings.logFile));

    m_filterButton->setVisible(m_config.historyMode);
    m_logFileButton->setVisible(m_config.historyMode);
    m_historyButton->setVisible(!m_config.historyMode);
    m_clearButton->setVisible(!m_config.historyMode);
    m_sendButton->setVisible(!m_config.historyMode);
    return LoadResult::Running;
}

void MainWindow::setUpTables() {
    // Every row is as tall as the header; a header too low for its text
    // grows to the text's height and a margin.
    int rowHeight = m_levelGrids[0]->rowHeightTwips();
    const int textHeight = toTwips(QFontMetrics(m_levelGrids[0]->font()).height());
    if (textHeight > rowHeight)
        rowHeight = textHeight + 50;

    const double levelWidth = kGridWidth - kGridLeft + 150;
    const int levelRows = roundHalfEven(double(kGridHeight) / rowHeight);
    for (EventGrid *grid : m_levelGrids) {
        grid->setRowHeightTwips(rowHeight);
        grid->table()->setRows(levelRows);
        int others = 0;
        for (int c = 0; c < 4; ++c)
            others += grid->colWidth(c);
        grid->setColWidth(4, int(levelWidth) - others);
    }
    m_messageColumnWidth = m_levelGrids[0]->colWidth(4);

    // The Level column shows every level name whole.
    int levelColumn = m_fullList->colWidth(0);
    for (int i = 0; i <= kLevelCount + 1; ++i) {
        const std::string_view name = i < kLevelCount    ? levelByIndex(i).name
                                      : i == kLevelCount ? trapLevel().name
                                                         : unknownLevel().name;
        levelColumn = std::max(
            levelColumn, textWidthTwips(QString::fromLatin1(name.data(), qsizetype(name.size()))) +
                             kColumnMargin);
    }
    m_fullList->setColWidth(0, levelColumn);

    const double listWidth = kListWidth - kListLeft + 150;
    m_fullList->setRowHeightTwips(rowHeight);
    m_fullList->table()->setRows(roundHalfEven(double(kListHeight) / rowHeight));
    int others = 0;
    for (int c = 0; c < 5; ++c)
        others += m_fullList->colWidth(c);
    m_fullList->setColWidth(5, int(listWidth) - others);
    m_fullList->hide();
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

void MainWindow::applyStoredGeometry(const Profile &profile) {
    const QRect frame = frameGeometry();
    const WindowGeometry current{toTwips(frame.top()), toTwips(frame.left()),
                                 toTwips(frame.height()), toTwips(frame.width())};
    const WindowGeometry stored = geometryFromProfile(profile, current);
    const QRect placed =
        placeOnScreens(QRect(toPixels(double(stored.left)), toPixels(double(stored.top)),
                             toPixels(double(stored.width)), toPixels(double(stored.height))),
                       availableScreenAreas());
    move(placed.topLeft());
    m_storedOuterSize = placed.size();
    resizeToOuter(m_storedOuterSize);
}

void MainWindow::resizeToOuter(const QSize &outer) {
    // Stored sizes are outer sizes; the frame is whatever the window system adds.
    const QSize extra = frameGeometry().size() - size();
    resize(std::max(1, outer.width() - extra.width()),
           std::max(1, outer.height() - extra.height()));
}

void MainWindow::setSettings(const Settings &settings) {
    m_settings = settings;
    m_log.setPath(settings.logFile);
    m_fullList->table()->setLevelColours(settings.levelColours);
}

int MainWindow::textWidthTwips(const QString &text) const {
    return toTwips(QFontMetrics(m_levelGrids[0]->font()).horizontalAdvance(text) + m_cellPadding);
}

double MainWindow::asciiAdvance(char c) {
    double &advance = m_asciiAdvance[static_cast<unsigned char>(c)];
    if (advance == 0)
        advance = std::max(
            0.01, QFontMetricsF(m_levelGrids[0]->font()).horizontalAdvance(QLatin1Char(c)));
    return advance;
}

// Measuring every cell of every event is costly. Plain ASCII text is bounded
// by the sum of its characters' advances (shaping only narrows it), in
// fractional pixels so that the bound of a text is not above its measured
// width: a text as wide as the column is ruled out without measuring. -1
// when the text is not plain ASCII.
double MainWindow::asciiBound(std::string_view text, bool leadingBlank) {
    double pixels = m_cellPadding + (leadingBlank ? asciiAdvance(' ') : 0);
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code >= 128 || code < 32)
            return -1;
        pixels += asciiAdvance(c);
    }
    return pixels;
}

void MainWindow::noteWidthCandidate(int grid, int column, const EventRow &row) {
    const bool message = column == EventRow::kCells - 1;
    const double bound = asciiBound(row.bytes(column), message);
    EventGrid *table = m_levelGrids[std::size_t(grid)];
    if (bound < 0) { // measured at once
        const int wanted = textWidthTwips(row.cellText(column)) + kColumnMargin;
        if (wanted > table->colWidth(column))
            table->setColWidth(column, wanted);
        return;
    }
    WidthCandidate &candidate = m_widthCandidates[std::size_t(grid)][std::size_t(column)];
    if (bound > candidate.boundPixels &&
        toTwips(int(std::ceil(bound))) + kColumnMargin > table->colWidth(column))
        candidate = {bound, row.cellText(column)};
}

// Columns only grow, to the widest text + the margin; of a batch's plain
// ASCII texts only the one with the largest bound per column is measured.
void MainWindow::growColumns() {
    for (int i = 0; i < kLevelCount; ++i) {
        if (!std::exchange(m_touched[std::size_t(i)], false))
            continue;
        EventGrid *grid = m_levelGrids[std::size_t(i)];
        for (int c = 0; c < EventRow::kCells; ++c) {
            WidthCandidate &candidate = m_widthCandidates[std::size_t(i)][std::size_t(c)];
            if (candidate.boundPixels >= 0) {
                const int wanted = textWidthTwips(candidate.text) + kColumnMargin;
                if (wanted > grid->colWidth(c))
                    grid->setColWidth(c, wanted);
            }
            candidate = {};
            if (m_fullList->colWidth(c + 1) < grid->colWidth(c))
                m_fullList->setColWidth(c + 1, grid->colWidth(c));
        }
    }
    m_messageColumnWidth = std::max(m_messageColumnWidth, m_fullList->colWidth(5));
}

void MainWindow::insertIntoLevelTable(EventGrid *grid, const EventRow &row) {
    EventTable *table = grid->table();
    if (table->rows() > m_settings.maxLines)
        table->setRows(m_settings.maxLines - 1);
    table->insertTop(row);
}

void MainWindow::insertIntoFullList(const EventRow &row) {
    EventTable *table = m_fullList->table();
    if (table->rows() > m_settings.maxLines)
        table->setRows(m_settings.maxLines - 1);
    table->insertTop(row);
}

void MainWindow::processMessage(std::string_view text, const QString &senderAddress) {
    takeEvent(text, senderAddress.toStdString(), m_config.clock());
    finishBatch();
}

void MainWindow::takeEvents(const std::vector<EventRecord> &records) {
    for (const EventRecord &record : records)
        takeRecord(record);
    finishBatch();
}

void MainWindow::takeEvent(std::string_view text, std::string_view sender,
                           const LocalDateTime &now) {
    EventRecord record = parseEventMessage(text, sender, now);
    if (record.message.empty() && m_config.trapDecoder &&
        text.find(kSysDescrMarker) == std::string_view::npos)
        record.message = m_config.trapDecoder->describe(text);
    takeRecord(record);
}

void MainWindow::takeRecord(const EventRecord &record) {
    const Level &level = *record.level;
    m_pendingTab = level.index;

    const EventRow row(record);
    insertIntoLevelTable(m_levelGrids[std::size_t(level.index)], row);
    insertIntoFullList(row);
    m_touched[std::size_t(level.index)] = true;
    for (int c = 0; c < EventRow::kCells; ++c)
        noteWidthCandidate(level.index, c, row);
    m_messageLineTag = QStringLiteral("Actual Message:") + row.cellText(4);
    m_messageLinePending = true;

    if (m_config.historyMode)
        return playLevelSound(*m_config.sounds, m_settings.levelSounds, level.index);
    m_logBatch += formatLogLine(record);
    if (level.index < m_settings.popupLevel) {
        QStringList fields;
        for (int c = 0; c < EventRow::kCells; ++c)
            fields << QString::fromLocal8Bit(row.bytes(c).data(), qsizetype(row.bytes(c).size()));
        m_config.alerts->show(QString::fromLatin1(level.name.data(), qsizetype(level.name.size())),
                              fields);
    }
    playLevelSound(*m_config.sounds, m_settings.levelSounds, level.index);
}

// The end of a batch: columns grow once, the batch's lines go to the log in
// one write, the lost count is brought up to date.
void MainWindow::finishBatch() {
    growColumns();
    if (!m_logBatch.empty())
        reportLogResult(m_log.append(std::exchange(m_logBatch, {})));
    showLost();
    scheduleRefresh();
}

void MainWindow::showLost() {
    const std::uint64_t lost = m_receiver->lost() - std::min(m_receiver->lost(), m_lostCleared);
    if (lost == 0) {
        m_lostLabel->hide();
        return;
    }
    const QString text = withThousands(lost) + QStringLiteral(" lost");
    if (m_lostLabel->text() != text) {
        m_lostLabel->setText(text);
        m_lostLabel->adjustSize();
    }
    m_lostLabel->show();
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
    if (!m_refreshTimer->isActive())
        m_refreshTimer->start();
}

void MainWindow::refreshViews() {
    m_refreshTimer->stop();
    if (!isVisible() || isMinimized())
        return; // nothing is painted; showing the window catches up

    if (m_pendingTab >= 0)
        m_tabStrip->setCurrentIndex(std::exchange(m_pendingTab, -1));
    if (std::exchange(m_messageLinePending, false))
        setMessageLine(m_messageLineTag);
    flushShownTable();
}

// Only the table on screen follows every refresh; the others learn of their
// new rows in one go when they are shown.
void MainWindow::flushShownTable() {
    if (m_viewMode == ViewMode::FullList)
        m_fullList->table()->flushChanges();
    else
        m_levelGrids[std::size_t(m_tabStrip->currentIndex())]->table()->flushChanges();
}

void MainWindow::setMessageLine(const QString &text) {
    if (m_messageLine->text() != text)
        m_messageLine->setText(text);
}

void MainWindow::hover(EventGrid *grid, int y) {
    refreshViews(); // the row under the pointer is the row the view shows
    const int row = grid->gridRowAt(y);
    const QString message =
        row > 0 ? grid->table()->cellText(row, grid->table()->messageColumn()) : QString();
    setMessageLine(message.isEmpty() ? m_messageLineTag : message);
}

void MainWindow::deleteEntry(const QModelIndex &index) {
    if (!index.isValid())
        return;
    // Events may arrive while the question is open: the chosen row is found
    // again afterwards, or nothing is deleted (see EventTable::RowMark).
    EventTable *table = m_fullList->table();
    const EventTable::RowMark chosen = table->markRow(table->gridRowForView(index.row()));
    if (!m_config.boxes->askOkCancel(this, QStringLiteral("Warning"),
                                     QStringLiteral("Really delete entry ?"),
                                     QMessageBox::Question))
        return;
    table->removeRow(table->findRow(chosen));
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
    showLost();
    m_messageLineTag.clear();
    setMessageLine(QString());
    m_fullList->table()->clearAll();
    for (EventGrid *grid : m_levelGrids)
        grid->table()->clearAll();
}

void MainWindow::setViewMode(ViewMode mode) {
    m_viewMode = mode;
    const bool full = mode == ViewMode::FullList;
    m_fullList->setVisible(full);
    m_tabStrip->setVisible(!full);
    m_fullListAction->setChecked(full);
    m_tabbedListAction->setChecked(!full);
    m_viewButton->setToolTip(full ? fullListTip() : tabbedViewTip());
    flushShownTable();
}

void MainWindow::hideCurrentView() {
    (m_viewMode == ViewMode::FullList ? static_cast<QWidget *>(m_fullList) : m_tabStrip)->hide();
}

void MainWindow::showCurrentView() {
    (m_viewMode == ViewMode::FullList ? static_cast<QWidget *>(m_fullList) : m_tabStrip)->show();
}

void MainWindow::layoutControls() {
    if (isMinimized())
        return;
    const QRect frame = frameGeometry();
    const float W = float(toTwips(frame.width()));
    const float H = float(toTwips(frame.height()));
    const float T = float(toTwips(m_toolbar->height()));
    const float L = float(toTwips(m_messageLine->height()));

    float A = std::max(W - 600.0f, 1.0f);
    float B = std::max(H - T - 900.0f - L - 200.0f, 1.0f);
    m_messageLine->resize(std::max(1, toPixels(A)), m_messageLine->height());
    m_fullList->resize(std::max(1, toPixels(A)), std::max(1, toPixels(B)));
    const float listRow = float(m_fullList->rowHeightTwips());
    const int listRows = roundHalfEven(float(m_fullList->heightTwips()) / listRow + 1.0f);
    if (m_fullList->table()->rows() < listRows)
        m_fullList->table()->setRows(listRows);
    m_tabStrip->resize(std::max(1, toPixels(A)), std::max(1, toPixels(B)));

    A = std::max(A - 400.0f, 1.0f);
    B = std::max(B - 700.0f, 1.0f);
    for (EventGrid *grid : m_levelGrids) {
        const QPoint inset = grid->parentWidget()->mapFrom(
            m_tabStrip, QPoint(toPixels(kGridLeft), toPixels(kGridTop)));
        grid->setGeometry(std::max(0, inset.x()), std::max(0, inset.y()), std::max(1, toPixels(A)),
                          std::max(1, toPixels(B)));
        const int rows =
            roundHalfEven(float(grid->heightTwips()) / float(grid->rowHeightTwips()) + 1.0f);
        if (grid->table()->rows() < rows)
            grid->table()->setRows(rows);
    }

    int others = 0;
    for (int c = 0; c < 5; ++c)
        others += m_fullList->colWidth(c);
    const int M = std::max(int(A) - others - 100, 1);
    const int message = std::max(M, m_messageColumnWidth);
    for (EventGrid *grid : m_levelGrids)
        grid->setColWidth(4, message);
    m_fullList->setColWidth(5, message + 200);

    const int left = toPixels((W - float(toTwips(m_tabStrip->width()))) / 2.0f);
    const int top = m_toolbar->y() + m_toolbar->height() + toPixels(150);
    m_tabStrip->move(left, top);
    m_fullList->move(toPixels((W - float(m_fullList->widthTwips())) / 2.0f), top);

    m_toolbar->resize(std::max(width(), 1), m_toolbar->height());
    m_exitButton->move(left + m_tabStrip->width() - m_exitButton->width(), m_exitButton->y());
    m_viewButton->move(left, m_viewButton->y());
    m_clearButton->move(m_viewButton->x() + m_viewButton->width(), m_clearButton->y());
    m_sendButton->move(m_clearButton->x() + m_clearButton->width(), m_sendButton->y());
    m_historyButton->move(m_sendButton->x() + m_sendButton->width(), m_historyButton->y());
    m_lostLabel->move(m_historyButton->x() + m_historyButton->width() + toPixels(120),
                      m_historyButton->y() +
                          (m_historyButton->height() - m_lostLabel->height()) / 2);
    m_filterButton->move(m_viewButton->x() + m_viewButton->width(), m_filterButton->y());
    m_logFileButton->move(m_filterButton->x() + m_filterButton->width(), m_logFileButton->y());
    m_messageLine->move(m_viewButton->x(), m_fullList->y() + m_fullList->height() + toPixels(150));
}

void MainWindow::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    layoutControls();
}

void MainWindow::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    if (m_storedOuterSize.isValid()) {
        // The frame is known only once the window is shown.
        resizeToOuter(std::exchange(m_storedOuterSize, QSize()));
    }
    layoutControls();
    refreshViews(); // nothing was painted while hidden
}

void MainWindow::changeEvent(QEvent *event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        layoutControls(); // restoring a minimised window lays it out again
        refreshViews();
    }
}

bool MainWindow::isNormalState() const {
    return !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

void MainWindow::storeGeometry() {
    if (!isNormalState() || m_quitWithoutAsking)
        return;
    const QRect frame = frameGeometry();
    const WindowGeometry geometry{toTwips(frame.top()), toTwips(frame.left()),
                                  toTwips(frame.height()), toTwips(frame.width())};
    const QString error = m_profile.update([&](const std::string &old) {
        Profile profile = Profile::parse(old);
        writeGeometry(profile, geometry);
        return profile.text();
    });
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
    if (ask && !m_config.boxes->askOkCancel(this, QStringLiteral("Quorvik Termination"),
                                            QStringLiteral("Really quit Quorvik ?"),
                                            QMessageBox::Warning)) {
        event->ignore();
        return;
    }
    m_receiver->close();
    m_config.alerts->closeAll();
    event->accept();
    // The secondary windows (options, about, send message) go with it.
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window != this && window->parentWidget() == this)
            window->close();
}

} // namespace quorvik
