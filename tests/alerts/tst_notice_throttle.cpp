// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// At most one desktop notification a second, the rest summarised: events at
// given times, the due summaries taken as the notifier's timer would.

#include "alerts/notice_throttle.h"

#include <QTest>

using namespace quorvik;

struct Arrival {
    std::int64_t ms;
    int level;
};
Q_DECLARE_METATYPE(Arrival)

namespace {

const char *const kNames[] = {"Emergency", "Panic", "Critical", "Alert"};

// What is shown, as "time summary | body".
QStringList run(const QList<Arrival> &arrivals) {
    NoticeThrottle throttle;
    QStringList shown;
    const auto record = [&shown](std::int64_t ms, const std::optional<ShownNotice> &n) {
        if (n)
            shown << QStringLiteral("%1 %2 | %3").arg(ms).arg(n->summary, n->body);
    };
    const auto takeDueUntil = [&](std::int64_t ms) {
        while (throttle.dueAt() && *throttle.dueAt() <= ms) {
            const std::int64_t due = *throttle.dueAt();
            record(due, throttle.takeDue(due));
        }
    };
    int k = 0;
    for (const Arrival &a : arrivals) {
        takeDueUntil(a.ms);
        const Notice notice{a.level, QString::fromLatin1(kNames[a.level]),
                            QStringLiteral("h%1").arg(k), QStringLiteral("m%1").arg(k)};
        ++k;
        record(a.ms, throttle.offer(notice, a.ms));
    }
    takeDueUntil(INT64_MAX);
    return shown;
}

QList<Arrival> every(std::int64_t step, std::int64_t from, std::int64_t to, int level = 1) {
    QList<Arrival> list;
    for (std::int64_t ms = from; ms < to; ms += step)
        list.append({ms, level});
    return list;
}

} // namespace

class TestNoticeThrottle : public QObject {
    Q_OBJECT

private slots:
    void shown_data();
    void shown();
};

void TestNoticeThrottle::shown_data() {
    QTest::addColumn<QList<Arrival>>("arrivals");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("lone event") << QList<Arrival>{{5000, 0}}
                                << QStringList{"5000 Emergency from h0 | m0"};
    QTest::newRow("a quiet second between each")
        << QList<Arrival>{{0, 1}, {1000, 2}, {2500, 1}}
        << QStringList{"0 Panic from h0 | m0", "1000 Critical from h1 | m1",
                       "2500 Panic from h2 | m2"};
    QTest::newRow("one more") << QList<Arrival>{{0, 1}, {999, 2}}
                              << QStringList{"0 Panic from h0 | m0",
                                             "1000 1 more event | Critical from h1: m1"};
    QTest::newRow("storm of 18 within a second")
        << every(50, 0, 900)
        << QStringList{"0 Panic from h0 | m0", "1000 17 more events | Panic from h1: m1"};
    QTest::newRow("the most serious of the gathered, its first")
        << QList<Arrival>{{0, 2}, {100, 2}, {200, 0}, {300, 1}, {400, 0}}
        << QStringList{"0 Critical from h0 | m0", "1000 4 more events | Emergency from h2: m2"};
    QTest::newRow("storm lasting three seconds: one a second")
        << every(100, 0, 3000)
        << QStringList{"0 Panic from h0 | m0", "1000 9 more events | Panic from h1: m1",
                       "2000 10 more events | Panic from h10: m10",
                       "3000 10 more events | Panic from h20: m20"};
}

void TestNoticeThrottle::shown() {
    QFETCH(QList<Arrival>, arrivals);
    QTEST(run(arrivals), "shown");
}

QTEST_MAIN(TestNoticeThrottle)
#include "tst_notice_throttle.moc"
