// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Ending the real program from outside: the system's quit signals end it
// without the quit question and store the geometry; a copy killed outright
// leaves a stale lock that doesn't block the next live start.
#include "quorvik_process.h"

#include <QtTest>

#include <csignal>

namespace {

// The value of `key` under [Global] of an INI text, or nullopt.
std::optional<QByteArray> globalValue(const QByteArray &ini, const QByteArray &key) {
    bool inGlobal = false;
    for (QByteArray line : ini.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('['))
            inGlobal = line.compare("[Global]", Qt::CaseInsensitive) == 0;
        else if (inGlobal && line.startsWith(key + '='))
            return line.mid(key.size() + 1);
    }
    return std::nullopt;
}

} // namespace

class ShutdownTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { E2E_REQUIRE_TRAP_PORT(); }
    void init() { E2E_REQUIRE_FREE_TRAP_PORT(); }

    void quitSignalStoresGeometry_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("SIGTERM live") << int(SIGTERM) << QStringList{};
        QTest::newRow("SIGINT live") << int(SIGINT) << QStringList{};
        QTest::newRow("SIGHUP live") << int(SIGHUP) << QStringList{};
        QTest::newRow("SIGTERM history") << int(SIGTERM) << QStringList{QStringLiteral("-H")};
    }

    void quitSignalStoresGeometry() {
        QFETCH(int, signal);
        QFETCH(QStringList, arguments);
        e2e::QuorvikEnv env;
        QVERIFY(env.writeConfig("MaxLines=500\r\n[Sound]\r\nS0=\r\n"));
        QProcess *copy = nullptr;
        if (arguments.isEmpty()) {
            const QString error = env.startLive(&copy);
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QVERIFY2(env.logsNote("up"), qPrintable(env.describe(copy)));
        } else {
            copy = env.start(arguments);
            QVERIFY(copy);
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(env.logPath()), 15000);
            QTest::qWait(300);
        }
        QVERIFY(!env.config().contains("Win"));

        QCOMPARE(::kill(pid_t(copy->processId()), signal), 0);
        // A quit question would keep it running: it must end by itself.
        QVERIFY2(copy->waitForFinished(10000), qPrintable(env.describe(copy)));
        QCOMPARE(copy->exitStatus(), QProcess::NormalExit);
        QCOMPARE(copy->exitCode(), 0);

        const QByteArray config = env.config();
        for (const char *key : {"WinTop", "WinLeft", "WinHeight", "WinWidth"}) {
            const std::optional<QByteArray> value = globalValue(config, key);
            QVERIFY2(value, qPrintable(QStringLiteral("%1 missing in: %2")
                                           .arg(QLatin1String(key), QString::fromLatin1(config))));
            bool number = false;
            value->toLong(&number);
            QVERIFY2(number, value->constData());
        }
        // The other keys stay.
        QCOMPARE(globalValue(config, "Logfile").value_or("missing"),
                 QFile::encodeName(env.logPath()));
        QCOMPARE(globalValue(config, "MaxLines").value_or("missing"), QByteArray("500"));
        QVERIFY(config.contains("[Sound]"));
        QVERIFY(e2e::waitForFreeTrapPort());
    }

    // A stored geometry is applied at start and written back unchanged.
    void storedGeometryComesBack() {
        e2e::QuorvikEnv env;
        QVERIFY(
            env.writeConfig("WinTop=1500\r\nWinLeft=3000\r\nWinHeight=6000\r\nWinWidth=9000\r\n"));
        QProcess *live = nullptr;
        const QString error = env.startLive(&live);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(env.logsNote("up"), qPrintable(env.describe(live)));
        live->terminate();
        QVERIFY2(live->waitForFinished(10000), qPrintable(env.describe(live)));
        QCOMPARE(live->exitCode(), 0);
        const QByteArray config = env.config();
        QCOMPARE(globalValue(config, "WinTop").value_or("missing"), QByteArray("1500"));
        QCOMPARE(globalValue(config, "WinLeft").value_or("missing"), QByteArray("3000"));
        QCOMPARE(globalValue(config, "WinHeight").value_or("missing"), QByteArray("6000"));
        QCOMPARE(globalValue(config, "WinWidth").value_or("missing"), QByteArray("9000"));
    }

    void staleLockDoesNotBlock() {
        e2e::QuorvikEnv env;
        QVERIFY(env.writeConfig());
        QProcess *crashed = nullptr;
        QString error = env.startLive(&crashed);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(env.logsNote("before the crash"), qPrintable(env.describe(crashed)));
        crashed->kill(); // SIGKILL: no clean-up, the lock stays behind
        QVERIFY(crashed->waitForFinished(10000));
        QCOMPARE(crashed->exitStatus(), QProcess::CrashExit);
        QVERIFY2(!QDir(env.runtimeDir()).entryList(QDir::Files | QDir::Hidden).isEmpty(),
                 "the killed copy left no lock in the runtime folder");
        QVERIFY(e2e::waitForFreeTrapPort());

        QProcess *next = nullptr;
        error = env.startLive(&next);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(e2e::sendDatagram("$LEVL$:C$HOST$:srv4$MSG$:after the crash") > 0);
        QTRY_VERIFY_WITH_TIMEOUT(env.log().endsWith(";srv4;;;after the crash\r\n"), 10000);
        QCOMPARE(e2e::lineCount(env.log()), qsizetype(3));
    }
};

E2E_TEST_MAIN(ShutdownTest)
#include "tst_shutdown.moc"
