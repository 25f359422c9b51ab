// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The filter bar, copy, the rows' context menu and the keyboard, on the real
// window: keys go to the focused widget, clicks to the viewport.

#include "form_fixture.h"

#include "main_window/filter_bar.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

using namespace quorvik;
using namespace quorvik::testing;

namespace {

QWidget *focused() {
    return QApplication::focusWidget();
}

// The texts of column `column` in the rows the grid shows, top down.
QStringList shownColumn(EventGrid *grid, int column) {
    QStringList texts;
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        texts << grid->model()->index(row, column).data().toString();
    return texts;
}

// Five events of three hosts, in the full list.
void sendFive(FormFixture &f) {
    f.send("$LEVL$:W$HOST$:srv7$SOURCE$:backup$DEVC$:disk_2$MSG$:quota reached");
    f.send("$LEVL$:E$HOST$:srv8$SOURCE$:kernel$DEVC$:cpu0$MSG$:machine check");
    f.send("$LEVL$:N$HOST$:srv7$SOURCE$:cron$DEVC$:job$MSG$:backup started");
    f.send("$LEVL$:A$HOST$:gw1$SOURCE$:link$DEVC$:eth0$MSG$:link down");
    f.send("$LEVL$:N$HOST$:srv7$SOURCE$:cron$DEVC$:job$MSG$:backup done");
    f.settle();
}

void startActive(FormFixture &f) {
    f.start();
    f.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
}

void openBar(FormFixture &f) {
    QTest::keyClick(f.form.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
}

QAction *entry(QMenu *menu, const QString &text) {
    for (QAction *action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

} // namespace

class FilterTest : public QObject {
    Q_OBJECT

private slots:
    void typingFiltersShownRows();
    void sourcesAndPatterns();
    void newEventsWhileFiltered();
    void levelTogglesInFullList();
    void levelTableAndTabSwitch();
    void escapeClearsHidesAndRestoresLayout();
    void deleteOfFilteredRowRemovesThatEvent();
    void hoverReadsFilteredRows();
    void copySelectedRowsAsLogLines();
    void contextMenuOnRow();
    void copyAndFilterTakeTextsAsShown();
    void keyboardReachesEveryControl();
    void arrowsEnterAndDeleteKey();
    void followNewEvents_data();
    void followNewEvents();
    void pastedQueryFiltersInSlices();
};

void FilterTest::typingFiltersShownRows() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    startActive(f);
    sendFive(f);
    FilterBar *bar = filterBarOf(*f.form);
    QVERIFY(bar->isHidden());
    openBar(f);
    QVERIFY(bar->isVisible());
    QCOMPARE(focused()->objectName(), QStringLiteral("filterText"));
    EventGrid *full = fullListOf(*f.form);
    QTest::keyClicks(focused(), "SRV7");
    QCOMPARE(shownColumn(full, 5),
             QStringList({" backup done", " backup started", " quota reached"}));
    QCOMPARE(countLabelOf(bar)->text(), QStringLiteral("3 of 5 shown"));
    QTest::keyClicks(focused(), " -cron");
    QCOMPARE(shownColumn(full, 5), QStringList({" quota reached"}));
    // A word restricted to one column.
    queryEditOf(bar)->clear();
    QTest::keyClicks(focused(), "app:backup");
    QCOMPARE(shownColumn(full, 5), QStringList({" quota reached"}));
    queryEditOf(bar)->clear();
    QTest::keyClicks(focused(), "backup");
    QCOMPARE(shownColumn(full, 5).size(), 3);
    QTest::keyClicks(focused(), "xyz");
    QCOMPARE(full->model()->rowCount(), 0);
    QCOMPARE(countLabelOf(bar)->text(), QStringLiteral("0 of 5 shown"));
}

// source: and regular expressions, typed into the bar of the real window.
void FilterTest::sourcesAndPatterns() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    startActive(f);
    sendFive(f);
    f.send("\x30\x03\x02\x01\x01", QStringLiteral("10.0.0.5")); // an SNMP message
    f.settle();
    openBar(f);
    EventGrid *full = fullListOf(*f.form);
    QTest::keyClicks(focused(), "source:trap");
    QCOMPARE(shownColumn(full, 2), QStringList({"10.0.0.5"}));
    queryEditOf(filterBarOf(*f.form))->clear();
    QTest::keyClicks(focused(), "-source:trap msg:/backup (started|done)/");
    QCOMPARE(shownColumn(full, 5), QStringList({" backup done", " backup started"}));
    // Until its closing slash a pattern is words; one that doesn't compile
    // is left out.
    queryEditOf(filterBarOf(*f.form))->clear();
    QTest::keyClicks(focused(), "host:/^srv[78]$/ /quota (re");
    QCOMPARE(shownColumn(full, 5).size(), 0);
    QTest::keyClicks(focused(), "ached)/");
    QCOMPARE(shownColumn(full, 5), QStringList({" quota reached"}));
    QTest::keyClicks(focused(), " /(/");
    QCOMPARE(shownColumn(full, 5), QStringList({" quota reached"}));
}

void FilterTest::newEventsWhileFiltered() {
    FormFixture f("[Global]\r\nIniGrid=1\r\nMaxLines=8\r\n"); // 7 events a table
    startActive(f);
    sendFive(f);
    openBar(f);
    QTest::keyClicks(focused(), "host:srv7");
    EventGrid *full = fullListOf(*f.form);
    f.send("$LEVL$:C$HOST$:srv7$MSG$:new match");
    f.send("$LEVL$:C$HOST$:srv9$MSG$:new other");
    f.settle();
    QCOMPARE(shownColumn(full, 5),
             QStringList({" new match", " backup done", " backup started", " quota reached"}));
    // The row limit trims the oldest events as ever: filtered rows go with them.
    for (int k = 0; k < 4; ++k)
        f.send("$LEVL$:C$HOST$:srv9$MSG$:filler");
    f.settle();
    QCOMPARE(shownColumn(full, 5), QStringList({" new match", " backup done"}));
    QCOMPARE(countLabelOf(filterBarOf(*f.form))->text(),
             QStringLiteral("2 of %1 shown").arg(full->table()->eventCount()));
    // The log has every event; clearing the filter shows every row again.
    QCOMPARE(f.readFile(f.logPath()).count("\r\n"), 1 + 11);
    queryEditOf(filterBarOf(*f.form))->clear();
    QCOMPARE(full->model(), full->table());
    QCOMPARE(shownColumn(full, 5).size(), full->table()->eventCount());
}

void FilterTest::levelTogglesInFullList() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    startActive(f);
    sendFive(f);
    openBar(f);
    auto *note = f.form->findChild<QToolButton *>(QStringLiteral("filterLevel6"));
    QVERIFY(note->isVisible());
    QTest::mouseClick(note, Qt::LeftButton);
    EventGrid *full = fullListOf(*f.form);
    QCOMPARE(shownColumn(full, 0), QStringList({"Alert", "Emergency", "Warning"}));
    QTest::keyClicks(queryEditOf(filterBarOf(*f.form)), "srv");
    QCOMPARE(shownColumn(full, 0), QStringList({"Emergency", "Warning"}));
    // The level tables have no toggles: the words alone count there.
    f.form->setViewMode(MainWindow::ViewMode::TabbedView);
    QVERIFY(!note->isVisible());
    tabStripOf(*f.form)->setCurrentIndex(6);
    QCOMPARE(levelGridOf(*f.form, 6)->model()->rowCount(), 2);
}

