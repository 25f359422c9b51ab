// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/local_time.h"

#include <QtTest>

#include <cstdlib>
#include <ctime>

using namespace quorvik;

namespace {

QByteArray text(std::int64_t seconds, LocalTimeCache &cache) {
    return QByteArray::fromStdString(formatGeneratedDate(cache.at(seconds)));
}

} // namespace

class TestLocalTime : public QObject {
    Q_OBJECT

private slots:
    void acrossDaylightSaving();
};

// Central European rules written out, so the test needs no zone files. In
// 2026 summer time starts at 01:00 UTC on 29 March and ends at 01:00 UTC on
// 25 October.
void TestLocalTime::acrossDaylightSaving() {
    const QByteArray oldZone = qgetenv("TZ");
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    const std::int64_t autumn = 1792890000, spring = 1774746000;
    LocalTimeCache cache;
    QCOMPARE(text(autumn - 1, cache), QByteArray("25.10.2026 02:59:59"));
    QCOMPARE(text(autumn - 1, cache), QByteArray("25.10.2026 02:59:59"));
    QCOMPARE(text(autumn, cache), QByteArray("25.10.2026 02:00:00"));
    QCOMPARE(text(autumn + 3599, cache), QByteArray("25.10.2026 02:59:59"));
    QCOMPARE(text(autumn + 3600, cache), QByteArray("25.10.2026 03:00:00"));
    // The wall clock jumps back by months, then forward again.
    QCOMPARE(text(spring - 1, cache), QByteArray("29.03.2026 01:59:59"));
    QCOMPARE(text(spring, cache), QByteArray("29.03.2026 03:00:00"));
    QCOMPARE(text(autumn + 86400 * 67 + 3600 * 22, cache), QByteArray("01.01.2027 00:00:00"));
    QCOMPARE(text(951782400, cache), QByteArray("29.02.2000 01:00:00"));
    // A changed zone is noticed at the next second.
    qputenv("TZ", "UTC0");
    QCOMPARE(text(autumn + 1, cache), QByteArray("25.10.2026 01:00:01"));
    if (oldZone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldZone);
}

QTEST_APPLESS_MAIN(TestLocalTime)
#include "tst_local_time.moc"
