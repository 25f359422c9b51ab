// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The event table model: what the views are told must always match what the
// table holds, however top inserts, bottom trims and other edits interleave.

#include "tables/event_table.h"
#include "tables/waiting_events.h"

#include "core/event.h"
#include "core/log_file.h"
#include "ui/colour.h"

#include <QAbstractItemModelTester>
#include <QFont>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace quorvik;

namespace {

EventRow makeRow(int n, const Level &level = levelByIndex(4)) {
    Event record;
    record.level = &level;
    record.date = "d" + std::to_string(n);
    record.host = "host";
    record.message = "message " + std::to_string(n);
    return EventRow(record);
}

// Every cell the views can read equals the table's own content.
void compareViewWithTable(EventTable &table) {
    table.flushChanges();
    QCOMPARE(table.rowCount(), table.rows() - 1);
    for (int r = 0; r < table.rowCount(); ++r)
        for (int c = 0; c < table.columnCount(); ++c)
            QCOMPARE(table.data(table.index(r, c), Qt::DisplayRole).toString(),
                     table.cellText(r + 1, c));
}

} // namespace

class EventTableTest : public QObject {
    Q_OBJECT

private slots:
    void rowsAreSharedAndShownWithLeadingBlank();
    void newestRowIsRowOne();
    void randomEditsKeepViewsConsistent();
    void recolourTouchesOnlyThatLevel();
    void bidiControlsShownByCode();
    void textShownReadably_data();
    void textShownReadably();
    void bulkInsertLeavesWhatSingleInsertsLeave_data();
    void bulkInsertLeavesWhatSingleInsertsLeave();
    void waitingEventsLeaveWhatTakingEachLeaves_data();
    void waitingEventsLeaveWhatTakingEachLeaves();
    void eventsThatChangeRowsDoNotWait();
    void foldClearAndAcknowledgeChangeRowsInPlace();
};

void EventTableTest::bulkInsertLeavesWhatSingleInsertsLeave_data() {
    QTest::addColumn<int>("startRows");
    QTest::addColumn<int>("rowLimit");
    QTest::addColumn<QList<int>>("batches"); // rows per bulk insert
    QTest::newRow("fewer than the empty rows") << 20 << 1000 << QList<int>{3, 4};
    QTest::newRow("past the limit in one batch") << 20 << 50 << QList<int>{137};
    QTest::newRow("batches around the limit") << 5 << 10 << QList<int>{9, 1, 2, 30, 1};
    QTest::newRow("limit of two") << 2 << 2 << QList<int>{1, 5, 1};
    QTest::newRow("table above the limit already") << 80 << 10 << QList<int>{1, 3};
}

// The same rows into one table by insertTop with the window's trim, into
// another in bulk: the same rows, the same marks, and the views told the same.
void EventTableTest::bulkInsertLeavesWhatSingleInsertsLeave() {
    QFETCH(int, startRows);
    QFETCH(int, rowLimit);
    QFETCH(QList<int>, batches);
    EventTable single(EventTable::Kind::FullList), bulk(EventTable::Kind::FullList);
    QAbstractItemModelTester tester(&bulk, QAbstractItemModelTester::FailureReportingMode::QtTest);
    single.setRows(startRows);
    bulk.setRows(startRows);
    single.insertTop(makeRow(-1));
    bulk.insertTop(makeRow(-1));
    const EventTable::RowMark singleMark = single.markRow(startRows);
    const EventTable::RowMark bulkMark = bulk.markRow(startRows);
    int n = 0;
    for (const int size : batches) {
        std::vector<EventRow> rows;
        for (int k = 0; k < size; ++k, ++n) {
            rows.push_back(makeRow(n, levelByIndex(n % kLevelCount)));
            if (single.rows() > rowLimit)
                single.setRows(rowLimit - 1);
            single.insertTop(rows.back());
        }
        bulk.insertTopBulk(rows, rowLimit);
        QCOMPARE(bulk.rows(), single.rows());
        QCOMPARE(bulk.eventCount(), single.eventCount());
        for (int r = 0; r < single.rows(); ++r)
            for (int c = 0; c < single.columnCount(); ++c)
                QCOMPARE(bulk.cellText(r, c), single.cellText(r, c));
        QCOMPARE(bulk.findRow(bulkMark), single.findRow(singleMark));
        compareViewWithTable(bulk);
    }
}