void FilterTest::levelTableAndTabSwitch() {
    FormFixture f;
    startActive(f);
    sendFive(f);
    tabStripOf(*f.form)->setCurrentIndex(6);
    openBar(f);
    QTest::keyClicks(focused(), "done");
    EventGrid *notes = levelGridOf(*f.form, 6);
    QCOMPARE(shownColumn(notes, 4), QStringList({" backup done"}));
    QCOMPARE(countLabelOf(filterBarOf(*f.form))->text(), QStringLiteral("1 of 2 shown"));
    // "note" is the level of every row here, but no column of this table.
    filterBarOf(*f.form)->setQuery(QStringLiteral("note"));
    QCOMPARE(notes->model()->rowCount(), 0);
    filterBarOf(*f.form)->setQuery(QStringLiteral("level:note"));
    QCOMPARE(notes->model()->rowCount(), 2);
    // Another tab shows the same filter.
    filterBarOf(*f.form)->setQuery(QStringLiteral("link"));
    tabStripOf(*f.form)->setCurrentIndex(3);
    QCOMPARE(shownColumn(levelGridOf(*f.form, 3), 4), QStringList({" link down"}));
    QCOMPARE(countLabelOf(filterBarOf(*f.form))->text(), QStringLiteral("1 of 1 shown"));
}

