// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One live copy at a time: a second live start is refused (it shows its
// message box, which nobody answers offscreen) and leaves the first copy, the
// port and the stored geometry alone.
#include "quorvik_process.h"

#include <QtTest>

class SingleCopyTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { E2E_REQUIRE_TRAP_PORT(); }
    void init() { E2E_REQUIRE_FREE_TRAP_PORT(); }

    void secondLiveCopyRefused_data() {
        QTest::addColumn<QStringList>("secondArguments");
        QTest::newRow("no argument") << QStringList{};
        QTest::newRow("-help") << QStringList{QStringLiteral("-help")};
    }

    void secondLiveCopyRefused() {
        QFETCH(QStringList, secondArguments);
        e2e::QuorvikEnv env;
        QVERIFY(env.writeConfig());
        QProcess *first = nullptr;
        const QString error = env.startLive(&first);
        QVERIFY2(error.isEmpty(), qPrintable(error));

        QProcess *second = env.start(secondArguments);
        QVERIFY(second);
        // The refused copy waits in its message box; give it time to get there
        // (or to take the port, which it must not).
        QTest::qWait(1500);
        QVERIFY(!e2e::holdsAnyUdpPort(second->processId()));
        QVERIFY(e2e::holdsUdpPort(first->processId()));

        // The first copy still receives and logs; the event is logged once.
        QVERIFY(e2e::sendDatagram("$LEVL$:A$HOST$:srv1$MSG$:first still here") > 0);
        QTRY_COMPARE_WITH_TIMEOUT(e2e::lineCount(env.log()), qsizetype(2), 10000);
        QTest::qWait(300);
        const QByteArray log = env.log();
        QCOMPARE(e2e::lineCount(log), qsizetype(2));
        QVERIFY2(log.startsWith(e2e::kHeader + "Alert;") &&
                     log.endsWith(";srv1;;;first still here\r\n"),
                 log.constData());

        // Ending the refused copy stores nothing.
        e2e::QuorvikEnv::stop(second);
        QVERIFY2(!env.config().contains("Win"), env.config().constData());
        QVERIFY2(first->state() == QProcess::Running, qPrintable(env.describe(first)));
        QVERIFY(e2e::holdsUdpPort(first->processId()));

        // The first copy's own quit does store its geometry: the check above
        // could see it.
        first->terminate();
        QVERIFY(first->waitForFinished(10000));
        QCOMPARE(first->exitStatus(), QProcess::NormalExit);
        QVERIFY2(env.config().contains("WinTop="), env.config().constData());
    }

    // When the live copy is gone, the next live start is no longer refused.
    void liveStartAfterTheFirstQuit() {
        e2e::QuorvikEnv env;
        QVERIFY(env.writeConfig());
        QProcess *first = nullptr;
        QString error = env.startLive(&first);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(env.logsNote("first copy"), qPrintable(env.describe(first)));
        first->terminate();
        QVERIFY(first->waitForFinished(10000));
        QVERIFY(e2e::waitForFreeTrapPort());

        QProcess *next = nullptr;
        error = env.startLive(&next);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(e2e::sendDatagram("$LEVL$:N$HOST$:srv2$MSG$:next copy") > 0);
        QTRY_VERIFY_WITH_TIMEOUT(env.log().endsWith(";srv2;;;next copy\r\n"), 10000);
    }
};

E2E_TEST_MAIN(SingleCopyTest)
#include "tst_single_copy.moc"
