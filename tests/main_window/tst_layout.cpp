// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window's start-up, layout, view modes and shutdown, on the real
// window.

#include "form_fixture.h"

#include "core/profile.h"

#include <QAction>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>

using namespace quorvik;
using namespace quorvik::testing;

namespace {

QAction *action(MainWindow &form, const char *name) {
    return form.findChild<QAction *>(QString::fromLatin1(name));
}
QPushButton *button(MainWindow &form, const char *name) {
    return form.findChild<QPushButton *>(QString::fromLatin1(name));
}
std::string configValue(const FormFixture &f, const char *key) {
    return Profile::parse(f.readFile(f.configPath()).toStdString()).value("Global", key, "<none>");
}

} // namespace

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void layoutFollowsWindowSize();
    void tinyWindowGivesSizesOfOne();
    void minimisedWindowKeepsControls();
    void tallerAddsRowsSmallerRemovesNone();
    void viewSwitchingKeepsIndicatorsInStep();
    void ctrlTFromTheFullListLaysOutTheLevelTables();
    void startViewAndTabFromConfiguration_data();
    void startViewAndTabFromConfiguration();
    void buttonsFollowMode_data();
    void buttonsFollowMode();
    void tablesStartWithHeadersAndRows();
    void captionsReadWholeAtDesignSize();
    void storedGeometryIsApplied();
    void storedGeometryIsKeptOnScreen_data();
    void storedGeometryIsKeptOnScreen();
    void quitAsksAndStoresGeometry();
    void quitClosesSecondaryWindowsOnly();
    void maximisedQuitStoresNoGeometry();
    void systemQuitAndHistoryQuitDontAsk();
    void secondLiveCopyIsRefused();
    void historyCopyNeverBlocksLiveCopy();
};

void LayoutTest::layoutFollowsWindowSize() {
    FormFixture f;
    f.start();
    f.form->resize(640, 480);
    QCoreApplication::processEvents();
    const QRect frame = f.form->frameGeometry();
    const double W = toTwips(frame.width()), H = toTwips(frame.height());
    const double A = W - 600, B = H - 525 - 900 - 432 - 200;
    EventGrid *full = fullListOf(*f.form);
    QCOMPARE(full->width(), toPixels(A));
    QCOMPARE(full->height(), toPixels(B));
    QCOMPARE(tabStripOf(*f.form)->size(), full->size());
    QCOMPARE(tabStripOf(*f.form)->x(), toPixels((W - toTwips(toPixels(A))) / 2));
    QCOMPARE(full->pos(), tabStripOf(*f.form)->pos());
    QCOMPARE(tabStripOf(*f.form)->y(), toPixels(525) + toPixels(150));
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(levelGridOf(*f.form, i)->width(), toPixels(A - 400));
        QCOMPARE(levelGridOf(*f.form, i)->height(), toPixels(B - 700));
    }
    QCOMPARE(f.form->messageLine()->y(), full->y() + full->height() + toPixels(150));
    QCOMPARE(f.form->messageLine()->width(), toPixels(A));
    // Buttons: right-aligned Exit, the others side by side from the left.
    QPushButton *view = button(*f.form, "viewschalt");
    QCOMPARE(view->x(), tabStripOf(*f.form)->x());
    QCOMPARE(button(*f.form, "tabclear")->x(), view->x() + view->width());
    QCOMPARE(button(*f.form, "btnFilter")->x(), view->x() + view->width());
    QCOMPARE(button(*f.form, "beenden")->geometry().right(),
             tabStripOf(*f.form)->geometry().right());
    // A wide window widens the Message columns to fill the table.
    int others = 0;
    for (int c = 0; c < 5; ++c)
        others += full->colWidth(c);
    const int M = int(A - 400) - others - 100;
    QCOMPARE(levelGridOf(*f.form, 0)->colWidth(4), std::max(M, f.form->messageColumnWidth()));
    QCOMPARE(full->colWidth(5), levelGridOf(*f.form, 0)->colWidth(4) + 200);
}

void LayoutTest::tinyWindowGivesSizesOfOne() {
    FormFixture f;
    f.start();
    f.form->resize(1, 1);
    f.form->layoutControls();
    QCOMPARE(fullListOf(*f.form)->height(), 1);
    QCOMPARE(levelGridOf(*f.form, 3)->height(), 1);
    QVERIFY(fullListOf(*f.form)->width() >= 1);
    QVERIFY(levelGridOf(*f.form, 0)->colWidth(4) >= f.form->messageColumnWidth());
}

