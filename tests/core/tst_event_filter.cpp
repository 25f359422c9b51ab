// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The filter bar's matching rules: a table of queries against one event.

#include "core/event_filter.h"

#include <QtTest>

using namespace quorvik;

namespace {

// A Warning from srv7's backup about disk_2.
const FilterFields kEvent = {"Warning", "07.12.2026 20:41:05",  "srv7", "backup",
                             "disk_2",  "Quota reached on /srv"};

bool passes(const EventFilter &filter, bool withLevel = true) {
    return filter.matches(levelByIndex(4), kEvent, withLevel);
}

} // namespace

class TestEventFilter : public QObject {
    Q_OBJECT

private slots:
    void words_data();
    void words();
    void levelNameOnlyWhereShown();
    void hiddenLevels();
    void wideSearchForWordsBeyondAscii();
    void filterWordQuotesBlanks();
};

void TestEventFilter::words_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("passes");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("blanks only") << "  \t " << true;
    QTest::newRow("any field, case ignored") << "QUOTA" << true;
    QTest::newRow("in the date") << "20:41" << true;
    QTest::newRow("in the host") << "srv7" << true;
    QTest::newRow("absent") << "full" << false;
    QTest::newRow("all words must match") << "quota srv7" << true;
    QTest::newRow("one word missing") << "quota srv8" << false;
    QTest::newRow("host: in the host") << "host:SRV" << true;
    QTest::newRow("host: not elsewhere") << "host:backup" << false;
    QTest::newRow("app:") << "app:back" << true;
    QTest::newRow("obj:") << "obj:disk_2" << true;
    QTest::newRow("obj: not in the message") << "obj:quota" << false;
    QTest::newRow("msg:") << "msg:/srv" << true;
    QTest::newRow("level:") << "level:warn" << true;
    QTest::newRow("level: other") << "level:note" << false;
    QTest::newRow("prefix case ignored") << "HOST:srv7" << true;
    QTest::newRow("unknown prefix is text") << "disk:2" << false;
    QTest::newRow("excluded word present") << "-quota" << false;
    QTest::newRow("excluded word absent") << "-full" << true;
    QTest::newRow("excluded restricted word") << "-host:srv7" << false;
    QTest::newRow("exclusion restricted elsewhere") << "-msg:srv7" << true;
    QTest::newRow("include and exclude") << "srv -backup" << false;
    QTest::newRow("lone minus ignored") << "quota -" << true;
    QTest::newRow("empty prefix ignored") << "host:" << true;
    QTest::newRow("quoted phrase") << "\"quota reached\"" << true;
    QTest::newRow("quoted phrase absent") << "\"reached quota\"" << false;
    QTest::newRow("quoted restricted phrase") << "msg:\"on /srv\"" << true;
    QTest::newRow("longer than the field") << "host:srv7srv7srv7srv7" << false;
    QTest::newRow("match at the end") << "/SRV" << true;
}

void TestEventFilter::words() {
    QFETCH(QString, query);
    QTEST(passes(EventFilter(query.toStdString())), "passes");
}

void TestEventFilter::levelNameOnlyWhereShown() {
    // A level table shows no level column: its words don't look there.
    const EventFilter filter("warn");
    QVERIFY(passes(filter, true));
    QVERIFY(!passes(filter, false));
    QVERIFY(passes(EventFilter("level:warn"), false));
}

void TestEventFilter::hiddenLevels() {
    EventFilter filter;
    QVERIFY(filter.isEmpty());
    filter.setLevelShown(4, false);
    QVERIFY(!filter.isEmpty());
    QVERIFY(!passes(filter));
    // Trap and Unknown go with the Warning table.
    QVERIFY(!filter.matches(trapLevel(), kEvent));
    QVERIFY(filter.matches(levelByIndex(3), kEvent));
    filter.setLevelShown(4, true);
    QVERIFY(filter.isEmpty());
    QVERIFY(!EventFilter("x").isEmpty());
    QVERIFY(EventFilter("host: -").isEmpty());
}

void TestEventFilter::wideSearchForWordsBeyondAscii() {
    const FilterFields event = {"Note",
                                "",
                                "srv",
                                "app",
                                "",
                                "Gr\xc3\x96\xc3\x9f"
                                "e"};
    QList<QByteArray> asked;
    const WideSearch wide = [&](std::string_view text, std::string_view search) {
        asked << QByteArray(search.data(), qsizetype(search.size()));
        return QString::fromUtf8(text.data(), qsizetype(text.size()))
            .contains(QString::fromUtf8(search.data(), qsizetype(search.size())),
                      Qt::CaseInsensitive);
    };
    QVERIFY(EventFilter("gr\xc3\xb6\xc3\x9f", wide).matches(levelByIndex(6), event));
    QVERIFY(!asked.isEmpty());
    asked.clear();
    // ASCII words never need it.
    QVERIFY(EventFilter("GR", wide).matches(levelByIndex(6), event));
    QVERIFY(asked.isEmpty());
    // Without it, bytes beyond ASCII compare exactly.
    QVERIFY(!EventFilter("gr\xc3\xb6").matches(levelByIndex(6), event));
    QVERIFY(EventFilter("gr\xc3\x96").matches(levelByIndex(6), event));
}

void TestEventFilter::filterWordQuotesBlanks() {
    QCOMPARE(filterWord("host", "srv7"), std::string("host:srv7"));
    QCOMPARE(filterWord("obj", "disk 2"), std::string("obj:\"disk 2\""));
    const FilterFields event = {"Note", "", "srv", "app", "disk 2", "m"};
    QVERIFY(EventFilter(filterWord("obj", "disk 2")).matches(levelByIndex(6), event));
    QVERIFY(!EventFilter(filterWord("obj", "disk 3")).matches(levelByIndex(6), event));
}

QTEST_APPLESS_MAIN(TestEventFilter)
#include "tst_event_filter.moc"
