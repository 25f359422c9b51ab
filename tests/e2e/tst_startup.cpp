// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Start-up of the real program: the log file it creates or keeps, history
// mode that neither binds nor writes, the command lines that start live, and
// the notices about what it can't read.
#include "quorvik_process.h"

#include <QDir>

#include <QtTest>

namespace {

const QByteArray kOldLine = "Note;07.12.2026 20:41:05;srv7;;;old entry\r\n";

// Sends one datagram and waits until the log holds `lines` lines.
bool sendAndAwaitLines(const e2e::QuorvikEnv &env, const QByteArray &payload, qsizetype lines) {
    return e2e::sendDatagram(payload) == payload.size() &&
           e2e::waitFor([&] { return e2e::lineCount(env.log()) >= lines; }, 10000) &&
           e2e::lineCount(env.log()) == lines;
}

// Waits until what `copy` printed holds `expected`; all it printed is in `output`.
bool awaitOutput(QProcess *copy, const QByteArray &expected, QByteArray &output) {
    return e2e::waitFor(
        [&] {
            output += copy->readAll();
            return output.contains(expected);
        },
        15000);
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { E2E_REQUIRE_TRAP_PORT(); }
    void init() { E2E_REQUIRE_FREE_TRAP_PORT(); }

    void missingLogCreatedWithHeaderOnly_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("live") << QStringList{};
        QTest::newRow("history -H") << QStringList{QStringLiteral("-H")};
        QTest::newRow("history -h") << QStringList{QStringLiteral("-h")};
    }

    void missingLogCreatedWithHeaderOnly() {
        QFETCH(QStringList, arguments);
        e2e::QuorvikEnv env;
        QVERIFY(env.writeConfig());
        QVERIFY(!QFileInfo::exists(env.logPath()));
        QProcess *copy = env.start(arguments);
        QVERIFY(copy);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(env.logPath()), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(env.log(), e2e::kHeader, 5000);
        QVERIFY2(copy->state() == QProcess::Running, qPrintable(env.describe(copy)));
    }

    void existingLogKeptAndAppended() {
        e2e::QuorvikEnv env;
        QVERIFY(env.writeConfig());
        QVERIFY(e2e::writeFile(env.logPath(), e2e::kHeader + kOldLine));
        QProcess *live = nullptr;
        const QString error = env.startLive(&live);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(env.log(), e2e::kHeader + kOldLine);
        QVERIFY2(sendAndAwaitLines(env, "$LEVL$:I$HOST$:srv8$MSG$:new entry", 3),
                 qPrintable(env.describe(live)));
        const QByteArray log = env.log();
        QVERIFY(log.startsWith(e2e::kHeader + kOldLine));
        QVERIFY2(log.endsWith(";srv8;;;new entry\r\n"), log.constData());
    }

    // History copies never bind and never write the log; a live copy starts
    // beside them (history copies don't hold the single-copy lock) and is the
    // only one that receives.
    void historyNeitherBindsNorWrites_data() {
        QTest::addColumn<QString>("option");
        QTest::newRow("-H") << QStringLiteral("-H");
        QTest::newRow("-h") << QStringLiteral("-h");
    }

    void historyNeitherBindsNorWrites() {
        QFETCH(QString, option);
        e2e::QuorvikEnv env;
        QVERIFY(env.writeConfig());
        QProcess *history = env.start({option});
        QVERIFY(history);
        // The log file appears at the end of the start-up: the copy is up.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(env.logPath()), 15000);
        QTest::qWait(300);
        QVERIFY2(history->state() == QProcess::Running, qPrintable(env.describe(history)));
        QVERIFY(!e2e::holdsAnyUdpPort(history->processId()));
        QVERIFY(e2e::udpInodesOnPort(e2e::kTrapPort).isEmpty());

        // Nobody listens: the datagram is lost and the log stays as it was.
        QVERIFY(e2e::sendDatagram("$LEVL$:E$MSG$:to nobody") > 0);
        QTest::qWait(500);
        QCOMPARE(env.log(), e2e::kHeader);

        QProcess *live = nullptr;
        const QString error = env.startLive(&live);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QProcess *secondHistory = env.start({option});
        QVERIFY(secondHistory);
        QVERIFY2(sendAndAwaitLines(env, "$LEVL$:W$HOST$:srv9$MSG$:beside history", 2),
                 qPrintable(env.describe(live)));
        QTest::qWait(300);
        const QByteArray log = env.log();
        QCOMPARE(e2e::lineCount(log), qsizetype(2));
        QVERIFY2(log.startsWith(e2e::kHeader + "Warning;") &&
                     log.endsWith(";srv9;;;beside history\r\n"),
                 log.constData());
        QVERIFY2(history->state() == QProcess::Running, qPrintable(env.describe(history)));
        QVERIFY2(secondHistory->state() == QProcess::Running,
                 qPrintable(env.describe(secondHistory)));
        QVERIFY(!e2e::holdsAnyUdpPort(history->processId()));
        QVERIFY(!e2e::holdsAnyUdpPort(secondHistory->processId()));
    }