void FilterTest::escapeClearsHidesAndRestoresLayout() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    startActive(f);
    sendFive(f);
    EventGrid *full = fullListOf(*f.form);
    const QRect tables = full->geometry(), line = f.form->messageLine()->geometry();
    openBar(f);
    FilterBar *bar = filterBarOf(*f.form);
    QCOMPARE(bar->y(), f.form->findChild<QWidget *>(QStringLiteral("Toolbar1"))->height());
    QCOMPARE(full->y(), tables.y() + bar->height());
    QCOMPARE(full->height(), tables.height() - bar->height());
    QCOMPARE(f.form->messageLine()->geometry(), line);
    QTest::keyClicks(focused(), "srv8");
    QCOMPARE(full->model()->rowCount(), 1);
    QTest::keyClick(focused(), Qt::Key_Escape);
    QVERIFY(bar->isHidden());
    QCOMPARE(queryEditOf(bar)->text(), QString());
    QCOMPARE(full->geometry(), tables);
    QCOMPARE(shownColumn(full, 5).mid(0, 5),
             QStringList({" backup done", " link down", " backup started", " machine check",
                          " quota reached"}));
    // Shown again, the bar starts empty.
    openBar(f);
    QCOMPARE(queryEditOf(bar)->text(), QString());
    QCOMPARE(countLabelOf(bar)->text(), QStringLiteral("5 of 5 shown"));
}

void FilterTest::deleteOfFilteredRowRemovesThatEvent() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    startActive(f);
    sendFive(f);
    openBar(f);
    QTest::keyClicks(focused(), "backup");
    EventGrid *full = fullListOf(*f.form);
    // Shown rows: backup done, backup started, quota reached; the second is
    // row 4 of the full list.
    const QPoint onSecond = cellCentre(full, 1);
    f.boxes.answers = {true};
    QTest::mouseClick(full->viewport(), Qt::LeftButton, {}, onSecond);
    QTest::mouseDClick(full->viewport(), Qt::LeftButton, {}, onSecond);
    QCOMPARE(f.boxes.questions.size(), 1);
    QCOMPARE(f.boxes.questions[0].text, QStringLiteral("Really delete entry ?"));
    QCOMPARE(shownColumn(full, 5), QStringList({" backup done", " quota reached"}));
    EventTable *table = full->table();
    QCOMPARE(table->eventCount(), 4);
    QCOMPARE(table->cellText(1, 5), QStringLiteral(" backup done"));
    QCOMPARE(table->cellText(2, 5), QStringLiteral(" link down"));
    QCOMPARE(table->cellText(3, 5), QStringLiteral(" machine check"));
    QCOMPARE(table->cellText(4, 5), QStringLiteral(" quota reached"));
    // Events arriving while the question is open: still that event goes.
    f.boxes.whileAsking = [&] { f.send("$LEVL$:N$HOST$:srv7$MSG$:backup again"); };
    QTest::mouseClick(full->viewport(), Qt::LeftButton, {}, cellCentre(full, 1));
    QTest::mouseDClick(full->viewport(), Qt::LeftButton, {}, cellCentre(full, 1));
    f.settle();
    QCOMPARE(shownColumn(full, 5), QStringList({" backup again", " backup done"}));
    QCOMPARE(table->eventCount(), 4);
    QCOMPARE(table->cellText(4, 5), QStringLiteral(" machine check"));
}

void FilterTest::hoverReadsFilteredRows() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    startActive(f);
    sendFive(f);
    openBar(f);
    QTest::keyClicks(focused(), "-srv7");
    EventGrid *full = fullListOf(*f.form);
    QCOMPARE(full->model()->rowCount(), 2);
    QWidget *window = f.form.get();
    const auto moveTo = [&](int viewRow) {
        QTest::mouseMove(window->windowHandle(),
                         full->viewport()->mapTo(window, cellCentre(full, viewRow)));
    };
    moveTo(1);
    QCOMPARE(f.form->messageLine()->text(), QStringLiteral(" machine check"));
    moveTo(0);
    QCOMPARE(f.form->messageLine()->text(), QStringLiteral(" link down"));
    // Below the shown rows: the saved text.
    QTest::mouseMove(window->windowHandle(),
                     full->viewport()->mapTo(window, QPoint(20, full->viewport()->height() - 3)));
    QCOMPARE(f.form->messageLine()->text(), QStringLiteral("Actual Message: backup done"));
}

