// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Hover, delete one entry and clear all, on the real window.

#include "form_fixture.h"

#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QWheelEvent>

using namespace quorvik;
using namespace quorvik::testing;

namespace {

// Pointer movement to `y` pixels below the table's top edge, handed to the
// window as the window system hands it over: the application delivers it to
// the widget under the pointer (the header's viewport or the cells').
void movePointer(EventGrid *grid, int y) {
    QWidget *window = grid->window();
    QTest::mouseMove(window->windowHandle(), grid->mapTo(window, QPoint(20, y)));
}

int rowMiddle(EventGrid *grid, int viewRow) {
    return grid->viewport()->y() + grid->rowViewportPosition(viewRow) +
           grid->rowHeight(viewRow) / 2;
}

} // namespace

class EntriesTest : public QObject {
    Q_OBJECT

private slots:
    void hoverShowsRowMessage();
    void hoverAfterScrollingReadsRowUnderPointer();
    void deleteEntryAsksFirst();
    void deleteFindsEntryAfterNewEvents();
    void deleteOfEmptyRowSparesNewEvents();
    void deletingLastDataRowKeepsOneRow();
    void clearAllAsksUnlessQuiet();
    void trimmedChoiceIsNeverDeleted();
    void viewKeepsItsPlace_data();
    void viewKeepsItsPlace();
    void clickNeverScrollsSideways();
};

void EntriesTest::hoverShowsRowMessage() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    f.start();
    EventGrid *full = fullListOf(*f.form);
    QLabel *line = f.form->messageLine();
    movePointer(full, 2); // header before any message
    QCOMPARE(line->text(), QStringLiteral(" "));
    f.send("$LEVL$:W$MSG$:older");
    f.send("$LEVL$:E$MSG$:newer");
    f.settle();
    movePointer(full, rowMiddle(full, 1));
    QCOMPARE(line->text(), QStringLiteral(" older"));
    movePointer(full, rowMiddle(full, 0));
    QCOMPARE(line->text(), QStringLiteral(" newer"));
    movePointer(full, rowMiddle(full, 4)); // an empty row that fills the table
    QCOMPARE(line->text(), QStringLiteral("Actual Message: newer"));
    movePointer(full, rowMiddle(full, 1));
    movePointer(full, 1); // back onto the header
    QCOMPARE(line->text(), QStringLiteral("Actual Message: newer"));
    // The level tables hover the same way.
    f.form->setViewMode(MainWindow::ViewMode::TabbedView);
    tabStripOf(*f.form)->setCurrentIndex(4);
    EventGrid *warning = levelGridOf(*f.form, 4);
    movePointer(warning, rowMiddle(warning, 0));
    QCOMPARE(line->text(), QStringLiteral(" older"));
    QCOMPARE(line->textFormat(), Qt::PlainText);
}

void EntriesTest::hoverAfterScrollingReadsRowUnderPointer() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    f.start();
    for (int k = 0; k < 60; ++k)
        f.send("$LEVL$:N$MSG$:m" + QByteArray::number(k));
    f.settle();
    EventGrid *full = fullListOf(*f.form);
    full->scrollTo(full->table()->index(40, 0), QAbstractItemView::PositionAtTop);
    QCoreApplication::processEvents();
    const int topRow = full->rowAt(0);
    QVERIFY(topRow > 10);
    movePointer(full, rowMiddle(full, topRow));
    QCOMPARE(f.form->messageLine()->text(), full->table()->cellText(topRow + 1, 5));
    QVERIFY(!f.form->messageLine()->text().isEmpty());
    // Anywhere within the row's height.
    movePointer(full, full->viewport()->y() + full->rowViewportPosition(topRow) + 1);
    QCOMPARE(f.form->messageLine()->text(), full->table()->cellText(topRow + 1, 5));
}

