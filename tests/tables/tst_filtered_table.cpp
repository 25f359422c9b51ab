// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/event.h"
#include "core/event_filter.h"
#include "tables/event_table.h"
#include "tables/filtered_table.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QTest>

#include <functional>

using namespace quorvik;

namespace {

// Event n comes from host "core" when n is a multiple of three, else "edge".
EventRow makeRow(int n) {
    Event record;
    record.level = &levelByIndex(n % kLevelCount);
    record.date = "d" + std::to_string(n);
    record.host = n % 3 == 0 ? "core" : "edge";
    record.message = std::to_string(n);
    return EventRow(record);
}

int numberOf(const EventRow &row) {
    return std::stoi(row.event().message);
}

bool folded(const EventRow &row) {
    return row.count() > 1;
}

struct Query {
    const char *text;
    std::function<bool(const EventRow &)> passes;
};

// A fold gives a row the date "zz<step>", which the last two read.
const std::vector<Query> kQueries = {
    {"", [](const EventRow &) { return true; }},
    {"host:core", [](const EventRow &row) { return numberOf(row) % 3 == 0; }},
    {"-host:core", [](const EventRow &row) { return numberOf(row) % 3 != 0; }},
    {"host:nowhere", [](const EventRow &) { return false; }},
    {"zz", folded},
    {"-zz", [](const EventRow &row) { return !folded(row); }},
};

} // namespace

class FilteredTableTest : public QObject {
    Q_OBJECT

private slots:
    void followsEveryChangeOfItsTable_data();
    void followsEveryChangeOfItsTable();
};

void FilteredTableTest::followsEveryChangeOfItsTable_data() {
    QTest::addColumn<EventTable::Kind>("kind");
    QTest::addColumn<quint32>("seed");
    for (const quint32 seed : {1u, 2u, 3u}) {
        QTest::addRow("level table, seed %u", seed) << EventTable::Kind::LevelTable << seed;
        QTest::addRow("full list, seed %u", seed) << EventTable::Kind::FullList << seed;
    }
}

// Random inserts (one by one with the intake's trim, and in bulk), removals,
// clears, new row counts, colours, folds and filters, told to the views in batches
// of random size: after each batch the filtered model holds exactly the
// table's events that pass, newest first, and QAbstractItemModelTester finds
// every signal it sent consistent with its rows.
void FilteredTableTest::followsEveryChangeOfItsTable() {
    QFETCH(EventTable::Kind, kind);
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    EventTable table(kind);
    table.setAutoFlush(false);
    table.setRows(30);
    FilteredTable filtered(&table);
    QAbstractItemModelTester tester(&filtered,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    const Query *query = &kQueries[0];
    int next = 0;
    constexpr int kRowLimit = 40;
    for (int step = 0; step < 600; ++step) {
        const quint32 action = random.bounded(100u);
        if (action < 45) {
            if (table.rows() > kRowLimit)
                table.setRows(kRowLimit - 1);
            table.insertTop(makeRow(next++));
        } else if (action < 55) {
            std::vector<EventRow> rows;
            for (quint32 k = random.bounded(1u, 60u); k > 0; --k)
                rows.push_back(makeRow(next++));
            table.insertTopBulk(rows, kRowLimit);
        } else if (action < 70) {
            if (table.rows() > 2)
                table.removeRow(random.bounded(1, table.rows()));
        } else if (action < 73) {
            table.clearAll();
        } else if (action < 78) {
            table.setRows(random.bounded(2, kRowLimit + 10));
        } else if (action < 81) {
            LevelColours colours = defaultLevelColours();
            colours[random.bounded(quint32(kLevelCount))] = random.bounded(0x1000000u);
            table.setLevelColours(colours);
        } else if (action < 86) {
            query = &kQueries[random.bounded(quint32(kQueries.size()))];
            filtered.setFilter(EventFilter(query->text));
        } else if (action < 95) {
            EventRow row = table.eventAt(random.bounded(1, table.rows()));
            Event repeat = row.event();
            repeat.date = "zz" + std::to_string(step);
            row.fold(repeat);
            table.rowChanged(row);
        }
        if (QTest::currentTestFailed())
            return;
        if (random.bounded(4u) != 0)
            continue;
        table.flushChanges();

        std::vector<int> expected;
        for (int row = 1; row < table.rows(); ++row) {
            const EventRow event = table.eventAt(row);
            if (!event.isNull() && query->passes(event))
                expected.push_back(numberOf(event));
        }
        std::vector<int> shown;
        for (int row = 0; row < filtered.rowCount(); ++row) {
            const EventRow event = filtered.eventAt(row);
            QVERIFY(!event.isNull());
            QCOMPARE(filtered.rowOf(event), row);
            QCOMPARE(filtered.data(filtered.index(row, table.messageColumn()), Qt::DisplayRole),
                     table.eventData(event, table.messageColumn(), Qt::DisplayRole));
            shown.push_back(numberOf(event));
        }
        QCOMPARE(shown, expected);
    }
}

QTEST_MAIN(FilteredTableTest)
#include "tst_filtered_table.moc"
