// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window's layout as a function of its sizes: a table of window
// sizes and the rectangles the controls get.

#include "main_window/main_layout.h"

#include <QTest>

using quorvik::LayoutInput;
using quorvik::layOutMainWindow;
using quorvik::MainLayout;

namespace {

// A 35-pixel button strip, a 29-pixel message line, 16-twip rows, tab pages
// 2 pixels in and 28 down, the full list's first five columns 3000 twips wide
// and the widest message so far 2500 twips.
LayoutInput inputFor(QSize outer, int filterBarHeight = 0) {
    LayoutInput in;
    in.filterBarHeight = filterBarHeight;
    in.outer = outer;
    in.innerWidth = outer.width();
    in.toolbarHeight = 35;
    in.labelHeight = 29;
    in.lostLabelHeight = 20;
    in.pageOffset = QPoint(2, 28);
    in.listColumnsTwips = 3000;
    in.messageColumnTwips = 2500;
    return in;
}

} // namespace

class MainLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void tablesFollowWindowSize_data();
    void tablesFollowWindowSize();
    void buttonsSideBySideExitRight();
};

void MainLayoutTest::tablesFollowWindowSize_data() {
    QTest::addColumn<QSize>("outer");
    QTest::addColumn<int>("filterBar"); // its height; 0: hidden
    QTest::addColumn<QRect>("tables");  // the tab strip and the full list
    QTest::addColumn<QRect>("grid");    // a level table in its tab page
    QTest::addColumn<QRect>("messageLine");
    QTest::addColumn<int>("listRows");
    QTest::addColumn<int>("gridRows");
    QTest::addColumn<int>("messageTwips");
    QTest::newRow("design size") << QSize(505, 394) << 0 << QRect(20, 45, 465, 257)
                                 << QRect(14, 12, 438, 210) << QRect(20, 312, 465, 29) << 17 << 14
                                 << 3475;
    QTest::newRow("tiny: sizes of one")
        << QSize(1, 1) << 0 << QRect(0, 45, 1, 1) << QRect(14, 12, 1, 1) << QRect(0, 56, 1, 29) << 1
        << 1 << 2500;
    QTest::newRow("tall: more rows")
        << QSize(505, 1000) << 0 << QRect(20, 45, 465, 863) << QRect(14, 12, 438, 816)
        << QRect(20, 918, 465, 29) << 55 << 52 << 3475;
    QTest::newRow("narrow: message never narrower than the widest")
        << QSize(200, 394) << 0 << QRect(20, 45, 160, 257) << QRect(14, 12, 133, 210)
        << QRect(20, 312, 160, 29) << 17 << 14 << 2500;
    // The filter bar's height comes off the tables; the message line stays.
    QTest::newRow("design size, filter bar")
        << QSize(505, 394) << 24 << QRect(20, 69, 465, 233) << QRect(14, 12, 438, 186)
        << QRect(20, 312, 465, 29) << 16 << 13 << 3475;
    QTest::newRow("tiny, filter bar")
        << QSize(1, 1) << 24 << QRect(0, 69, 1, 1) << QRect(14, 12, 1, 1) << QRect(0, 80, 1, 29)
        << 1 << 1 << 2500;
}

void MainLayoutTest::tablesFollowWindowSize() {
    QFETCH(QSize, outer);
    QFETCH(int, filterBar);
    const MainLayout layout = layOutMainWindow(inputFor(outer, filterBar));
    QTEST(layout.tabStrip, "tables");
    QTEST(layout.fullList, "tables");
    QTEST(layout.levelGrid, "grid");
    QTEST(layout.messageLine, "messageLine");
    QTEST(layout.listRows, "listRows");
    QTEST(layout.gridRows, "gridRows");
    QTEST(layout.gridMessageTwips, "messageTwips");
    QCOMPARE(layout.listMessageTwips, layout.gridMessageTwips + 200);
    QCOMPARE(layout.toolbar, QRect(0, 0, std::max(1, outer.width()), 35));
    // Below the button strip, as wide as the tables.
    QCOMPARE(layout.filterBar, QRect(layout.tabStrip.x(), 35, layout.tabStrip.width(), filterBar));
}

void MainLayoutTest::buttonsSideBySideExitRight() {
    const MainLayout layout = layOutMainWindow(inputFor(QSize(505, 394)));
    QCOMPARE(layout.viewButton, QRect(20, 9, 55, 22));
    QCOMPARE(layout.clearButton, QRect(75, 9, 55, 22));
    QCOMPARE(layout.sendButton, QRect(130, 9, 55, 22));
    QCOMPARE(layout.historyButton, QRect(185, 10, 55, 23));
    QCOMPARE(layout.filterButton, QRect(75, 9, 55, 22));
    QCOMPARE(layout.logFileButton, QRect(130, 9, 55, 22));
    QCOMPARE(layout.exitButton, QRect(430, 9, 55, 23));
    QCOMPARE(layout.lostLabel, QPoint(248, 11));
}

QTEST_APPLESS_MAIN(MainLayoutTest)
#include "tst_main_layout.moc"