void EntriesTest::deleteEntryAsksFirst() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    f.start();
    f.send("$LEVL$:A$MSG$:first");
    f.send("$LEVL$:A$MSG$:second");
    f.settle();
    EventGrid *full = fullListOf(*f.form);
    const int rows = full->table()->rows();
    const QByteArray log = f.readFile(f.logPath());
    const QPoint onSecondRow = full->visualRect(full->table()->index(1, 5)).center();

    const auto doubleClick = [&] {
        QTest::mouseClick(full->viewport(), Qt::LeftButton, {}, onSecondRow);
        QTest::mouseDClick(full->viewport(), Qt::LeftButton, {}, onSecondRow);
    };
    f.boxes.answers = {false};
    doubleClick();
    QCOMPARE(f.boxes.questions.size(), 1);
    QCOMPARE(f.boxes.questions[0].text, QStringLiteral("Really delete entry ?"));
    QCOMPARE(f.boxes.questions[0].title, QStringLiteral("Warning"));
    QCOMPARE(f.boxes.questions[0].icon, QMessageBox::Question);
    QCOMPARE(full->table()->rows(), rows);

    f.boxes.answers = {true};
    doubleClick();
    QCOMPARE(full->table()->rows(), rows - 1);
    QCOMPARE(full->table()->cellText(1, 5), QStringLiteral(" second"));
    QCOMPARE(full->table()->cellText(2, 5), QString()); // the empty rows moved up
    // The event stays in its level table and in the log; the message line keeps its text.
    QCOMPARE(levelGridOf(*f.form, 3)->table()->cellText(2, 4), QStringLiteral(" first"));
    QCOMPARE(f.readFile(f.logPath()), log);
    movePointer(full, 2); // off the rows: the newest event's message
    QCOMPARE(f.form->messageLine()->text(), QStringLiteral("Actual Message: second"));
}

void EntriesTest::deleteFindsEntryAfterNewEvents() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    f.start();
    f.send("$LEVL$:A$MSG$:keep");
    f.send("$LEVL$:A$MSG$:target");
    EventGrid *full = fullListOf(*f.form);
    f.boxes.whileAsking = [&] {
        // Events arriving while the question is open push the entry down.
        f.send("$LEVL$:N$MSG$:late 1");
        f.send("$LEVL$:N$MSG$:late 2");
    };
    const QPoint onTarget = full->visualRect(full->table()->index(0, 5)).center();
    QTest::mouseClick(full->viewport(), Qt::LeftButton, {}, onTarget);
    QTest::mouseDClick(full->viewport(), Qt::LeftButton, {}, onTarget);
    QCOMPARE(f.boxes.questions.size(), 1);
    QCOMPARE(full->table()->cellText(1, 5), QStringLiteral(" late 2"));
    QCOMPARE(full->table()->cellText(2, 5), QStringLiteral(" late 1"));
    QCOMPARE(full->table()->cellText(3, 5), QStringLiteral(" keep"));
}

void EntriesTest::deleteOfEmptyRowSparesNewEvents() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    f.start();
    f.send("$LEVL$:N$MSG$:note");
    f.settle();
    EventGrid *full = fullListOf(*f.form);
    const int rows = full->table()->rows();
    const auto doubleClickRow = [&](int viewRow) {
        const QPoint at = full->visualRect(full->table()->index(viewRow, 5)).center();
        QTest::mouseClick(full->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(full->viewport(), Qt::LeftButton, {}, at);
    };
    // Arrivals while the question is open push the empty row down: it is
    // found again by its place and removed, the new events stay.
    f.boxes.whileAsking = [&] {
        for (int k = 0; k < 5; ++k)
            f.send("$LEVL$:E$MSG$:emergency " + QByteArray::number(k));
    };
    doubleClickRow(3); // grid row 4, empty
    QCOMPARE(full->table()->rows(), rows + 5 - 1);
    for (int k = 0; k < 5; ++k)
        QCOMPARE(full->table()->cellText(5 - k, 5), " emergency " + QString::number(k));
    QCOMPARE(full->table()->cellText(6, 5), QStringLiteral(" note"));
    // After a removal meanwhile nothing tells the empty row apart: nothing goes.
    f.settle();
    f.boxes.whileAsking = [&] { full->table()->removeRow(1); };
    doubleClickRow(8);
    QCOMPARE(full->table()->rows(), rows + 5 - 2);
    QCOMPARE(full->table()->cellText(5, 5), QStringLiteral(" note"));
}

void EntriesTest::deletingLastDataRowKeepsOneRow() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    f.start();
    EventTable *full = fullListOf(*f.form)->table();
    full->setRows(2);
    f.send("$LEVL$:A$MSG$:only");
    f.send("$LEVL$:A$MSG$:newest"); // the limit isn't reached: two data rows
    full->removeRow(2);
    for (int k = 0; k < 3; ++k)
        full->removeRow(1);
    QCOMPARE(full->rows(), 2);
    QVERIFY(full->eventAt(1).isNull());
    QCOMPARE(full->background(1), std::nullopt);
}

