// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The live copy forwarding what it logs to a real rsyslogd, and the relay of
// the README's "Many desktops": a real rsyslogd with the README's
// configuration forwards `logger` messages in RFC 5424 to two real quorvik
// copies' TCP port 514, each copy in a network namespace of its own, and
// both log them with their hosts, programs and facilities.
#include "quorvik_process.h"
#include "rsyslog_process.h"

#include <QHostInfo>
#include <QScopeGuard>
#include <QtTest>

#include <netinet/in.h>
#include <sys/socket.h>

using forwardtest::Rsyslog;

namespace {

constexpr char kSecondAddress[] = "10.162.0.2";

// Whether process `pid` holds UDP port 162 in its own network namespace.
bool holdsTrapPortInItsNamespace(qint64 pid) {
    for (const char *table : {"udp", "udp6"}) {
        QFile file(QStringLiteral("/proc/%1/net/%2").arg(pid).arg(QLatin1String(table)));
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(":00A2 "))
            return true;
    }
    return false;
}

} // namespace

class RelayTest : public QObject {
    Q_OBJECT

private slots:
    void liveCopyForwardsWhatItLogs();
    void quitSaysWhatWasNotForwarded();
    void twoConsolesLogWhatTheRelaySends();
};

void RelayTest::liveCopyForwardsWhatItLogs() {
    E2E_REQUIRE_TRAP_PORT();
    E2E_REQUIRE_FREE_TRAP_PORT();
    QTemporaryDir dir;
    Rsyslog rsyslog(dir.path());
    const quint16 port = 10601;
    QCOMPARE(rsyslog.start(Rsyslog::Input::Tcp, port), QString());
    e2e::QuorvikEnv env;
    QVERIFY(env.writeConfig("[Forward]\r\nTarget1=tcp://127.0.0.1:" + QByteArray::number(port) +
                            "\r\nLevel1=5\r\n"));
    QProcess *live = nullptr;
    QCOMPARE(env.startLive(&live), QString());
    for (const QByteArray &text :
         {QByteArray("$LEVL$:W$HOST$:srv7$SOURCE$:backup$DEVC$:disk_2$MSG$:quota reached"),
          QByteArray("$LEVL$:I$HOST$:srv7$MSG$:below the target's level"),
          QByteArray("$LEVL$:E$DATE$:07.12.2026 20:41:05$HOST$:srv8$MSG$:down")})
        QCOMPARE(e2e::sendDatagram(text), qint64(text.size()));
    QVERIFY2(Rsyslog::waitUntil([&] { return rsyslog.received().size() >= 2; }, 10000),
             qPrintable(e2e::QuorvikEnv::describe(live)));
    const QList<QByteArray> lines = rsyslog.received();
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].startsWith("132|") &&
                 lines[0].endsWith("|srv7|quorvik|-|Warning|[quorvik@32473 level=\"Warning\" "
                                   "host=\"srv7\" application=\"backup\" object=\"disk 2\" "
                                   "sender=\"127.0.0.1\"]|quota reached"),
             lines[0].constData());
    QVERIFY2(lines[1].startsWith("128|2026-12-07T20:41:05") &&
                 lines[1].endsWith("|srv8|quorvik|-|Emergency|[quorvik@32473 level=\"Emergency\" "
                                   "host=\"srv8\" application=\"\" object=\"\" "
                                   "sender=\"127.0.0.1\"]|down"),
             lines[1].constData());
    QCOMPARE(e2e::lineCount(env.log()), 4); // the header and all three, forwarded or not
}

// Events still queued for a collector that is down when the system ends
// the program are named on standard error, with the target and its error.
void RelayTest::quitSaysWhatWasNotForwarded() {
    E2E_REQUIRE_TRAP_PORT();
    E2E_REQUIRE_FREE_TRAP_PORT();
    const QByteArray down = "tcp://127.0.0.1:10602"; // nothing listens there
    e2e::QuorvikEnv env;
    QVERIFY(env.writeConfig("[Forward]\r\nTarget1=" + down + "\r\n"));
    QProcess *live = nullptr;
    QCOMPARE(env.startLive(&live), QString());
    for (const QByteArray &text : {QByteArray("one"), QByteArray("two"), QByteArray("three")})
        QVERIFY(env.logsNote(text));
    QElapsedTimer quitting;
    quitting.start();
    live->terminate();
    QVERIFY(live->waitForFinished(10000));
    qInfo("quit took %lld ms", quitting.elapsed());
    const QByteArray output = live->readAll();
    QVERIFY2(output.contains("quorvik quit; not forwarded, lost: 3 events for " + down +
                             " (Connection refused)"),
             output.constData());
}

