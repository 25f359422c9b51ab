// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/date_time.h"

#include <QtTest>

using namespace quorvik;

namespace {

// The value as shown, or "illegal".
QByteArray shown(const char *text) {
    const auto value = readDateTime(text);
    return value ? QByteArray::fromStdString(showDateTime(*value)) : QByteArray("illegal");
}

} // namespace

class TestDateTime : public QObject {
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void zeroAndBounds();
    void upperBound_data();
    void upperBound();
    void defaultRange();
};

void TestDateTime::read_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("shown");
    QTest::newRow("four-digit year") << QByteArray("12.5.2014") << QByteArray("12.05.2014");
    QTest::newRow("two-digit year") << QByteArray("12.5.14") << QByteArray("12.05.2014");
    QTest::newRow("68 is 2068") << QByteArray("1.1.68") << QByteArray("01.01.2068");
    QTest::newRow("69 is 1969") << QByteArray("1.1.69") << QByteArray("01.01.1969");
    QTest::newRow("00 is 2000") << QByteArray("29.2.00") << QByteArray("29.02.2000");
    QTest::newRow("without seconds")
        << QByteArray("12.5.14 12:40") << QByteArray("12.05.2014 12:40:00");
    QTest::newRow("with seconds") << QByteArray("12.5.2014 12:40:25")
                                  << QByteArray("12.05.2014 12:40:25");
    QTest::newRow("as logged") << QByteArray("07.12.2026 20:41:05")
                               << QByteArray("07.12.2026 20:41:05");
    QTest::newRow("midnight shows no time")
        << QByteArray("07.12.2026 00:00:00") << QByteArray("07.12.2026");
    QTest::newRow("one second past midnight")
        << QByteArray("07.12.2026 00:00:01") << QByteArray("07.12.2026 00:00:01");
    QTest::newRow("time alone is on the zero day")
        << QByteArray("12:40") << QByteArray("30.12.1899 12:40:00");
    QTest::newRow("blanks around")
        << QByteArray(" 12.5.14  8:05 ") << QByteArray("12.05.2014 08:05:00");
    QTest::newRow("leap year") << QByteArray("29.02.2024") << QByteArray("29.02.2024");
    QTest::newRow("2100 is no leap year") << QByteArray("29.02.2100") << QByteArray("illegal");
    QTest::newRow("2023 is no leap year") << QByteArray("29.02.2023") << QByteArray("illegal");
    QTest::newRow("31 April") << QByteArray("31.04.2024") << QByteArray("illegal");
    QTest::newRow("month 13") << QByteArray("1.13.2024") << QByteArray("illegal");
    QTest::newRow("day 0") << QByteArray("0.1.2024") << QByteArray("illegal");
    QTest::newRow("three-digit year") << QByteArray("1.1.202") << QByteArray("illegal");
    QTest::newRow("five-digit year") << QByteArray("1.1.20245") << QByteArray("illegal");
    QTest::newRow("hour 24") << QByteArray("1.1.2024 24:00") << QByteArray("illegal");
    QTest::newRow("minute 60") << QByteArray("1.1.2024 12:60") << QByteArray("illegal");
    QTest::newRow("hour alone") << QByteArray("1.1.2024 12") << QByteArray("illegal");
    QTest::newRow("other order") << QByteArray("2024-01-01") << QByteArray("illegal");
    QTest::newRow("trailing text") << QByteArray("1.1.2024x") << QByteArray("illegal");
    // The logged shape, read in one go, follows the same checks.
    QTest::newRow("logged, 29 February 2024")
        << QByteArray("29.02.2024 23:59:59") << QByteArray("29.02.2024 23:59:59");
    QTest::newRow("logged, 29 February 2023")
        << QByteArray("29.02.2023 10:00:00") << QByteArray("illegal");
    QTest::newRow("logged, year 99") << QByteArray("31.12.0099 00:00:01") << QByteArray("illegal");
    QTest::newRow("logged, year 100")
        << QByteArray("01.01.0100 00:00:01") << QByteArray("01.01.0100 00:00:01");
    QTest::newRow("logged, day 0") << QByteArray("00.01.2026 00:00:00") << QByteArray("illegal");
    QTest::newRow("logged, month 13") << QByteArray("01.13.2026 00:00:00") << QByteArray("illegal");
    QTest::newRow("logged, hour 24") << QByteArray("01.01.2026 24:00:00") << QByteArray("illegal");
    QTest::newRow("logged, second 60")
        << QByteArray("01.01.2026 23:59:60") << QByteArray("illegal");
    QTest::newRow("logged, a letter") << QByteArray("01.01.2026 23:5x:00") << QByteArray("illegal");
    QTest::newRow("empty") << QByteArray("") << QByteArray("illegal");
    QTest::newRow("word") << QByteArray("Date") << QByteArray("illegal");
}