void EventTableTest::waitingEventsLeaveWhatTakingEachLeaves_data() {
    QTest::addColumn<int>("rowLimit");
    QTest::addColumn<int>("startRows");
    QTest::addColumn<QList<int>>("batches"); // events per batch
    QTest::addColumn<int>("levelEvery");     // every n-th event of level 0, the rest of 1..6
    QTest::newRow("fewer than the limit") << 1000 << 20 << QList<int>{3, 40} << 2;
    QTest::newRow("flood past every table") << 10 << 20 << QList<int>{50, 7, 300, 1} << 3;
    QTest::newRow("a rare level") << 10 << 5 << QList<int>{200, 200, 1, 200} << 97;
    QTest::newRow("limit of two") << 2 << 2 << QList<int>{30, 1, 4} << 5;
    QTest::newRow("an odd count") << 7 << 10 << QList<int>{23, 18} << 2;
    QTest::newRow("tables above the limit already") << 10 << 80 << QList<int>{25, 3} << 4;
}

// The same events, shown and hidden ones, into one set of tables (seven
// levels and the full list) one after another with the window's trim, and
// into another after waiting: the same rows, marks and counts.
void EventTableTest::waitingEventsLeaveWhatTakingEachLeaves() {
    QFETCH(int, rowLimit);
    QFETCH(int, startRows);
    QFETCH(QList<int>, batches);
    QFETCH(int, levelEvery);
    std::vector<std::unique_ptr<EventTable>> single, waited;
    std::vector<EventTable::RowMark> singleMarks, waitedMarks;
    for (int t = 0; t <= kLevelCount; ++t) {
        const auto kind =
            t < kLevelCount ? EventTable::Kind::LevelTable : EventTable::Kind::FullList;
        for (auto *tables : {&single, &waited}) {
            tables->push_back(std::make_unique<EventTable>(kind));
            tables->back()->setRows(startRows);
        }
        singleMarks.push_back(single.back()->markRow(startRows - 1));
        waitedMarks.push_back(waited.back()->markRow(startRows - 1));
    }
    const auto insert = [rowLimit](EventTable &table, const EventRow &row) {
        if (table.rows() > rowLimit)
            table.setRows(rowLimit - 1);
        table.insertTop(row);
    };
    WaitingEvents waiting;
    int n = 0;
    for (const int size : batches) {
        std::vector<Event> batch;
        for (int k = 0; k < size; ++k, ++n) {
            Event &event = batch.emplace_back();
            event.level = &levelByIndex(n % levelEvery == 0 ? 0 : 1 + n % (kLevelCount - 1));
            event.date = "d" + std::to_string(n);
            event.message = "message " + std::to_string(n);
            event.source = Source::Syslog;
            event.sender = "192.0.2." + std::to_string(n % 250);
            event.senderPort = std::uint16_t(n);
            event.receivedAt = 1'800'000'000 + n;
            event.rawId = std::uint64_t(n) + 1;
            event.actions.shown = n % 11 != 5;
            if (!event.actions.shown)
                continue;
            const EventRow row(event);
            insert(*single[std::size_t(event.level->index)], row);
            insert(*single.back(), row);
        }
        QVERIFY(waiting.add(batch, rowLimit));
    }
    const BulkRows rows = waiting.take(rowLimit);
    QVERIFY(waiting.empty());
    for (int t = 0; t <= kLevelCount; ++t) {
        const auto &table = t < kLevelCount ? rows.levels[std::size_t(t)] : rows.fullList;
        EventTable &expected = *single[std::size_t(t)], &actual = *waited[std::size_t(t)];
        actual.insertTopBulk(table.rows, rowLimit, table.before);
        QCOMPARE(actual.rows(), expected.rows());
        QCOMPARE(actual.eventCount(), expected.eventCount());
        for (int r = 0; r < expected.rows(); ++r) {
            for (int c = 0; c < expected.columnCount(); ++c)
                QCOMPARE(actual.cellText(r, c), expected.cellText(r, c));
            const EventRow got = actual.eventAt(r), want = expected.eventAt(r);
            QCOMPARE(got.sender(), want.sender());
            QCOMPARE(got.senderPort(), want.senderPort());
            QCOMPARE(got.receivedAt(), want.receivedAt());
            QCOMPARE(got.rawId(), want.rawId());
            QCOMPARE(got.source(), want.source());
        }
        QCOMPARE(actual.findRow(waitedMarks[std::size_t(t)]),
                 expected.findRow(singleMarks[std::size_t(t)]));
        compareViewWithTable(actual);
    }
}