void EntriesTest::clearAllAsksUnlessQuiet() {
    FormFixture f;
    f.start();
    f.send("$LEVL$:P$SOURCE$:" + QByteArray(60, 'w') + "$MSG$:" + QByteArray(200, 'x'));
    f.settle();
    QList<int> rows;
    for (int i = 0; i < 7; ++i)
        rows << levelGridOf(*f.form, i)->table()->rows();
    const int widthBefore = f.form->messageColumnWidth();
    const QByteArray log = f.readFile(f.logPath());
    auto *clear = f.form->findChild<QPushButton *>(QStringLiteral("tabclear"));

    f.boxes.answers = {false};
    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(f.boxes.questions.size(), 1);
    QCOMPARE(f.boxes.questions[0].text, QStringLiteral("Really delete all messages ?"));
    QVERIFY(!levelGridOf(*f.form, 1)->table()->eventAt(1).isNull());

    f.boxes.answers = {true};
    QTest::mouseClick(clear, Qt::LeftButton);
    QVERIFY(levelGridOf(*f.form, 1)->table()->eventAt(1).isNull());
    QVERIFY(fullListOf(*f.form)->table()->eventAt(1).isNull());
    QCOMPARE(fullListOf(*f.form)->table()->background(1), std::nullopt);
    QCOMPARE(fullListOf(*f.form)->table()->cellText(0, 0), QStringLiteral("Level"));
    QCOMPARE(f.form->messageLine()->text(), QString());
    movePointer(levelGridOf(*f.form, tabStripOf(*f.form)->currentIndex()), 2);
    QCOMPARE(f.form->messageLine()->text(), QString()); // no newest message to fall back to
    for (int i = 0; i < 7; ++i)
        QCOMPARE(levelGridOf(*f.form, i)->table()->rows(), rows[i]);
    QCOMPARE(f.form->messageColumnWidth(), widthBefore);
    QCOMPARE(f.readFile(f.logPath()), log);

    // Quiet: no question, and the next clear asks again.
    f.send("$LEVL$:P$MSG$:again");
    f.form->clearAllTablesQuietly();
    QCOMPARE(f.boxes.questions.size(), 2);
    QVERIFY(levelGridOf(*f.form, 1)->table()->eventAt(1).isNull());
    f.boxes.answers = {false};
    f.form->clearAllTables();
    QCOMPARE(f.boxes.questions.size(), 3); // asks again
}

// The operator clicks the 3rd of 50 rows (MaxLines=50); 75 more events trim
// it away: nothing is chosen any more, so Delete deletes nothing and asks
// nothing, and the view that showed the top still shows the newest events.
void EntriesTest::trimmedChoiceIsNeverDeleted() {
    FormFixture f("[Global]\r\nIniGrid=1\r\nMaxLines=50\r\n");
    f.start();
    for (int k = 0; k < 50; ++k)
        f.send("$LEVL$:N$MSG$:m" + QByteArray::number(k));
    f.settle();
    EventGrid *full = fullListOf(*f.form);
    const QPoint third = full->visualRect(full->model()->index(2, 5)).center();
    QTest::mouseClick(full->viewport(), Qt::LeftButton, {}, third);
    QCOMPARE(full->selectedEvents()[0].cellText(4), QStringLiteral(" m47"));
    // A menu opened on it meanwhile.
    const EventRow chosen = full->selectedEvents()[0];
    for (int k = 50; k < 125; ++k) {
        f.send("$LEVL$:N$MSG$:m" + QByteArray::number(k));
        if (k % 10 == 0)
            f.settle();
    }
    f.settle();
    QCOMPARE(full->table()->findRow(chosen), -1);
    QVERIFY(full->selectedEvents().empty());
    QCOMPARE(full->verticalScrollBar()->value(), 0);
    QCOMPARE(full->table()->cellText(1, 5), QStringLiteral(" m124"));

    const int held = full->table()->eventCount();
    QTest::keyClick(full, Qt::Key_Delete);
    QTest::keyClick(full, Qt::Key_Return);
    QVERIFY(f.boxes.questions.isEmpty());
    QCOMPARE(full->table()->eventCount(), held);
    QCOMPARE(f.form->messageLine()->text(), QStringLiteral("Actual Message: m124"));
}