    // Only "-h" and "-H" exactly select history mode; these start live: they
    // bind the port and log what arrives.
    void otherCommandLinesAreLive_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("\"-h \"") << QStringList{QStringLiteral("-h ")};
        QTest::newRow("\"-H \"") << QStringList{QStringLiteral("-H ")};
        QTest::newRow("/h") << QStringList{QStringLiteral("/h")};
        QTest::newRow("-help") << QStringList{QStringLiteral("-help")};
        QTest::newRow("-h -h") << QStringList{QStringLiteral("-h"), QStringLiteral("-h")};
        QTest::newRow("none") << QStringList{};
    }

    void otherCommandLinesAreLive() {
        QFETCH(QStringList, arguments);
        e2e::QuorvikEnv env;
        QVERIFY(env.writeConfig());
        QProcess *live = nullptr;
        const QString error = env.startLive(&live, arguments);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QByteArray tag = QTest::currentDataTag();
        QVERIFY2(sendAndAwaitLines(env, "$LEVL$:I$HOST$:srv$MSG$:started with " + tag, 2),
                 qPrintable(env.describe(live)));
        const QByteArray log = env.log();
        QVERIFY2(log.startsWith(e2e::kHeader + "Information;") &&
                     log.endsWith(";srv;;;started with " + tag + "\r\n"),
                 log.constData());
    }

    // Values it can't read are named at start with what is used instead,
    // and stay in the file as written; so is a file it can't read at all.
    void unreadableValuesNamedAndKept() {
        e2e::QuorvikEnv env;
        const QByteArray mistakes = "MaxLines=abc\r\nStartTab=99\r\n[Color]\r\nC0=red\r\n";
        QVERIFY(env.writeConfig(mistakes));
        QProcess *copy = env.start({QStringLiteral("-H")});
        QVERIFY(copy);
        QByteArray output;
        const QByteArray expected = "Values in " + QFile::encodeName(env.configPath()) +
                                    " that can't be read: MaxLines: \"abc\" is not a number; "
                                    "1000 is used; StartTab: \"99\" is above 6; 6 is used; C0: "
                                    "\"red\" is not a colour number; the built-in colour is used";
        QVERIFY2(awaitOutput(copy, expected, output), output.constData());
        copy->terminate(); // the system's quit stores the window's place
        QVERIFY(copy->waitForFinished(10000));
        for (const QByteArray &line : mistakes.split('\n'))
            QVERIFY2(env.config().contains(line), env.config().constData());

        e2e::QuorvikEnv folder;
        QVERIFY(QDir().mkpath(folder.configPath()));
        copy = folder.start({QStringLiteral("-H")});
        QVERIFY(copy);
        output.clear();
        const QByteArray unreadable = "Cannot read " + QFile::encodeName(folder.configPath()) +
                                      ": Is a directory; the built-in settings are used";
        QVERIFY2(awaitOutput(copy, unreadable, output), output.constData());
    }

    // A MIB file of the operator's that can't be read and a MIB folder that
    // isn't there are named at start, once the MIBs are read; the system's
    // own MIB folders are not looked into for the notice.
    void unreadableMibsNamed() {
        e2e::QuorvikEnv env;
        const QString own = env.root() + QStringLiteral("/data/quorvik/mibs/");
        QVERIFY(QDir().mkpath(own));
        QVERIFY(QFile::copy(QStringLiteral(QUORVIK_TEST_MIBS "/acme-psu.txt"),
                            own + QStringLiteral("acme-psu.txt")));
        QVERIFY(env.writeConfig("[SNMP]\r\nMibDirs=/nonexistent\r\n"));
        QProcess *live = nullptr;
        const QString error = env.startLive(&live);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QByteArray expected =
            "MIBs that can't be read: /nonexistent: the folder can't be read (No such file or "
            "directory); ACME-PSU-MIB (acme-psu.txt): imports ACME-SMI, which no file provides\n";
        QByteArray output;
        QVERIFY2(awaitOutput(live, expected, output), output.constData());
    }
};

E2E_TEST_MAIN(StartupTest)
#include "tst_startup.moc"