// A repeat, a clearing event or an acknowledgement changes rows already in
// the tables: its batch is not taken to wait.
void EventTableTest::eventsThatChangeRowsDoNotWait() {
    const auto batchWith = [](auto change) {
        std::vector<Event> batch(2);
        for (Event &event : batch)
            event.level = &levelByIndex(3);
        change(batch.back());
        return batch;
    };
    WaitingEvents waiting;
    QCOMPARE(waiting.add(batchWith([](Event &e) { e.actions.shown = false; }), 10).value_or(-1), 1);
    QVERIFY(!waiting.add(batchWith([](Event &e) { e.actions.repeat = true; }), 10));
    QVERIFY(!waiting.add(batchWith([](Event &e) { e.actions.foldSeconds = 60; }), 10));
    QVERIFY(!waiting.add(
        batchWith([](Event &e) { e.actions.clears = std::make_shared<const EventFilter>(); }), 10));
    QVERIFY(!waiting.add(
        batchWith([](Event &e) { e.acknowledges = std::make_shared<const Acknowledgement>(); }),
        10));
    QCOMPARE(waiting.take(10).levels[3].rows.size(), std::size_t(1));
}

void EventTableTest::rowsAreSharedAndShownWithLeadingBlank() {
    Event record;
    record.level = &trapLevel();
    record.date = "07.12.2026 20:41:05";
    record.host = std::string("h\0st", 4);
    record.application = "";
    record.object = "disk 2";
    record.message = "quota reached";
    const EventRow row(record);
    const EventRow copy = row;
    QCOMPARE(copy.bytes(1), std::string_view("h\0st", 4));
    QCOMPARE(copy.cellText(4), QStringLiteral(" quota reached"));
    QCOMPARE(copy.cellText(2), QString());
    QCOMPARE(copy.level().name, std::string_view("Trap"));
    QCOMPARE(EventRow().cellText(4), QString()); // an empty row has no blank either

    // A field longer than any datagram is cut; the message stays whole.
    record.host = std::string(70000, 'p');
    record.message = std::string(70000, 'm');
    const EventRow huge(record);
    QCOMPARE(huge.bytes(1).size(), std::size_t(65535));
    QCOMPARE(huge.bytes(3), std::string_view("disk 2"));
    QCOMPARE(huge.bytes(4), std::string_view(record.message));

    EventTable full(EventTable::Kind::FullList);
    full.insertTop(row);
    QCOMPARE(full.cellText(1, 0), QStringLiteral("Trap"));
    QCOMPARE(full.cellText(1, 5), QStringLiteral(" quota reached"));
    QCOMPARE(full.messageColumn(), 5);
}

void EventTableTest::newestRowIsRowOne() {
    EventTable table(EventTable::Kind::LevelTable);
    table.setRows(5); // header and four empty rows
    for (int n = 0; n < 3; ++n)
        table.insertTop(makeRow(n));
    QCOMPARE(table.rows(), 8);
    QCOMPARE(table.cellText(1, 0), QStringLiteral("d2"));
    QCOMPARE(table.cellText(3, 0), QStringLiteral("d0"));
    QVERIFY(table.eventAt(4).isNull());
    table.setRows(3); // drops the oldest
    QCOMPARE(table.cellText(2, 0), QStringLiteral("d1"));
    QVERIFY(table.eventAt(3).isNull());
    table.setRows(0); // never fewer than the header and one data row
    QCOMPARE(table.rows(), 2);
}