void EntriesTest::viewKeepsItsPlace_data() {
    QTest::addColumn<QByteArray>("maxLines");
    QTest::newRow("growing table") << QByteArray("1000");
    QTest::newRow("full table") << QByteArray("150");
}

// Scrolled down, the view keeps the events it shows, and the chosen one,
// while new ones arrive above; scrolled back to the top, it shows the newest.
void EntriesTest::viewKeepsItsPlace() {
    QFETCH(QByteArray, maxLines);
    FormFixture f("[Global]\r\nIniGrid=1\r\nMaxLines=" + maxLines + "\r\n");
    f.start();
    for (int k = 0; k < 200; ++k)
        f.send("$LEVL$:N$MSG$:m" + QByteArray::number(k));
    f.settle();
    EventGrid *full = fullListOf(*f.form);
    const auto wheel = [full](int steps) {
        const QPoint at = full->viewport()->rect().center();
        QWheelEvent event(at, full->viewport()->mapToGlobal(at), {}, {0, 120 * steps}, Qt::NoButton,
                          {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(full->viewport(), &event);
    };
    const auto topMessage = [full] {
        return full->model()->index(full->rowAt(0), 5).data().toString();
    };
    wheel(-10);
    const QString shown = topMessage();
    QVERIFY(shown != QStringLiteral(" m199"));
    const QPoint second = full->visualRect(full->model()->index(full->rowAt(0) + 1, 5)).center();
    QTest::mouseClick(full->viewport(), Qt::LeftButton, {}, second);
    const EventRow chosen = full->selectedEvents().at(0);
    QSignalSpy inserted(full->model(), &QAbstractItemModel::rowsInserted);
    for (int k = 200; k < 230; ++k) {
        f.send("$LEVL$:N$MSG$:m" + QByteArray::number(k));
        if (k % 7 == 0)
            f.settle();
    }
    f.settle();
    QCOMPARE(topMessage(), shown);
    QCOMPARE(full->selectedEvents().size(), std::size_t(1));
    QVERIFY(full->selectedEvents()[0].sameAs(chosen));
    QCOMPARE(full->currentIndex().row() + 1, full->table()->findRow(chosen));
    QCOMPARE(full->verticalHeader()->count(), full->table()->rows() - 1);
    // The view gets no sections inserted at its top: rows coming in at the
    // front and leaving at the back of a full table made its section list
    // creep through memory.
    for (const QList<QVariant> &rows : inserted)
        QVERIFY(rows.at(1).toInt() > 0);

    for (int k = 0; k < 100 && full->verticalScrollBar()->value() > 0; ++k)
        wheel(3);
    QCOMPARE(topMessage(), QStringLiteral(" m229"));
    f.send("$LEVL$:N$MSG$:newest");
    f.settle();
    QCOMPARE(topMessage(), QStringLiteral(" newest"));
}

// A click in the wide Message column selects the row and leaves the
// columns where they were, also when the view brings the clicked cell into
// view a moment later.
void EntriesTest::clickNeverScrollsSideways() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    f.start();
    f.send("$LEVL$:W$MSG$:" + QByteArray(600, 'x'));
    f.settle();
    EventGrid *full = fullListOf(*f.form);
    QVERIFY(full->horizontalScrollBar()->maximum() > 0);
    const QRect message = full->visualRect(full->model()->index(0, 5));
    QVERIFY(message.right() > full->viewport()->width());
    QTest::mouseClick(full->viewport(), Qt::LeftButton, {},
                      QPoint(full->viewport()->width() - 10, message.center().y()));
    QCOMPARE(full->selectedEvents().size(), std::size_t(1));
    // The view brings a clicked cell into view once no double click can follow.
    QTest::qWait(QApplication::doubleClickInterval() + 300);
    QCOMPARE(full->horizontalScrollBar()->value(), 0);
    QTest::keyClick(full, Qt::Key_Up); // the keys move up and down only
    QCOMPARE(full->horizontalScrollBar()->value(), 0);
}

QTEST_MAIN(EntriesTest)
#include "tst_entries.moc"