void LayoutTest::minimisedWindowKeepsControls() {
    FormFixture f;
    f.start();
    const QRect before = fullListOf(*f.form)->geometry();
    f.form->setWindowState(Qt::WindowMinimized);
    f.form->resize(900, 700);
    f.form->layoutControls();
    QCOMPARE(fullListOf(*f.form)->geometry(), before);
    f.form->setWindowState(Qt::WindowNoState);
    f.form->layoutControls();
    QVERIFY(fullListOf(*f.form)->geometry() != before);
}

void LayoutTest::tallerAddsRowsSmallerRemovesNone() {
    FormFixture f;
    f.start();
    const int before = levelGridOf(*f.form, 2)->table()->rows();
    f.form->resize(600, 1000);
    f.form->layoutControls();
    const int taller = levelGridOf(*f.form, 2)->table()->rows();
    QVERIFY(taller > before);
    for (int i = 0; i < 7; ++i)
        QCOMPARE(levelGridOf(*f.form, i)->table()->rows(), taller);
    QVERIFY(fullListOf(*f.form)->table()->rows() > before);
    f.form->resize(600, 300);
    f.form->layoutControls();
    QCOMPARE(levelGridOf(*f.form, 2)->table()->rows(), taller);
}

void LayoutTest::viewSwitchingKeepsIndicatorsInStep() {
    FormFixture f;
    f.start();
    MainWindow &form = *f.form;
    auto check = [&](MainWindow::ViewMode mode) {
        const bool full = mode == MainWindow::ViewMode::FullList;
        QCOMPARE(fullListOf(form)->isVisible(), full);
        QCOMPARE(tabStripOf(form)->isVisible(), !full);
        QCOMPARE(action(form, "menFullList")->isChecked(), full);
        QCOMPARE(action(form, "menTabList")->isChecked(), !full);
        QCOMPARE(button(form, "viewschalt")->toolTip(),
                 full ? QStringLiteral("show messages by level")
                      : QStringLiteral("show all messages in one table"));
    };
    check(MainWindow::ViewMode::TabbedView);
    QTest::mouseClick(button(form, "viewschalt"), Qt::LeftButton);
    check(MainWindow::ViewMode::FullList);
    QTest::mouseClick(button(form, "viewschalt"), Qt::LeftButton);
    check(MainWindow::ViewMode::TabbedView);
    action(form, "menFullList")->trigger();
    check(MainWindow::ViewMode::FullList);
    action(form, "menFullList")->trigger(); // already shown: still the full list
    check(MainWindow::ViewMode::FullList);
    action(form, "menTabList")->trigger();
    check(MainWindow::ViewMode::TabbedView);
    QCOMPARE(action(form, "menFullList")->shortcut(), QKeySequence(QStringLiteral("Ctrl+F")));
    QCOMPARE(action(form, "menTabList")->shortcut(), QKeySequence(QStringLiteral("Ctrl+T")));

    form.hideCurrentView();
    QVERIFY(!tabStripOf(form)->isVisible());
    QVERIFY(!fullListOf(form)->isVisible());
    QVERIFY(action(form, "menTabList")->isChecked());
    form.showCurrentView();
    QVERIFY(tabStripOf(form)->isVisible());
    QVERIFY(!fullListOf(form)->isVisible());
}

// Started in the full list, Ctrl+T shows the level tables as a start in
// them does: inside their pages, nothing clipped.
void LayoutTest::ctrlTFromTheFullListLaysOutTheLevelTables() {
    FormFixture tabbed;
    tabbed.start();
    const QRect expected = levelGridOf(*tabbed.form, 3)->geometry();
    tabbed.form.reset();
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    f.start();
    f.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
    QTest::keyClick(f.form->windowHandle(), Qt::Key_T, Qt::ControlModifier);
    QVERIFY(tabStripOf(*f.form)->isVisible());
    QCOMPARE(levelGridOf(*f.form, 3)->geometry(), expected);
}

void LayoutTest::startViewAndTabFromConfiguration_data() {
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<bool>("fullList");
    QTest::addColumn<int>("tab");
    QTest::newRow("defaults") << QByteArray() << false << 3;
    QTest::newRow("IniGrid 1, StartTab 5")
        << QByteArray("IniGrid=1\r\nStartTab=5\r\n") << true << 5;
    QTest::newRow("IniGrid yes") << QByteArray("IniGrid=yes\r\n") << true << 3;
    QTest::newRow("IniGrid 0") << QByteArray("IniGrid=0\r\nStartTab=0\r\n") << false << 0;
    QTest::newRow("StartTab above range") << QByteArray("StartTab=9\r\n") << false << 6;
    QTest::newRow("StartTab below range") << QByteArray("StartTab=-2\r\n") << false << 0;
}