void EventTableTest::randomEditsKeepViewsConsistent() {
    EventTable table(EventTable::Kind::FullList);
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QRandomGenerator random(162);
    int n = 0;
    for (int step = 0; step < 3000; ++step) {
        switch (random.bounded(10)) {
        case 0:
            table.setRows(int(random.bounded(1, 40)));
            break;
        case 1:
            table.flushChanges();
            break;
        case 2:
            table.removeRow(int(random.bounded(1, table.rows() + 1)));
            break;
        case 3:
            if (random.bounded(20) == 0)
                table.clearAll();
            break;
        case 4: {
            // A repeat folds into a row, wherever it is now.
            EventRow row = table.eventAt(int(random.bounded(1, table.rows())));
            Event repeat = row.event();
            repeat.date = "f" + std::to_string(step);
            row.fold(repeat);
            table.rowChanged(row);
            break;
        }
        default:
            if (table.rows() > 30)
                table.setRows(29);
            ++n;
            table.insertTop(makeRow(n));
        }
        if (step % 97 == 0)
            compareViewWithTable(table);
        if (QTest::currentTestFailed())
            return;
    }
    compareViewWithTable(table);
}

void EventTableTest::recolourTouchesOnlyThatLevel() {
    EventTable full(EventTable::Kind::FullList);
    full.insertTop(makeRow(1, levelByIndex(0)));
    full.insertTop(makeRow(2, trapLevel()));
    QCOMPARE(full.background(1), std::optional<Colour>(16776960)); // Warning's colour
    LevelColours colours = defaultLevelColours();
    colours[4] = 0xABCDEF;
    full.setLevelColours(colours);
    QCOMPARE(full.background(1), std::optional<Colour>(0xABCDEF));
    QCOMPARE(full.background(2), std::optional<Colour>(255));
    EventTable level(EventTable::Kind::LevelTable);
    level.insertTop(makeRow(3));
    QCOMPARE(level.background(1), std::nullopt);
    QCOMPARE(toQColor(0x0000FF), QColor(255, 0, 0)); // red in the low byte
}

// A sender must not reorder what the operator reads: every cell shows the
// controls by their codes, while the log line keeps the received bytes.
void EventTableTest::bidiControlsShownByCode() {
    const std::string datagram = "$LEVL$:C$HOST$:\u2066srv\u2069$SOURCE$:a\u202A\u202Bb"
                                 "$MSG$:\u202Edesrever \u202F";
    const Event record = parseEventMessage(datagram, "10.0.0.9", {2026, 12, 7, 20, 41, 5});
    EventTable table(EventTable::Kind::FullList);
    table.insertTop(EventRow(record));
    QCOMPARE(table.cellText(1, 2), QString("[U+2066]srv[U+2069]"));
    QCOMPARE(table.cellText(1, 3), QString("a[U+202A][U+202B]b"));
    // A neighbour of the controls (U+202F) stays.
    QCOMPARE(table.cellText(1, 5), QString::fromUtf8(" [U+202E]desrever \u202F"));
    QVERIFY(formatLogLine(record).find("\u202Edesrever") != std::string::npos);
}

// Every field is read on its own: valid UTF-8 as it is, anything else as
// Windows-1252; a line break shows as its code, so one event is one line.
void EventTableTest::textShownReadably_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("ASCII") << QByteArray("plain") << QString("plain");
    QTest::newRow("UTF-8") << QByteArray("M\xC3\xBCller caf\xC3\xA9")
                           << QString("M\u00FCller caf\u00E9");
    QTest::newRow("Latin-1") << QByteArray("M\xFCller caf\xE9") << QString("M\u00FCller caf\u00E9");
    QTest::newRow("Windows-1252") << QByteArray("\x80 \x93q\x94 \x85 \x81")
                                  << QString("\u20AC \u201Cq\u201D \u2026 \u0081");
    QTest::newRow("overlong UTF-8") << QByteArray("\xC0\xAF") << QString("\u00C0\u00AF");
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << QString("\u00ED\u00A0\u20AC");
    QTest::newRow("line breaks") << QByteArray("a\r\nb\nc")
                                 << QString("a[U+000D][U+000A]b[U+000A]c");
    QTest::newRow("Latin-1 with a line break") << QByteArray("\xE9\n") << QString("\u00E9[U+000A]");
}

void EventTableTest::textShownReadably() {
    QFETCH(QByteArray, bytes);
    Event record = parseEventMessage("$LEVL$:W$MSG$:m", "h", {2026, 12, 7, 20, 41, 5});
    record.application = bytes.toStdString();
    record.message = bytes.toStdString();
    EventTable table(EventTable::Kind::FullList);
    table.insertTop(EventRow(record));
    QTEST(table.cellText(1, 3), "shown");
    QCOMPARE(table.cellText(1, 5), QLatin1Char(' ') + table.cellText(1, 3));
}