void FilterTest::copySelectedRowsAsLogLines() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    startActive(f);
    sendFive(f);
    EventGrid *full = fullListOf(*f.form);
    QClipboard *clipboard = QApplication::clipboard();
    const auto line = [](const char *fields) {
        return QStringLiteral("%1;07.12.2026 20:41:05;%2\n")
            .arg(QString::fromLatin1(fields).section(QLatin1Char('|'), 0, 0),
                 QString::fromLatin1(fields).section(QLatin1Char('|'), 1));
    };
    // Click, then Shift+click: the rows between, in the order shown.
    QTest::mouseClick(full->viewport(), Qt::LeftButton, {}, cellCentre(full, 3));
    QTest::mouseClick(full->viewport(), Qt::LeftButton, Qt::ShiftModifier, cellCentre(full, 1));
    QTest::keyClick(focused(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), line("Alert|gw1;link;eth0;link down") +
                                    line("Note|srv7;cron;job;backup started") +
                                    line("Emergency|srv8;kernel;cpu0;machine check"));
    // Ctrl+click adds a row; Edit > Copy does the same as Ctrl+C.
    QTest::mouseClick(full->viewport(), Qt::LeftButton, {}, cellCentre(full, 4));
    QTest::mouseClick(full->viewport(), Qt::LeftButton, Qt::ControlModifier, cellCentre(full, 0));
    f.form->findChild<QAction *>(QStringLiteral("menCopy"))->trigger();
    QCOMPARE(clipboard->text(), line("Note|srv7;cron;job;backup done") +
                                    line("Warning|srv7;backup;disk 2;quota reached"));
    // Ctrl+A on a filtered table: the rows shown, not the empty rows.
    openBar(f);
    QTest::keyClicks(focused(), "srv7 -done");
    full->setFocus();
    QTest::keyClick(focused(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(focused(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), line("Note|srv7;cron;job;backup started") +
                                    line("Warning|srv7;backup;disk 2;quota reached"));
    // In the bar, Ctrl+C copies the bar's own selected text.
    filterBarOf(*f.form)->focusQuery();
    QTest::keyClick(focused(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QStringLiteral("srv7 -done"));
}

void FilterTest::contextMenuOnRow() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    startActive(f);
    sendFive(f);
    EventGrid *full = fullListOf(*f.form);
    const auto choose = [](QMenu *menu, const QString &text) {
        QAction *action = entry(menu, text);
        QVERIFY2(action, qPrintable(text));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    };
    QMenu *menu = openMenu(full, 1); // link down, from gw1
    QVERIFY(menu);
    QStringList texts;
    for (QAction *action : menu->actions())
        if (!action->isSeparator())
            texts << action->text();
    QCOMPARE(texts, QStringList({"Copy", "Details…", "Filter by this host",
                                 "Filter by this application", "Filter by this object",
                                 "Acknowledge\u2026", "Delete this entry", "Show in its tab"}));
    // The right-click selected the row: Copy takes it.
    choose(menu, QStringLiteral("Copy"));
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("Alert;07.12.2026 20:41:05;gw1;link;eth0;link down\n"));

    choose(openMenu(full, 2), QStringLiteral("Filter by this application")); // backup started
    QVERIFY(filterBarOf(*f.form)->isVisible());
    QCOMPARE(queryEditOf(filterBarOf(*f.form))->text(), QStringLiteral("app:cron"));
    QCOMPARE(shownColumn(full, 5), QStringList({" backup done", " backup started"}));

    f.boxes.answers = {true};
    choose(openMenu(full, 1), QStringLiteral("Delete this entry"));
    QCOMPARE(f.boxes.questions.size(), 1);
    QCOMPARE(f.boxes.questions[0].text, QStringLiteral("Really delete entry ?"));
    QCOMPARE(shownColumn(full, 5), QStringList({" backup done"}));
    QCOMPARE(full->table()->eventCount(), 4);
    QCOMPARE(full->table()->findRow(levelGridOf(*f.form, 6)->table()->eventAt(2)), -1);

    choose(openMenu(full, 0), QStringLiteral("Filter by this host"));
    QCOMPARE(queryEditOf(filterBarOf(*f.form))->text(), QStringLiteral("host:srv7"));
    QCOMPARE(shownColumn(full, 5), QStringList({" backup done", " quota reached"}));
    choose(openMenu(full, 1), QStringLiteral("Show in its tab"));
    QVERIFY(tabStripOf(*f.form)->isVisible() && !fullListOf(*f.form)->isVisible());
    QCOMPARE(tabStripOf(*f.form)->currentIndex(), 4);
    EventGrid *warnings = levelGridOf(*f.form, 4);
    QCOMPARE(warnings->selectedEvents().size(), std::size_t(1));
    QCOMPARE(warnings->selectedEvents()[0].cellText(4), QStringLiteral(" quota reached"));
    // The chosen tab stays while other levels arrive, until the operator
    // leaves it: then new events are followed again.
    f.send("$LEVL$:E$MSG$:elsewhere");
    f.settle();
    QCOMPARE(tabStripOf(*f.form)->currentIndex(), 4);
    QTabBar *tabs = tabStripOf(*f.form)->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
    f.send("$LEVL$:E$MSG$:followed");
    f.settle();
    QCOMPARE(tabStripOf(*f.form)->currentIndex(), 0);
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(4).center());

    // A level table's menu has no "Show in its tab"; an empty row has none.
    menu = openMenu(warnings, 0);
    QVERIFY(menu);
    QVERIFY(entry(menu, QStringLiteral("Copy")));
    QVERIFY(!entry(menu, QStringLiteral("Show in its tab")));
    menu->close();
    QTest::keyClick(focused(), Qt::Key_Escape); // the bar goes, the empty rows come back
    QVERIFY(!openMenu(warnings, 3));
}

