// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "main_window/main_window_ui.h"

#include "core/text_rules.h"
#include "core/units.h"
#include "main_window/filter_bar.h"
#include "tables/event_grid.h"

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOptionTab>
#include <QTabBar>
#include <QTabWidget>

namespace quorvik {

namespace {

const char *const kTabCaptions[kLevelCount] = {"Emergency", "Panic",       "Critical", "Alert",
                                               "Warning",   "Information", "Note"};

// Tabs with two thirds of the style's side padding, so that the seven
// captions read whole at the design width; a marked tab (its data true) has
// a bold caption, for which every tab keeps room so that none moves.
class CompactTabStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int pixelMetric(PixelMetric metric, const QStyleOption *option,
                    const QWidget *widget) const override {
        const int value = QProxyStyle::pixelMetric(metric, option, widget);
        return metric == PM_TabBarTabHSpace ? value * 2 / 3 : value;
    }
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override {
        QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
        const auto *tab = qstyleoption_cast<const QStyleOptionTab *>(option);
        if (type == CT_TabBarTab && tab && widget)
            result.rwidth() += QFontMetrics(bold(widget->font())).horizontalAdvance(tab->text) -
                               QFontMetrics(widget->font()).horizontalAdvance(tab->text);
        return result;
    }
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override {
        const auto *bar = qobject_cast<const QTabBar *>(widget);
        if (element != CE_TabBarTabLabel || !bar ||
            !bar->tabData(bar->tabAt(option->rect.center())).toBool()) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        painter->save();
        painter->setFont(bold(painter->font()));
        QProxyStyle::drawControl(element, option, painter, widget);
        painter->restore();
    }

private:
    static QFont bold(QFont font) {
        font.setBold(true);
        return font;
    }
};

QPushButton *addButton(QWidget *toolbar, const char *name, const QString &caption,
                       const QString &toolTip) {
    auto *button = new QPushButton(caption, toolbar);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(toolTip);
    button->setAccessibleName(caption);
    button->setAccessibleDescription(toolTip);
    return button;
}

QAction *addEntry(QMenu *menu, const char *name, const QString &caption,
                  const QKeySequence &shortcut) {
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    return action;
}

QMenu *addMenu(QMainWindow *window, const char *name, const QString &caption) {
    QMenu *menu = window->menuBar()->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

} // namespace

void MainWindowUi::setupUi(QMainWindow *window) {
    window->setObjectName(QStringLiteral("Form1"));
    window->setWindowTitle(QStringLiteral("Quorvik"));
    // The design sizes assume a small dialog font: the system sans at 8.25 point.
    QFont font = QApplication::font();
    font.setPointSizeF(8.25);
    window->setFont(font);
    auto *client = new QWidget(window);
    window->setCentralWidget(client);
    toolbar = new QWidget(client);
    toolbar->setObjectName(QStringLiteral("Toolbar1"));
    toolbar->setGeometry(0, 0, toPixels(design::kClientWidth), toPixels(design::kToolbarHeight));
    createButtons();
    // Created in reading order, which is the order Tab follows.
    filterBar = new FilterBar(client);
    filterBar->hide();
    createTables(client);

    messageLine = new QLabel(client);
    messageLine->setObjectName(QStringLiteral("Label1"));
    messageLine->setTextFormat(Qt::PlainText); // received text is never rendered as markup
    QFont bold(QStringLiteral("Sans Serif"));
    bold.setPointSizeF(8.25);
    bold.setBold(true);
    messageLine->setFont(bold);
    messageLine->resize(messageLine->width(), toPixels(design::kLabelHeight));
    messageLine->setAccessibleName(QStringLiteral("Message"));
    createMenus(window);
}

void MainWindowUi::createButtons() {
    viewButton = addButton(toolbar, "viewschalt", QStringLiteral("View"),
                           QStringLiteral("show all messages in one table"));
    clearButton = addButton(toolbar, "tabclear", QStringLiteral("Delete"),
                            QStringLiteral("clear all tables"));
    sendButton = addButton(toolbar, "sendMsg", QStringLiteral("SendMsg"),
                           QStringLiteral("send a message to another quorvik"));
    filterButton = addButton(toolbar, "btnFilter", QStringLiteral("Filter ..."),
                             QStringLiteral("Filter Messages"));
    logFileButton = addButton(toolbar, "btnSelLog", QStringLiteral("Logfile ..."),
                              QStringLiteral("Select a logfile"));
    historyButton = addButton(toolbar, "btnHistory", QStringLiteral("History"),
                              QStringLiteral("Show messages from logile"));
    exitButton =
        addButton(toolbar, "beenden", QStringLiteral("Exit"), QStringLiteral("Exit Quorvik"));

    lostLabel = new QLabel(toolbar);
    lostLabel->setObjectName(QStringLiteral("lostCount"));
    lostLabel->setStyleSheet(QStringLiteral("color: red; font-weight: bold"));
    lostLabel->hide();

    notRunLabel = new QLabel(toolbar);
    notRunLabel->setObjectName(QStringLiteral("notRunCount"));
    notRunLabel->setStyleSheet(lostLabel->styleSheet());
    notRunLabel->setTextFormat(Qt::PlainText); // rule names are never markup
    notRunLabel->hide();
    notForwardedLabel = new QLabel(toolbar);
    notForwardedLabel->setObjectName(QStringLiteral("notForwardedCount"));
    notForwardedLabel->setStyleSheet(lostLabel->styleSheet());
    notForwardedLabel->setTextFormat(Qt::PlainText); // error texts are never markup
    notForwardedLabel->hide();
    rejectedLabel = new QLabel(toolbar);
    rejectedLabel->setObjectName(QStringLiteral("rejectedCount"));
    rejectedLabel->setStyleSheet(lostLabel->styleSheet());
    rejectedLabel->setTextFormat(Qt::PlainText);
    rejectedLabel->hide();
}

void MainWindowUi::createTables(QWidget *client) {
    using namespace design;
    tabStrip = new QTabWidget(client);
    tabStrip->setObjectName(QStringLiteral("SSTab1"));
    tabStrip->setGeometry(twipsRect(kTabLeft, kTabTop, kTabWidth, kTabHeight));
    tabStrip->setUsesScrollButtons(false);  // all seven tabs in one row
    tabStrip->setElideMode(Qt::ElideRight); // only where the window is narrower than designed
    auto *tabStyle = new CompactTabStyle(QStyleFactory::create(QApplication::style()->name()));
    tabStyle->setParent(tabStrip->tabBar());
    tabStrip->tabBar()->setStyle(tabStyle);
    for (int i = 0; i < kLevelCount; ++i) {
        auto *page = new QWidget;
        auto *grid = new EventGrid(EventTable::Kind::LevelTable, page);
        grid->setObjectName(QStringLiteral("MSFlexGrid1_%1").arg(i));
        grid->setGeometry(twipsRect(0, 0, kGridWidth, kGridHeight));
        grid->table()->setAutoFlush(false);
        grid->setAccessibleName(QStringLiteral("%1 events").arg(QLatin1String(kTabCaptions[i])));
        levelGrids[std::size_t(i)] = grid;
        tabStrip->addTab(page, QString::fromLatin1(kTabCaptions[i]));
    }

    fullList = new EventGrid(EventTable::Kind::FullList, client);
    fullList->setObjectName(QStringLiteral("MSFlexGrid2"));
    fullList->table()->setAutoFlush(false);
    fullList->setAccessibleName(QStringLiteral("All events"));
    fullList->setGeometry(twipsRect(kListLeft, kListTop, kListWidth, kListHeight));
}

void MainWindowUi::createMenus(QMainWindow *window) {
    QMenu *file = addMenu(window, "menFile", QStringLiteral("File"));
    optionsAction =
        addEntry(file, "menOption", QStringLiteral("Options"), QKeySequence(Qt::CTRL | Qt::Key_O));
    quitAction =
        addEntry(file, "menQuit", QStringLiteral("Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu *edit = addMenu(window, "menEdit", QStringLiteral("Edit"));
    copyAction = addEntry(edit, "menCopy", QStringLiteral("Copy"), QKeySequence::Copy);
    detailsAction = addEntry(edit, "menDetails", QStringLiteral("Details…"),
                             QKeySequence(Qt::CTRL | Qt::Key_D));
    acknowledgeAction = addEntry(edit, "menAcknowledge", QStringLiteral("Acknowledge\u2026"),
                                 QKeySequence(Qt::CTRL | Qt::Key_K));

    QMenu *view = addMenu(window, "menView", QStringLiteral("View"));
    fullListAction = addEntry(view, "menFullList", QStringLiteral("Full List"),
                              QKeySequence(Qt::CTRL | Qt::Key_F));
    tabbedListAction = addEntry(view, "menTabList", QStringLiteral("Tabbed List"),
                                QKeySequence(Qt::CTRL | Qt::Key_T));
    filterAction = addEntry(view, "menFilter", QStringLiteral("Filter"),
                            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    fullListAction->setCheckable(true);
    tabbedListAction->setCheckable(true);
    tabbedListAction->setChecked(true);

    QMenu *info = addMenu(window, "menInf", QStringLiteral("?"));
    aboutAction =
        addEntry(info, "menAbout", QStringLiteral("About"), QKeySequence(Qt::CTRL | Qt::Key_I));
}

void MainWindowUi::setUpRows() {
    int rowHeight = levelGrids[0]->rowHeightTwips();
    const int textHeight = toTwips(QFontMetrics(levelGrids[0]->font()).height());
    if (textHeight > rowHeight)
        rowHeight = textHeight + 50;
    const int levelRows = roundHalfEven(double(design::kGridHeight) / rowHeight);
    for (EventGrid *grid : levelGrids) {
        grid->setRowHeightTwips(rowHeight);
        grid->table()->setRows(levelRows);
    }
    fullList->setRowHeightTwips(rowHeight);
    fullList->table()->setRows(roundHalfEven(double(design::kListHeight) / rowHeight));
    fullList->hide();
}

void MainWindowUi::showButtonsFor(bool historyMode) {
    filterButton->setVisible(historyMode);
    logFileButton->setVisible(historyMode);
    historyButton->setVisible(!historyMode);
    clearButton->setVisible(!historyMode);
    sendButton->setVisible(!historyMode);
    // A history copy shows acknowledgements as events; it takes none.
    acknowledgeAction->setVisible(!historyMode);
    acknowledgeAction->setEnabled(!historyMode);
}

void MainWindowUi::showView(bool full) {
    fullList->setVisible(full);
    filterBar->showLevelToggles(full);
    tabStrip->setVisible(!full);
    fullListAction->setChecked(full);
    tabbedListAction->setChecked(!full);
    viewButton->setToolTip(full ? QStringLiteral("show messages by level")
                                : QStringLiteral("show all messages in one table"));
}

QWidget *MainWindowUi::view(bool full) const {
    return full ? static_cast<QWidget *>(fullList) : tabStrip;
}

LayoutInput MainWindowUi::layoutInput() const {
    LayoutInput in;
    in.toolbarHeight = toolbar->height();
    in.filterBarHeight = filterBar->isHidden() ? 0 : filterBar->sizeHint().height();
    in.labelHeight = messageLine->height();
    in.lostLabelHeight = lostLabel->height();
    in.pageOffset = levelGrids[0]->parentWidget()->mapTo(tabStrip, QPoint());
    in.listRowTwips = fullList->rowHeightTwips();
    in.gridRowTwips = levelGrids[0]->rowHeightTwips();
    for (int c = 0; c < 5; ++c)
        in.listColumnsTwips += fullList->colWidth(c);
    return in;
}

void MainWindowUi::applyLayout(const MainLayout &layout) {
    toolbar->setGeometry(layout.toolbar);
    viewButton->setGeometry(layout.viewButton);
    clearButton->setGeometry(layout.clearButton);
    sendButton->setGeometry(layout.sendButton);
    historyButton->setGeometry(layout.historyButton);
    filterButton->setGeometry(layout.filterButton);
    logFileButton->setGeometry(layout.logFileButton);
    exitButton->setGeometry(layout.exitButton);
    lostLabel->move(layout.lostLabel);
    lineUpCounts();
    filterBar->setGeometry(layout.filterBar);

    tabStrip->setGeometry(layout.tabStrip);
    fullList->setGeometry(layout.fullList);
    if (fullList->table()->rows() < layout.listRows)
        fullList->table()->setRows(layout.listRows);
    fullList->setColWidth(5, layout.listMessageTwips);
    for (EventGrid *grid : levelGrids) {
        grid->setGeometry(layout.levelGrid);
        if (grid->table()->rows() < layout.gridRows)
            grid->table()->setRows(layout.gridRows);
        grid->setColWidth(4, layout.gridMessageTwips);
    }
    messageLine->setGeometry(layout.messageLine);
}

void MainWindowUi::markTab(int index, bool marked) {
    QTabBar *bar = tabStrip->tabBar();
    if (isTabMarked(index) == marked)
        return;
    bar->setTabData(index, marked);
    bar->update(bar->tabRect(index));
}

bool MainWindowUi::isTabMarked(int index) const {
    return tabStrip->tabBar()->tabData(index).toBool();
}

namespace {

// Why events were lost, each reason that counted.
QString lostToolTip(const IntakeLosses &lost) {
    QStringList reasons;
    if (lost.dropped > 0 || lost.total() == 0)
        reasons << QStringLiteral(
            "Events that reached this computer but were dropped before Quorvik could read them: "
            "the receive buffer was full (a flood, or a busy system). Quorvik asks for a 16 MiB "
            "buffer; without the capability CAP_NET_ADMIN the system's limit net.core.rmem_max "
            "caps it. Raise that limit (sysctl) or give the program the capability to prevent it.");
    if (lost.refused > 0)
        reasons << QStringLiteral("%1 syslog connections refused: more than 1,000 senders were "
                                  "connected at once.")
                       .arg(QString::fromStdString(withThousands(lost.refused)));
    if (lost.cut > 0)
        reasons << QStringLiteral("%1 syslog messages longer than 64 KiB were cut; they end "
                                  "in \u2026.")
                       .arg(QString::fromStdString(withThousands(lost.cut)));
    reasons << QStringLiteral("Delete clears the count.");
    return reasons.join(QStringLiteral("\n\n"));
}

} // namespace

void MainWindowUi::showLost(const IntakeLosses &lost) {
    if (lost.total() == 0) {
        lostLabel->hide();
        lineUpCounts();
        return;
    }
    lostLabel->setToolTip(lostToolTip(lost));
    const QString text =
        QString::fromStdString(withThousands(lost.total())) + QStringLiteral(" lost");
    if (lostLabel->text() != text) {
        lostLabel->setText(text);
        lostLabel->adjustSize();
    }
    lostLabel->show();
    lineUpCounts();
}

void MainWindowUi::showNotRun(std::uint64_t count, const QString &rules) {
    if (count == 0) {
        notRunLabel->hide();
        lineUpCounts();
        return;
    }
    notRunLabel->setToolTip(
        QStringLiteral("Events whose rule's program did not run: at most 4 programs run at "
                       "once and 100 wait; the events beyond were logged, shown and forwarded, "
                       "but their programs were not started.\n") +
        rules + QStringLiteral("\nDelete clears the count."));
    const QString text = QString::fromStdString(withThousands(count)) + QStringLiteral(" not run");
    if (notRunLabel->text() != text) {
        notRunLabel->setText(text);
        notRunLabel->adjustSize();
    }
    notRunLabel->show();
    lineUpCounts();
}

void MainWindowUi::showNotForwarded(std::uint64_t count, const QString &failing,
                                    const QString &targets) {
    notForwardedLabel->setToolTip(
        QStringLiteral("Forwarding to syslog collectors. Events are not forwarded when a "
                       "target is unreachable or slow while its queue (100,000 events or "
                       "64 MiB) is full.\n") +
        targets);
    if (count == 0 && failing.isEmpty()) {
        notForwardedLabel->hide();
        lineUpCounts();
        return;
    }
    QStringList parts;
    if (count > 0)
        parts << QString::fromStdString(withThousands(count)) + QStringLiteral(" not forwarded");
    if (!failing.isEmpty())
        parts << failing;
    notForwardedLabel->setText(parts.join(QStringLiteral("; ")));
    notForwardedLabel->adjustSize();
    notForwardedLabel->show();
    lineUpCounts();
}

void MainWindowUi::showRejected(std::uint64_t rejected,
                                const std::list<std::pair<std::string, std::string>> &reasons) {
    if (rejected == 0) {
        rejectedLabel->hide();
        return;
    }
    const QString text =
        QString::fromStdString(withThousands(rejected)) + QStringLiteral(" rejected");
    if (rejectedLabel->text() != text) {
        rejectedLabel->setText(text);
        rejectedLabel->adjustSize();
    }
    QString tip = QStringLiteral("SNMPv3 messages refused by the security settings (users under "
                                 "Options, SNMPv3). The latest reason of each sender:");
    for (const auto &[sender, reason] : reasons)
        tip += QLatin1Char('\n') + QString::fromStdString(sender) + QStringLiteral(": ") +
               QString::fromStdString(reason);
    tip += QStringLiteral("\nDelete clears the count.");
    rejectedLabel->setToolTip(tip);
    rejectedLabel->show();
    lineUpCounts();
}

// The counts side by side from the lost count's place, the hidden ones left out.
void MainWindowUi::lineUpCounts() {
    QPoint at = lostLabel->pos();
    if (!lostLabel->isHidden())
        at.rx() += lostLabel->width() + toPixels(120);
    notRunLabel->move(at);
    if (!notRunLabel->isHidden())
        at.rx() += notRunLabel->width() + toPixels(120);
    notForwardedLabel->move(at);
    if (!notForwardedLabel->isHidden())
        at.rx() += notForwardedLabel->width() + toPixels(120);
    rejectedLabel->move(at);
}

} // namespace quorvik