void TestDateTime::read() {
    QFETCH(QByteArray, text);
    QTEST(shown(text.constData()), "shown");
}

void TestDateTime::zeroAndBounds() {
    QVERIFY(readDateTime("00:00:00")->isZero());
    QVERIFY(readDateTime("00:00")->isZero());
    QCOMPARE(showDateTime({}), std::string("30.12.1899"));
    QCOMPARE(*readDateTime("30.12.1899"), DateTime{});
    QCOMPARE(*readDateTime("01.02.1900"), toDateTime(kNoLowerBound));
    QCOMPARE(*readDateTime("31.12.2100 23:59:59"), toDateTime(kNoUpperBound));
    QCOMPARE(showDateTime(toDateTime(kNoLowerBound)), std::string("01.02.1900"));
    QCOMPARE(showDateTime(toDateTime(kNoUpperBound)), std::string("31.12.2100 23:59:59"));
    QVERIFY(*readDateTime("12.5.14 12:40:25") < *readDateTime("12.5.14 12:40:26"));
    QVERIFY(*readDateTime("31.12.1999 23:59:59") < *readDateTime("1.1.00"));
}

void TestDateTime::upperBound_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("completed");
    QTest::newRow("date alone") << QByteArray("12.5.14") << QByteArray("12.05.2014 23:59:59");
    QTest::newRow("hh:mm") << QByteArray("12.5.14 12:40") << QByteArray("12.05.2014 12:40:59");
    QTest::newRow("full hour") << QByteArray("12.5.14 12:00") << QByteArray("12.05.2014 12:59:59");
    QTest::newRow("half past midnight")
        << QByteArray("12.5.14 00:30") << QByteArray("12.05.2014 23:30:59");
    QTest::newRow("00:00") << QByteArray("07.12.2026 00:00") << QByteArray("07.12.2026 23:59:59");
    QTest::newRow("08:00:00") << QByteArray("07.12.2026 08:00:00")
                              << QByteArray("07.12.2026 08:59:59");
    QTest::newRow("nothing to add")
        << QByteArray("07.12.2026 08:01:02") << QByteArray("07.12.2026 08:01:02");
}

void TestDateTime::upperBound() {
    QFETCH(QByteArray, text);
    const DateTime completed = completeUpperBound(*readDateTime(text.constData()));
    QTEST(QByteArray::fromStdString(showDateTime(completed)), "completed");
}

void TestDateTime::defaultRange() {
    const DateRange first = yesterdayAndToday({2026, 3, 1, 14, 5, 9});
    QCOMPARE(showDateTime(first.from), std::string("28.02.2026"));
    QCOMPARE(showDateTime(first.to), std::string("01.03.2026 23:59:59"));
    const DateRange newYear = yesterdayAndToday({2027, 1, 1, 0, 0, 0});
    QCOMPARE(showDateTime(newYear.from), std::string("31.12.2026"));
}

QTEST_APPLESS_MAIN(TestDateTime)
#include "tst_date_time.moc"