// A legacy-encoded host, quotes in the object and a bidirectional control in
// the message: copy gives them as the table shows them, "Filter by this ..."
// and the typed code keep the row shown.
void FilterTest::copyAndFilterTakeTextsAsShown() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    startActive(f);
    f.send("$LEVL$:N$HOST$:other$SOURCE$:app$DEVC$:disk_C_2$MSG$:plain");
    f.send("$LEVL$:W$HOST$:M\xFCller$SOURCE$:app$DEVC$:disk_\"C\"_2$MSG$:x\xE2\x80\xAEy");
    f.settle();
    EventGrid *full = fullListOf(*f.form);
    const auto choose = [](QMenu *menu, const QString &text) {
        QAction *action = entry(menu, text);
        QVERIFY2(action, qPrintable(text));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    };
    QCOMPARE(shownColumn(full, 2).first(), QStringLiteral("M\u00fcller"));
    QTest::mouseClick(full->viewport(), Qt::LeftButton, {}, cellCentre(full, 0));
    QTest::keyClick(focused(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(
        QApplication::clipboard()->text(),
        QStringLiteral("Warning;07.12.2026 20:41:05;M\u00fcller;app;disk \"C\" 2;x[U+202E]y\n"));

    FilterBar *bar = filterBarOf(*f.form);
    QLineEdit *query = queryEditOf(bar);
    choose(openMenu(full, 0), QStringLiteral("Filter by this object"));
    QCOMPARE(query->text(), QStringLiteral("obj:\"disk \\\"C\\\" 2\""));
    QCOMPARE(shownColumn(full, 5), QStringList{" x[U+202E]y"});
    QCOMPARE(countLabelOf(bar)->text(), QStringLiteral("1 of 2 shown"));
    choose(openMenu(full, 0), QStringLiteral("Filter by this host"));
    QCOMPARE(query->text(), QStringLiteral("host:M\u00fcller"));
    QCOMPARE(shownColumn(full, 5), QStringList{" x[U+202E]y"});

    // The control typed as the table shows it.
    query->clear();
    QTest::keyClicks(focused(), "msg:[U+202E]");
    QCOMPARE(shownColumn(full, 5), QStringList{" x[U+202E]y"});
}

void FilterTest::keyboardReachesEveryControl() {
    FormFixture f;
    startActive(f);
    openBar(f);
    auto *first = f.form->findChild<QWidget *>(QStringLiteral("viewschalt"));
    first->setFocus(Qt::TabFocusReason);
    QStringList order;
    for (int k = 0; k < 12 && (k == 0 || focused() != first); ++k) {
        order << focused()->objectName();
        QTest::keyClick(focused(), Qt::Key_Tab);
    }
    QCOMPARE(order, QStringList({"viewschalt", "tabclear", "sendMsg", "btnHistory", "beenden",
                                 "filterText", "qt_tabwidget_tabbar", "MSFlexGrid1_3"}));
    // In the full list the level toggles follow the text.
    f.form->setViewMode(MainWindow::ViewMode::FullList);
    filterBarOf(*f.form)->focusQuery();
    QTest::keyClick(focused(), Qt::Key_Tab);
    QCOMPARE(focused()->objectName(), QStringLiteral("filterLevel0"));
    for (int k = 0; k < 7; ++k)
        QTest::keyClick(focused(), Qt::Key_Tab);
    QCOMPARE(focused(), fullListOf(*f.form));

    // Buttons, toggles and tables have names a screen reader says.
    QList<QWidget *> controls{queryEditOf(filterBarOf(*f.form))};
    for (QWidget *control : f.form->findChildren<QWidget *>())
        if (qobject_cast<QPushButton *>(control) || qobject_cast<EventGrid *>(control) ||
            control->objectName().startsWith(QLatin1String("filterLevel")))
            controls << control;
    QCOMPARE(controls.size(), 1 + 7 + 8 + 7);
    for (QWidget *control : controls) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
        QVERIFY2(accessible && !accessible->text(QAccessible::Name).isEmpty(),
                 qPrintable(control->objectName()));
    }
    QCOMPARE(
        QAccessible::queryAccessibleInterface(levelGridOf(*f.form, 0))->text(QAccessible::Name),
        QStringLiteral("Emergency events"));
}