void LayoutTest::startViewAndTabFromConfiguration() {
    QFETCH(QByteArray, config);
    QFETCH(bool, fullList);
    QFETCH(int, tab);
    FormFixture f("[Global]\r\n" + config);
    f.start();
    QCOMPARE(fullListOf(*f.form)->isVisible(), fullList);
    QCOMPARE(action(*f.form, "menFullList")->isChecked(), fullList);
    QCOMPARE(tabStripOf(*f.form)->currentIndex(), tab);
}

void LayoutTest::buttonsFollowMode_data() {
    QTest::addColumn<bool>("history");
    QTest::newRow("live") << false;
    QTest::newRow("history") << true;
}

void LayoutTest::buttonsFollowMode() {
    QFETCH(bool, history);
    FormFixture f({}, history);
    f.start();
    for (const char *name : {"btnFilter", "btnSelLog"})
        QCOMPARE(button(*f.form, name)->isVisible(), history);
    for (const char *name : {"btnHistory", "tabclear", "sendMsg"})
        QCOMPARE(button(*f.form, name)->isVisible(), !history);
    QVERIFY(button(*f.form, "viewschalt")->isVisible());
    QVERIFY(button(*f.form, "beenden")->isVisible());
}

void LayoutTest::tablesStartWithHeadersAndRows() {
    FormFixture f;
    f.start();
    EventTable *level = levelGridOf(*f.form, 0)->table();
    EventTable *full = fullListOf(*f.form)->table();
    QCOMPARE(level->columnCount(), 5);
    QCOMPARE(full->columnCount(), 6);
    QCOMPARE(level->cellText(0, 4), QStringLiteral("Message"));
    QCOMPARE(full->cellText(0, 0), QStringLiteral("Level"));
    QVERIFY(level->rows() > 2);
    QVERIFY(full->rows() > 2);
    QCOMPARE(tabStripOf(*f.form)->count(), 7);
    QCOMPARE(tabStripOf(*f.form)->tabText(5), QStringLiteral("Information"));
    QVERIFY(QFile::exists(f.logPath()));
    QCOMPARE(f.readFile(f.logPath()),
             QByteArray("Level;Date;Processor;Application;Object;Message\r\n"));
}

