// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Silent hosts on the real program with a rule of two seconds: one event
// when a host falls silent, one when it speaks again, and a host silent when
// the program quits is still silent when it starts again.
#include "quorvik_process.h"

#include <QtTest>

namespace {

// The log lines (without their level and date) that hold `text`.
QList<QByteArray> linesWith(const QByteArray &log, const QByteArray &text) {
    QList<QByteArray> found;
    for (const QByteArray &line : log.split('\n'))
        if (line.contains(text))
            found << line.trimmed();
    return found;
}

QByteArray link(const QByteArray &host) {
    return "$LEVL$:W$HOST$:" + host + "$DEVC$:link$MSG$:up";
}

} // namespace

class SilentHostsTest : public QObject {
    Q_OBJECT

private slots:
    void silentOnceBackOnceRememberedOverRestart();
};

void SilentHostsTest::silentOnceBackOnceRememberedOverRestart() {
    E2E_REQUIRE_TRAP_PORT();
    E2E_REQUIRE_FREE_TRAP_PORT();
    std::unique_ptr<e2e::QuorvikEnv> env;
    QProcess *live = nullptr;
    QCOMPARE(
        e2e::startFreshLive(env, &live, "[Rules]\r\nMatch1=obj:link\r\nLevel1=A\r\nSilent1=2\r\n"),
        QString());
    const auto logHas = [&](const QByteArray &text, int times) {
        return e2e::waitFor([&] { return linesWith(env->log(), text).size() >= times; }, 15000);
    };

    QCOMPARE(e2e::sendDatagram(link("core-router-1")), qint64(link("core-router-1").size()));
    const QByteArray silent = ";core-router-1;quorvik;silent;core-router-1 silent for 2 seconds "
                              "(last event ";
    QVERIFY2(logHas(silent, 1), env->log().constData());
    const QByteArray first = linesWith(env->log(), silent).constFirst();
    QVERIFY2(first.startsWith("Alert;"), first.constData()); // the rule's level

    // Another host falls silent after it: the first one was said only once
    // meanwhile.
    QCOMPARE(e2e::sendDatagram(link("canary")), qint64(link("canary").size()));
    QVERIFY2(logHas(";canary;quorvik;silent;canary silent for 2 seconds", 1),
             env->log().constData());
    QCOMPARE(linesWith(env->log(), silent).size(), 1);

    QCOMPARE(e2e::sendDatagram(link("core-router-1")), qint64(link("core-router-1").size()));
    const QByteArray back = ";core-router-1;quorvik;silent;core-router-1 speaks again after ";
    QVERIFY2(logHas(back, 1), env->log().constData());
    QVERIFY(linesWith(env->log(), back).constFirst().startsWith("Information;"));

    // Silent again, then the program quits and starts anew: the host is
    // remembered silent, so its next event says it is back.
    QVERIFY2(logHas(silent, 2), env->log().constData());
    QVERIFY(QFileInfo::exists(
        QFileInfo(env->configPath()).dir().filePath(QStringLiteral("quorvik-silent-hosts"))));
    live->terminate();
    QVERIFY(live->waitForFinished(10000));
    QVERIFY(e2e::waitForFreeTrapPort());
    QCOMPARE(env->startLive(&live), QString());
    QCOMPARE(e2e::sendDatagram(link("core-router-1")), qint64(link("core-router-1").size()));
    QVERIFY2(logHas(back, 2), env->log().constData());
}

E2E_TEST_MAIN(SilentHostsTest)
#include "tst_silent_hosts.moc"