void FilterTest::arrowsEnterAndDeleteKey() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    startActive(f);
    sendFive(f);
    EventGrid *full = fullListOf(*f.form);
    QTest::mouseClick(full->viewport(), Qt::LeftButton, {}, cellCentre(full, 0));
    QTest::keyClick(focused(), Qt::Key_Down);
    QTest::keyClick(focused(), Qt::Key_Down);
    QCOMPARE(full->currentIndex().row(), 2);
    QCOMPARE(full->selectedEvents().size(), std::size_t(1));
    QTest::keyClick(focused(), Qt::Key_Return);
    QCOMPARE(f.form->messageLine()->text(), QStringLiteral(" backup started"));
    QTest::keyClick(focused(), Qt::Key_Up);
    QTest::keyClick(focused(), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(f.form->messageLine()->text(), QStringLiteral(" link down"));

    f.boxes.answers = {false, true};
    QTest::keyClick(focused(), Qt::Key_Delete);
    QCOMPARE(f.boxes.questions.size(), 1);
    QCOMPARE(full->table()->eventCount(), 5);
    QTest::keyClick(focused(), Qt::Key_Delete);
    QCOMPARE(f.boxes.questions.size(), 2);
    QCOMPARE(f.boxes.questions[1].text, QStringLiteral("Really delete entry ?"));
    QCOMPARE(shownColumn(full, 5).mid(0, 4),
             QStringList({" backup done", " backup started", " machine check", " quota reached"}));
    // On an empty row the key does nothing.
    full->setCurrentIndex(full->model()->index(6, 0));
    QTest::keyClick(focused(), Qt::Key_Delete);
    QCOMPARE(f.boxes.questions.size(), 2);
}

void FilterTest::followNewEvents_data() {
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<bool>("follow");
    QTest::newRow("default") << QByteArray() << true;
    QTest::newRow("Follow=1") << QByteArray("[Global]\r\nFollow=1\r\n") << true;
    QTest::newRow("Follow=0") << QByteArray("[Global]\r\nFollow=0\r\n") << false;
}

