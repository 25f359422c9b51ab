// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Folding in the real program: a storm of 10,000 identical events on port
// 162 is logged whole, while the rule's program runs for its first event
// only, as its popup, sound and notification do.
#include "quorvik_process.h"

#include <QUdpSocket>
#include <QtTest>

class AlarmsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { E2E_REQUIRE_TRAP_PORT(); }
    void init() { E2E_REQUIRE_FREE_TRAP_PORT(); }

    void stormLoggedWholeAlertedOnce() {
        e2e::QuorvikEnv env;
        const QString program = env.root() + QStringLiteral("/record");
        const QString runs = env.root() + QStringLiteral("/runs");
        QVERIFY(e2e::writeFile(program, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" +
                                            QFile::encodeName(runs) + "'\n"));
        QVERIFY(
            QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(env.writeConfig("[Rules]\r\nMatch1=host:sw1\r\nFold1=60\r\nRun1=" +
                                QFile::encodeName(program) + " {msg}\r\n"));
        QProcess *live = nullptr;
        const QString error = env.startLive(&live);
        QVERIFY2(error.isEmpty(), qPrintable(error));

        // In chunks the program logs before the next: none is dropped.
        constexpr int kStorm = 10'000;
        const QByteArray storm = "$LEVL$:A$HOST$:sw1$MSG$:IF-MIB::linkDown ifIndex.2=2";
        QUdpSocket sender;
        const auto stormLines = [&] { return env.log().count(";sw1;;;IF-MIB::linkDown"); };
        for (int sent = 0; sent < kStorm;) {
            for (int k = 0; k < 500; ++k, ++sent)
                QCOMPARE(sender.writeDatagram(storm, QHostAddress::LocalHost, e2e::kTrapPort),
                         storm.size());
            QVERIFY2(e2e::waitFor([&] { return stormLines() == sent; }, 60'000),
                     qPrintable(env.describe(live)));
        }
        // Another message is no repeat: its program runs after the storm's.
        const QByteArray other = "$LEVL$:A$HOST$:sw1$MSG$:IF-MIB::linkDown ifIndex.3=3";
        QCOMPARE(sender.writeDatagram(other, QHostAddress::LocalHost, e2e::kTrapPort),
                 other.size());
        QVERIFY2(e2e::waitFor([&] { return e2e::readFile(runs).contains("ifIndex.3=3"); }, 30'000),
                 qPrintable(env.describe(live)));
        QCOMPARE(e2e::readFile(runs),
                 QByteArray("IF-MIB::linkDown ifIndex.2=2\nIF-MIB::linkDown ifIndex.3=3\n"));
        QCOMPARE(stormLines(), kStorm + 1);
    }
};

E2E_TEST_MAIN(AlarmsTest)
#include "tst_alarms.moc"