// One event shown in its level table and the full list: a fold, a clear and
// an acknowledgement change it in both, where it is, and the views learn of
// each at the next flush; a table that lets the row go no longer holds it.
void EventTableTest::foldClearAndAcknowledgeChangeRowsInPlace() {
    EventTable level(EventTable::Kind::LevelTable), full(EventTable::Kind::FullList);
    QAbstractItemModelTester tester(&full, QAbstractItemModelTester::FailureReportingMode::QtTest);
    Event down = parseEventMessage("$LEVL$:W$DATE$:10.12.2026 10:00:01$HOST$:core-1$MSG$:link down",
                                   "192.0.2.1", {});
    EventRow row(down);
    for (EventTable *table : {&level, &full}) {
        table->insertTop(row);
        table->insertTop(makeRow(1));
        table->flushChanges();
    }
    QCOMPARE(row.tablesHolding(), 2);
    QCOMPARE(row.toolTip(), QString());

    QSignalSpy changed(&full, &QAbstractItemModel::dataChanged);
    for (const char *date : {"10.12.2026 10:00:02", "10.12.2026 10:05:40"}) {
        Event repeat = down;
        repeat.date = date;
        row.fold(repeat);
        level.rowChanged(row);
        full.rowChanged(row);
    }
    QCOMPARE(changed.count(), 0); // told at the flush, once
    full.flushChanges();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].toModelIndex().row(), 1);
    QCOMPARE(changed[0][1].toModelIndex().row(), 1);
    for (EventTable *table : {&level, &full}) {
        const int message = table->messageColumn();
        QCOMPARE(table->cellText(2, message), QStringLiteral(" \u00D73 link down"));
        QCOMPARE(table->cellText(2, message - 4), QStringLiteral("10.12.2026 10:05:40"));
    }
    QCOMPARE(full.data(full.index(1, 0), Qt::ToolTipRole).toString(),
             QStringLiteral("3 events, first 10.12.2026 10:00:01, last 10.12.2026 10:05:40"));
    // The copy is the newest event's log line; the filter reads its date.
    QCOMPARE(row.copyLine(), QStringLiteral("Warning;10.12.2026 10:05:40;core-1;;;link down"));
    QVERIFY(EventFilter("10:05:40").matches(row.level(), row.filterFields()));
    QVERIFY(!EventFilter("10:00:01").matches(row.level(), row.filterFields()));
    // An acknowledgement names the event by its first or newest date.
    Event named = down;
    QCOMPARE(full.rowsOf(named), std::vector<int>{2});
    named.date = "10.12.2026 10:05:40";
    QCOMPARE(level.rowsOf(named), std::vector<int>{2});
    named.date = "10.12.2026 10:00:02";
    QCOMPARE(level.rowsOf(named), std::vector<int>{});

    Event up = down;
    up.level = &levelByIndex(5);
    up.date = "10.12.2026 10:06:00";
    up.message = "link up";
    row.clear(up);
    full.acknowledge(2, QStringLiteral("alice"), QStringLiteral("10.12.2026 10:07:00"),
                     QStringLiteral("on it"));
    QCOMPARE(changed.count(), 2); // acknowledged: told at once
    QCOMPARE(full.data(full.index(1, 5), Qt::ToolTipRole).toString(),
             QStringLiteral("3 events, first 10.12.2026 10:00:01, last 10.12.2026 10:05:40\n"
                            "Cleared at 10.12.2026 10:06:00 by Information from core-1: link up\n"
                            "Acknowledged by alice at 10.12.2026 10:07:00: on it"));
    QVERIFY(level.data(level.index(1, 0), Qt::FontRole).value<QFont>().strikeOut());
    QVERIFY(!level.data(level.index(0, 0), Qt::FontRole).isValid());

    full.removeRow(2);
    QCOMPARE(row.tablesHolding(), 1);
    level.setRows(2); // trimmed
    QCOMPARE(row.tablesHolding(), 0);
    full.insertTop(row);
    full.clearAll();
    QCOMPARE(row.tablesHolding(), 0);
}

QTEST_MAIN(EventTableTest)
#include "tst_event_table.moc"