void FilterTest::followNewEvents() {
    QFETCH(QByteArray, config);
    QFETCH(bool, follow);
    FormFixture f(config);
    startActive(f);
    QTabBar *tabs = tabStripOf(*f.form)->tabBar();
    const auto marked = [tabs] {
        QList<int> indexes;
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabData(i).toBool())
                indexes << i;
        return indexes;
    };
    f.send("$LEVL$:W$MSG$:first");
    QCOMPARE(tabStripOf(*f.form)->currentIndex(), follow ? 4 : 3);
    // The operator looks at the quiet Note tab while a stream goes on.
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(6).center());
    QCOMPARE(tabStripOf(*f.form)->currentIndex(), 6);
    for (int k = 0; k < 20; ++k)
        f.send(k % 2 ? "$LEVL$:E$MSG$:stream" : "$LEVL$:N$MSG$:stream");
    f.send("$LEVL$:C$MSG$:last");
    QCOMPARE(tabStripOf(*f.form)->currentIndex(), follow ? 2 : 6);
    if (follow) {
        QCOMPARE(marked(), QList<int>());
        return;
    }
    QCOMPARE(marked(), QList<int>({0, 2, 4}));
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    QCOMPARE(marked(), QList<int>({2, 4}));
    // The full list shown: every level with new events is marked.
    f.form->setViewMode(MainWindow::ViewMode::FullList);
    f.send("$LEVL$:E$MSG$:while in the list");
    QCOMPARE(marked(), QList<int>({0, 2, 4}));
    f.form->setViewMode(MainWindow::ViewMode::TabbedView);
    QCOMPARE(tabStripOf(*f.form)->currentIndex(), 0);
    QCOMPARE(marked(), QList<int>({2, 4}));
}

// A long query pasted over a large table: the rows are tested in slices,
// the window answering between them (new events, the oldest trimmed, a
// deletion); once the last slice is done the rows shown and the count are
// exactly the events that pass.
void FilterTest::pastedQueryFiltersInSlices() {
    FormFixture f("[Global]\r\nIniGrid=1\r\nMaxLines=600\r\n");
    startActive(f);
    for (int i = 0; i < 700; ++i)
        f.send("$LEVL$:W$HOST$:srv" + QByteArray::number(i % 10) +
               "$MSG$:" + (i % 3 ? "quota reached #" : "link down #") + QByteArray::number(i));
    f.settle();
    EventGrid *full = fullListOf(*f.form);
    full->filterSliceMs = 0; // 8 rows a slice
    // 1,500 words: two of them repeated, the others each once and found nowhere.
    QStringList words;
    for (int w = 0; w < 1500; ++w)
        words << (w % 3 == 0   ? QStringLiteral("quota")
                  : w % 3 == 1 ? QStringLiteral("Reached")
                               : QStringLiteral("-absent%1").arg(w));
    QApplication::clipboard()->setText(words.join(QLatin1Char(' ')));
    openBar(f);
    QTest::keyClick(focused(), Qt::Key_V, Qt::ControlModifier);
    QVERIFY2(full->isFiltering() && full->model()->rowCount() < 50,
             "every row was tested before the paste was answered");

    f.send("$LEVL$:C$HOST$:srv1$MSG$:quota reached late");
    f.send("$LEVL$:C$HOST$:srv1$MSG$:link down late");
    const QString deleted = full->model()->index(1, 5).data().toString();
    f.boxes.answers = {true};
    QTest::mouseClick(full->viewport(), Qt::LeftButton, {}, cellCentre(full, 1));
    QTest::mouseDClick(full->viewport(), Qt::LeftButton, {}, cellCentre(full, 1));
    QVERIFY(full->isFiltering());

    QTRY_VERIFY(!full->isFiltering());
    EventTable *table = full->table();
    QStringList passing;
    for (int r = 1; r < table->rows(); ++r)
        if (table->cellText(r, 5).contains(QStringLiteral("quota reached")))
            passing << table->cellText(r, 5);
    QVERIFY(!passing.contains(deleted));
    QCOMPARE(passing.first(), QStringLiteral(" quota reached late"));
    QCOMPARE(shownColumn(full, 5), passing);
    QCOMPARE(countLabelOf(filterBarOf(*f.form))->text(),
             QStringLiteral("%1 of %2 shown").arg(passing.size()).arg(table->eventCount()));
}

QTEST_MAIN(FilterTest)
#include "tst_filter.moc"