void RelayTest::twoConsolesLogWhatTheRelaySends() {
    E2E_REQUIRE_TRAP_PORT();
    E2E_REQUIRE_FREE_TRAP_PORT();
    if (::geteuid() != 0)
        QSKIP("needs root for a second network namespace");
    const QString relay = forwardtest::readmeRelay(QStringLiteral(QUORVIK_SOURCE_DIR "/README.md"));
    QVERIFY2(relay.contains(QLatin1String("192.0.2.11")), "no relay configuration in README.md");

    // The first console in this test's namespace, the second in one of its
    // own, reached over a veth pair.
    e2e::QuorvikEnv first, second;
    QVERIFY(first.writeConfig() && second.writeConfig());
    QProcess *one = nullptr;
    QCOMPARE(first.startLive(&one), QString());
    QProcess two;
    two.setProgram(e2e::quorvikBinary());
    two.setProcessEnvironment(second.environment());
    two.setProcessChannelMode(QProcess::MergedChannels);
    two.setChildProcessModifier([] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::unshare(CLONE_NEWNET);
    });
    two.start();
    QVERIFY(two.waitForStarted(10000));
    const auto stopSecond = qScopeGuard([&] { e2e::QuorvikEnv::stop(&two); });
    QVERIFY2(e2e::waitFor([&] { return holdsTrapPortInItsNamespace(two.processId()); }, 15000),
             qPrintable(e2e::QuorvikEnv::describe(&two)));
    const QString pid = QString::number(two.processId());
    for (const QStringList &command :
         {QStringList{"ip", "link", "add", "qv0", "type", "veth", "peer", "name", "qv1", "netns",
                      pid},
          QStringList{"ip", "addr", "add", "10.162.0.1/24", "dev", "qv0"},
          QStringList{"ip", "link", "set", "qv0", "up"},
          QStringList{"nsenter", "-t", pid, "-n", "ip", "addr", "add", "10.162.0.2/24", "dev",
                      "qv1"},
          QStringList{"nsenter", "-t", pid, "-n", "ip", "link", "set", "qv1", "up"}})
        QCOMPARE(e2e::runProgram(command.first(), command.mid(1)), QString());

    QTemporaryDir dir;
    Rsyslog rsyslog(dir.path());
    QString rules = relay;
    rules.replace(QLatin1String("192.0.2.10"), QLatin1String("127.0.0.1"))
        .replace(QLatin1String("192.0.2.11"), QLatin1String(kSecondAddress));
    const quint16 port = 10514;
    QCOMPARE(rsyslog.start(Rsyslog::Input::Udp, port, {}, rules), QString());

    const QStringList logger{"-n", "127.0.0.1", "-P", QString::number(port), "-d", "--rfc3164"};
    QCOMPARE(
        e2e::runProgram(QStringLiteral("logger"),
                        logger + QStringList{"-p", "user.err", "-t", "backup", "disk 2 failed"}),
        QString());
    QCOMPARE(e2e::runProgram(QStringLiteral("logger"),
                             logger + QStringList{"-p", "local3.warning", "-t", "web",
                                                  "slow ] \"x\" \\ caf\u00e9"}),
             QString());
    QCOMPARE(e2e::runProgram(QStringLiteral("logger"),
                             logger + QStringList{"-p", "daemon.debug", "-t", "cron", "tick"}),
             QString());

    const QByteArray host = QHostInfo::localHostName().toUtf8();
    const QByteArray expected = e2e::kHeader + "Alert;{DATE};" + host +
                                ";backup;user;disk 2 failed\r\nWarning;{DATE};" + host +
                                ";web;local3;slow ] \"x\" \\ caf\xc3\xa9\r\nNote;{DATE};" + host +
                                ";cron;daemon;tick\r\n";
    for (e2e::QuorvikEnv *console : {&first, &second}) {
        QVERIFY2(e2e::waitFor([&] { return e2e::lineCount(console->log()) == 4; }, 10000),
                 console->log().constData());
        const QList<QByteArray> lines = console->log().split('\n');
        const QList<QByteArray> wanted = expected.split('\n');
        for (int i = 1; i < 4; ++i) {
            QByteArray line = lines[i], want = wanted[i];
            // The date is the console's own: only its shape is checked.
            const qsizetype at = line.indexOf(';') + 1;
            QCOMPARE(line.left(at) + line.mid(at + 19), want.replace("{DATE}", ""));
        }
    }
}

E2E_TEST_MAIN(RelayTest)
#include "tst_relay.moc"
