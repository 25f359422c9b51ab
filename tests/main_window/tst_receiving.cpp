// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The live window on a real socket: a backlog that arrives while the window
// thread is busy, losses shown and cleared, and the log of a history copy.

#include "form_fixture.h"

#include <QLabel>
#include <QPushButton>
#include <atomic>

using namespace quorvik;
using namespace quorvik::testing;

namespace {

QList<QByteArray> logLines(FormFixture &f) {
    QList<QByteArray> lines = f.readFile(f.logPath()).split('\n');
    lines.removeLast(); // after the last line end
    return lines;
}

} // namespace

class ReceivingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("TZ", "UTC0"); }
    void backlogWhileBusyArrivesInOrder();
    void lossesShownAndCleared();
    void historyCopyLeavesAnExistingLogAlone();
};

void ReceivingTest::backlogWhileBusyArrivesInOrder() {
    FormFixture f;
    std::atomic<std::int64_t> now{1'800'000'000}; // 15.01.2027 08:00:00 UTC
    ReceiverOptions options;
    options.wallClock = [&now] { return now.load(); };
    LiveWindow live(f, options);

    // The test holds the window thread: nothing is taken while they arrive.
    const int count = 100'000;
    live.sendWhileBusy(0, count);
    QCOMPARE(live.receiver()->readCount(), std::uint64_t(count));
    now = 1'800'000'100;
    QTRY_COMPARE_WITH_TIMEOUT(logLines(f).size(), count + 1, 120'000);
    const QList<QByteArray> lines = logLines(f);
    for (int n = 0; n < count; ++n)
        if (lines[n + 1] != "Note;15.01.2027 08:00:00;127.0.0.1;;;" + QByteArray::number(n) + '\r')
            QFAIL(qPrintable(QStringLiteral("line %1: %2").arg(n + 1).arg(lines[n + 1])));
    // During a flood the tables catch up at the next refresh.
    QTRY_COMPARE(fullListOf(*live.form)->table()->cellText(1, 5), QStringLiteral(" 99999"));

    live.send("$LEVL$:E$MSG$:after");
    QTRY_COMPARE(levelGridOf(*live.form, 0)->table()->cellText(1, 4), QStringLiteral(" after"));
    QCOMPARE(levelGridOf(*live.form, 0)->table()->cellText(1, 0),
             QStringLiteral("15.01.2027 08:01:40"));
    QVERIFY(labelOf(*live.form, "lostCount")->isHidden());
}

// A small buffer and a small queue while the window thread is held: what is
// not logged is counted, and Delete clears the count.
void ReceivingTest::lossesShownAndCleared() {
    FormFixture f;
    ReceiverOptions options;
    options.receiveBuffer = 4096;
    options.queueLimit = 1'000;
    LiveWindow live(f, options);
    const int sent = 20'000;
    for (int n = 0; n < sent; ++n)
        live.send("$LEVL$:I$MSG$:" + QByteArray::number(n));
    QTRY_COMPARE_WITH_TIMEOUT(logLines(f).size() - 1 + qsizetype(live.receiver()->lost()), sent,
                              60'000);
    const qsizetype lost = sent - (logLines(f).size() - 1);
    QVERIFY(lost >= sent - 1'000 - 64);
    QLabel *label = labelOf(*live.form, "lostCount");
    QVERIFY(label->isVisible());
    QCOMPARE(label->text(), QString::number(lost).insert(
                                qsizetype(QString::number(lost).size() - 3), QLatin1Char(',')) +
                                QStringLiteral(" lost"));
    QVERIFY(label->toolTip().contains(QStringLiteral("CAP_NET_ADMIN")));

    QTest::mouseClick(live.form->findChild<QPushButton *>(QStringLiteral("tabclear")),
                      Qt::LeftButton);
    QVERIFY(label->isHidden());
}

// Start-up never opens an existing log: an empty one stays empty in a
// history copy (which may only read it), a missing one is created.
void ReceivingTest::historyCopyLeavesAnExistingLogAlone() {
    {
        FormFixture f({}, true);
        QFile(f.logPath()).open(QIODevice::WriteOnly);
        f.start();
        QCOMPARE(f.readFile(f.logPath()), QByteArray());
        QVERIFY(f.boxes.reports.isEmpty());
    }
    FormFixture f({}, true);
    f.start();
    QCOMPARE(f.readFile(f.logPath()),
             QByteArray("Level;Date;Processor;Application;Object;Message\r\n"));
}

QTEST_MAIN(ReceivingTest)
#include "tst_receiving.moc"