void LayoutTest::captionsReadWholeAtDesignSize() {
    FormFixture f;
    f.start();
    // A tab bar elides only when the tabs' whole captions don't fit.
    QTabBar *tabs = tabStripOf(*f.form)->tabBar();
    QVERIFY2(tabs->sizeHint().width() <= tabs->width(),
             qPrintable(QString("%1 > %2").arg(tabs->sizeHint().width()).arg(tabs->width())));
    // A cell elides when its text and the style's margins are wider than it.
    EventGrid *full = fullListOf(*f.form);
    const int margins = 2 * (full->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    for (const char *name : {"Emergency", "Panic", "Critical", "Alert", "Warning", "Information",
                             "Note", "Trap", "Unknown"})
        QVERIFY2(full->fontMetrics().horizontalAdvance(name) + margins <= full->columnWidth(0),
                 name);
    // QUORVIK_SCREENSHOT=folder keeps a picture of both views to look at.
    if (qEnvironmentVariableIsSet("QUORVIK_SCREENSHOT")) {
        const QString folder = qEnvironmentVariable("QUORVIK_SCREENSHOT");
        f.send("$LEVL$:I$HOST$:srv7$SOURCE$:backup$DEVC$:disk_2$MSG$:quota reached");
        f.settle();
        QVERIFY(f.form->grab().save(folder + "/tabbed.png"));
        f.form->setViewMode(MainWindow::ViewMode::FullList);
        f.settle();
        QVERIFY(f.form->grab().save(folder + "/full_list.png"));
    }
}

void LayoutTest::storedGeometryIsApplied() {
    FormFixture f("[Global]\r\nWinTop=1500\r\nWinLeft=3000\r\nWinHeight=6000\r\nWinWidth=9000\r\n");
    f.start();
    QCOMPARE(f.form->frameGeometry(), QRect(200, 100, 600, 400));
}

void LayoutTest::storedGeometryIsKeptOnScreen_data() {
    // Pixels; the configuration holds 15 times as many twips.
    QTest::addColumn<QRect>("stored");
    QTest::addColumn<bool>("movedOnScreen");
    QTest::newRow("wholly off to the left") << QRect(-20000, 100, 600, 400) << true;
    QTest::newRow("wholly below") << QRect(100, 30000, 600, 400) << true;
    QTest::newRow("30000 x 30000") << QRect(0, 0, 30000, 30000) << false;
    QTest::newRow("partly visible") << QRect(500, 400, 600, 400) << false;
}

void LayoutTest::storedGeometryIsKeptOnScreen() {
    QFETCH(QRect, stored);
    QFETCH(bool, movedOnScreen);
    FormFixture f(QStringLiteral("[Global]\r\nWinTop=%1\r\nWinLeft=%2\r\nWinHeight=%3\r\n"
                                 "WinWidth=%4\r\n")
                      .arg(stored.top() * 15)
                      .arg(stored.left() * 15)
                      .arg(stored.height() * 15)
                      .arg(stored.width() * 15)
                      .toLatin1());
    f.start();
    const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame = f.form->frameGeometry();
    QVERIFY(frame.width() <= desktop.width() && frame.height() <= desktop.height());
    if (movedOnScreen)
        QVERIFY(desktop.contains(frame));
    else
        QCOMPARE(frame.topLeft(), stored.topLeft());
}

void LayoutTest::quitAsksAndStoresGeometry() {
    FormFixture f;
    f.start();
    f.form->setGeometry(90, 60, 520, 410);
    f.boxes.answers = {false};
    QVERIFY(!f.form->close());
    QVERIFY(f.form->isVisible());
    QCOMPARE(f.boxes.questions.size(), 1);
    QCOMPARE(f.boxes.questions[0].title, QStringLiteral("Quorvik Termination"));
    QCOMPARE(f.boxes.questions[0].text, QStringLiteral("Really quit Quorvik ?"));
    // Stored before the question, so also when the operator cancels.
    const QRect frame = f.form->frameGeometry();
    QCOMPARE(configValue(f, "WinWidth"), std::to_string(frame.width() * 15));
    QCOMPARE(configValue(f, "WinTop"), std::to_string(frame.top() * 15));
    f.boxes.answers = {true};
    QVERIFY(f.form->close());
    QCOMPARE(f.boxes.questions.size(), 2);
}

void LayoutTest::quitClosesSecondaryWindowsOnly() {
    FormFixture f;
    f.start();
    auto *dialog = new QWidget(f.form.get(), Qt::Window);
    dialog->show();
    QWidget unrelated;
    unrelated.show();
    QVERIFY(f.form->close());
    QVERIFY(!dialog->isVisible());
    QVERIFY(unrelated.isVisible());
}

void LayoutTest::maximisedQuitStoresNoGeometry() {
    FormFixture f;
    f.writeConfig("[Global]\r\nLogfile=" + f.logPath().toLocal8Bit() + "\r\nWinTop=1234\r\n");
    f.start();
    f.form->showMaximized();
    QVERIFY(f.form->close());
    QCOMPARE(configValue(f, "WinTop"), std::string("1234"));
    QCOMPARE(configValue(f, "WinWidth"), std::string("<none>"));
}

void LayoutTest::systemQuitAndHistoryQuitDontAsk() {
    {
        FormFixture f;
        f.start();
        f.form->quitFromSystem();
        QVERIFY(!f.form->isVisible());
        QVERIFY(f.boxes.questions.isEmpty());
        QVERIFY(configValue(f, "WinHeight") != "<none>");
    }
    {
        FormFixture f({}, true);
        f.start();
        QVERIFY(f.form->close());
        QVERIFY(f.boxes.questions.isEmpty());
    }
}

void LayoutTest::secondLiveCopyIsRefused() {
    FormFixture first;
    first.start();
    FormFixture second({}, false, first.dir.filePath(QStringLiteral("live.lock")));
    const QByteArray configBefore = second.readFile(second.configPath());
    QVERIFY(!second.load());
    QCOMPARE(second.boxes.reports.size(), 1);
    QCOMPARE(second.boxes.reports[0].text, QStringLiteral("quorvik already running"));
    QCOMPARE(second.boxes.reports[0].title, QStringLiteral("Error while loading quorvik"));
    QCOMPARE(second.boxes.reports[0].icon, QMessageBox::Warning);
    second.form->close();
    QVERIFY(second.boxes.questions.isEmpty());
    QCOMPARE(second.readFile(second.configPath()), configBefore); // no geometry written
    // The first copy is unaffected.
    first.send("$LEVL$:W$MSG$:still here");
    QCOMPARE(levelGridOf(*first.form, 4)->table()->cellText(1, 4), QStringLiteral(" still here"));
    // Once the first copy has ended, a live start succeeds again.
    first.form.reset();
    FormFixture third({}, false, first.dir.filePath(QStringLiteral("live.lock")));
    third.start();
}

void LayoutTest::historyCopyNeverBlocksLiveCopy() {
    FormFixture history({}, true);
    const QString lock = history.dir.filePath(QStringLiteral("live.lock"));
    FormFixture historyWithLock({}, true, lock);
    historyWithLock.start();
    FormFixture live({}, false, lock);
    live.start();
    FormFixture anotherHistory({}, true, lock);
    anotherHistory.start();
}

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
