// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Port 162 held by another socket: the real program still starts and keeps
// running (it tells the operator in a message box, unseen offscreen), and
// logs nothing since it receives nothing.
#include "quorvik_process.h"

#include <QNetworkDatagram>
#include <QtTest>

class PortBusyTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { E2E_REQUIRE_TRAP_PORT(); }
    void init() { E2E_REQUIRE_FREE_TRAP_PORT(); }

    void startsAndRunsWithoutThePort() {
        QUdpSocket holder;
        if (!holder.bind(QHostAddress::Any, e2e::kTrapPort, QAbstractSocket::DontShareAddress)) {
            if (holder.error() == QAbstractSocket::SocketAccessError)
                QSKIP("the test itself needs root or CAP_NET_BIND_SERVICE to bind UDP port 162");
            QFAIL(qPrintable(QStringLiteral("cannot hold port 162: ") + holder.errorString()));
        }
        e2e::QuorvikEnv env;
        QVERIFY(env.writeConfig());
        QProcess *live = env.start();
        QVERIFY(live);
        // The log file appears after the attempt to bind: the start-up went on.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(env.logPath()), 15000);
        QTest::qWait(1000);
        QVERIFY2(live->state() == QProcess::Running, qPrintable(env.describe(live)));
        QVERIFY(!e2e::holdsUdpPort(live->processId())); // its syslog ports it may hold

        // What is sent reaches the holder, and the program logs nothing.
        const QByteArray payload = "$LEVL$:E$HOST$:srv5$MSG$:for the holder";
        QCOMPARE(e2e::sendDatagram(payload), payload.size());
        QTRY_VERIFY_WITH_TIMEOUT(holder.hasPendingDatagrams(), 5000);
        QCOMPARE(holder.receiveDatagram().data(), payload);
        QTest::qWait(300);
        QCOMPARE(env.log(), e2e::kHeader);

        // Still responsive: it ends on SIGTERM like any live copy.
        live->terminate();
        QVERIFY2(live->waitForFinished(10000), qPrintable(env.describe(live)));
        QCOMPARE(live->exitStatus(), QProcess::NormalExit);
        QCOMPARE(live->exitCode(), 0);
    }
};

E2E_TEST_MAIN(PortBusyTest)
#include "tst_port_busy.moc"
