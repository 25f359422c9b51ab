// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Real datagrams into the real program: tagged texts from a UDP socket of the
// test and SNMP traps and informs from net-snmp's snmptrap and snmpinform
// reach port 162, and every one becomes exactly one line of the log file,
// checked byte for byte.
#include "quorvik_process.h"

#include <QNetworkDatagram>
#include <QtTest>

// All bytes of a literal, zero bytes included.
template <std::size_t N> QByteArray withZeros(const char (&text)[N]) {
    return QByteArray(text, qsizetype(N - 1));
}

class IntakeTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<e2e::QuorvikEnv> m_env;
    QProcess *m_live = nullptr;

    // Waits for exactly one new line after `before` and returns it.
    bool awaitOneLine(const QByteArray &before, QByteArray *line) {
        const bool grown = e2e::waitFor(
            [&] {
                const QByteArray now = m_env->log();
                return now.size() > before.size() && now.endsWith("\r\n");
            },
            10000);
        const QByteArray now = m_env->log();
        *line = now.mid(before.size());
        return grown && now.startsWith(before) && e2e::lineCount(*line) == 1;
    }
    // Sends by `send` (which says why it could not) and compares the one log
    // line that makes with `expected`, dated between the send and the line:
    // how they differ, or empty.
    QString loggedLineDiffers(const std::function<QString()> &send, const QByteArray &expected) {
        const QByteArray before = m_env->log();
        const QDateTime from = QDateTime::currentDateTime();
        if (const QString failed = send(); !failed.isEmpty())
            return failed;
        QByteArray line;
        const bool one = awaitOneLine(before, &line);
        const QDateTime to = QDateTime::currentDateTime();
        if (!one)
            return QStringLiteral("no single new log line; appended: [%1]; %2")
                .arg(QString::fromLatin1(line.toPercentEncoding()),
                     e2e::QuorvikEnv::describe(m_live));
        return e2e::compareLogLine(line, expected, from, to);
    }

private slots:
    void initTestCase() {
        E2E_REQUIRE_TRAP_PORT();
        E2E_REQUIRE_FREE_TRAP_PORT();
        // The tests' vendor MIBs: the module with the trap in the operator's
        // folder, the enterprise module it imports in a folder of MibDirs.
        const auto copyMibs = [](const e2e::QuorvikEnv &env) {
            const QString mibs = QStringLiteral(QUORVIK_TEST_MIBS "/");
            const QString own = env.root() + QStringLiteral("/data/quorvik/mibs/");
            const QString vendor = env.root() + QStringLiteral("/vendor/");
            QDir().mkpath(own);
            QDir().mkpath(vendor);
            QFile::copy(mibs + QStringLiteral("acme-fan.my"), own + QStringLiteral("acme-fan.my"));
            QFile::copy(mibs + QStringLiteral("ACME-SMI"), vendor + QStringLiteral("ACME-SMI"));
            env.writeConfig("[SNMP]\r\nMibDirs=/nonexistent; " + QFile::encodeName(vendor) +
                            "\r\n");
        };
        const QString error = e2e::startFreshLive(m_env, &m_live, {}, copyMibs);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(m_env->log(), e2e::kHeader);
    }

    void cleanupTestCase() { m_env.reset(); }

    void init() {
        QVERIFY2(m_live && m_live->state() == QProcess::Running,
                 qPrintable(e2e::QuorvikEnv::describe(m_live)));
    }

    void taggedTexts_data() {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray fields = "$HOST$:srv1$SOURCE$:app$DEVC$:obj$MSG$:disk full";
        const QByteArray tail = ";{DATE};srv1;app;obj;disk full\r\n";
        QTest::newRow("E") << "trapo$LEVL$:E" + fields << "Emergency" + tail;
        QTest::newRow("P") << "trapo$LEVL$:P" + fields << "Panic" + tail;
        QTest::newRow("C") << "trapo$LEVL$:C" + fields << "Critical" + tail;
        QTest::newRow("A") << "trapo$LEVL$:A" + fields << "Alert" + tail;
        QTest::newRow("W") << "trapo$LEVL$:W" + fields << "Warning" + tail;
        QTest::newRow("I") << "trapo$LEVL$:I" + fields << "Information" + tail;
        QTest::newRow("N") << "trapo$LEVL$:N" + fields << "Note" + tail;
        QTest::newRow("X is a trap") << "trapo$LEVL$:X" + fields << "Trap" + tail;
        QTest::newRow("lower-case e is unknown") << "trapo$LEVL$:e" + fields << "Unknown" + tail;
        QTest::newRow("digit is unknown") << "$LEVL$:7" + fields << "Unknown" + tail;
        QTest::newRow("level tag at the very end")
            << QByteArray("$MSG$:m$LEVL$:")
            << QByteArray("Unknown;{DATE};127.0.0.1;;;m$LEVL$:\r\n");
        QTest::newRow("only the first letter counts")
            << QByteArray("$LEVL$:Emergency$MSG$:x")
            << QByteArray("Emergency;{DATE};127.0.0.1;;;x\r\n");
        QTest::newRow("no level tag is a trap") << QByteArray("$HOST$:srv3$MSG$:no level")
                                                << QByteArray("Trap;{DATE};srv3;;;no level\r\n");
        QTest::newRow("level tag twice: the first counts")
            << QByteArray("$LEVL$:I$LEVL$:E$MSG$:first wins")
            << QByteArray("Information;{DATE};127.0.0.1;;;first wins\r\n");
        QTest::newRow("message tag twice: the first counts")
            << QByteArray("$LEVL$:W$MSG$:a$MSG$:b")
            << QByteArray("Warning;{DATE};127.0.0.1;;;a\r\n");
        QTest::newRow("level tag after a field stays in it")
            << QByteArray("$MSG$:hello $LEVL$:E")
            << QByteArray("Emergency;{DATE};127.0.0.1;;;hello $LEVL$:E\r\n");
        QTest::newRow("example from the operator's manual")
            << QByteArray("trapo$LEVL$:W$HOST$:srv7$SOURCE$:backup$DEVC$:disk_2$MSG$:quota reached")
            << QByteArray("Warning;{DATE};srv7;backup;disk 2;quota reached\r\n");
        QTest::newRow("underscores in every field")
            << QByteArray("$LEVL$:N$HOST$:srv_7$SOURCE$:back_up$DEVC$:disk_2$MSG$:__quota_reached")
            << QByteArray("Note;{DATE};srv 7;back up;disk 2;quota reached\r\n");
        QTest::newRow("leading blanks kept without a cut")
            << QByteArray("$LEVL$:N$MSG$:  hi") << QByteArray("Note;{DATE};127.0.0.1;;;  hi\r\n");
        QTest::newRow("leading blanks dropped after a cut")
            << QByteArray("$LEVL$:N$MSG$:  hi$HOST$:h") << QByteArray("Note;{DATE};h;;;hi\r\n");
        QTest::newRow("trailing blanks stay")
            << QByteArray("$LEVL$:N$HOST$:h$MSG$:end  ") << QByteArray("Note;{DATE};h;;;end  \r\n");
        QTest::newRow("no host: the sender's address")
            << QByteArray("$LEVL$:W$MSG$:no host")
            << QByteArray("Warning;{DATE};127.0.0.1;;;no host\r\n");
        QTest::newRow("blank host: the sender's address")
            << QByteArray("$LEVL$:W$HOST$:   $MSG$:blank host")
            << QByteArray("Warning;{DATE};127.0.0.1;;;blank host\r\n");
        QTest::newRow("sent date kept as sent")
            << QByteArray("$LEVL$:I$DATE$:07.12.2026 20:41:05$HOST$:srv7$MSG$:x")
            << QByteArray("Information;07.12.2026 20:41:05;srv7;;;x\r\n");
        QTest::newRow("empty date generated") << QByteArray("$LEVL$:I$DATE$:$HOST$:x$MSG$:y")
                                              << QByteArray("Information;{DATE};x;;;y\r\n");
        QTest::newRow("semicolons inside values: the message keeps them")
            << QByteArray("$LEVL$:A$HOST$:h;1$SOURCE$:x;y$DEVC$:o;$MSG$:a;b")
            << QByteArray("Alert;{DATE};h[U+003B]1;x[U+003B]y;o[U+003B];a;b\r\n");
        QTest::newRow("line breaks: one event, one line")
            << QByteArray(
                   "$LEVL$:N$HOST$:h\n$MSG$:note\r\nEmergency;09.12.2026 13:00:00;r;b;p;down")
            << QByteArray("Note;{DATE};h[U+000A];;;note[U+000D][U+000A]Emergency;09.12.2026 "
                          "13:00:00;r;b;p;down\r\n");
        QTest::newRow("empty application and object") << QByteArray("$LEVL$:N$HOST$:srv7$MSG$:text")
                                                      << QByteArray("Note;{DATE};srv7;;;text\r\n");
        QTest::newRow("HTML text") << QByteArray("$LEVL$:C$HOST$:<i>h</i>$MSG$:<b>bold</b> <img "
                                                 "src=\"http://127.0.0.1/x.png\"> &amp;")
                                   << QByteArray("Critical;{DATE};<i>h</i>;;;<b>bold</b> <img "
                                                 "src=\"http://127.0.0.1/x.png\"> &amp;\r\n");
        QTest::newRow("zero byte inside the message")
            << withZeros("$LEVL$:W$HOST$:h$MSG$:a\0b") << withZeros("Warning;{DATE};h;;;a\0b\r\n");
        QTest::newRow("8-bit bytes kept")
            << QByteArray("$LEVL$:I$HOST$:h$MSG$:caf\xe9 \xc3\xa9t\xe9")
            << QByteArray("Information;{DATE};h;;;caf\xe9 \xc3\xa9t\xe9\r\n");
        // A plain text keeps its words as the message, from its sender.
        QTest::newRow("text without any tag")
            << QByteArray("hello world") << QByteArray("Trap;{DATE};127.0.0.1;;;hello world\r\n");
    }

    void taggedTexts() {
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, expected);
        const QString diff = loggedLineDiffers(
            [&] {
                return e2e::sendDatagram(payload) == payload.size() ? QString()
                                                                    : QStringLiteral("not sent");
            },
            expected);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }

    void snmpTraps_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("expected");
        const QString target = QStringLiteral("127.0.0.1:162");
        const QStringList v2c = {QStringLiteral("-v"),
                                 QStringLiteral("2c"),
                                 QStringLiteral("-c"),
                                 QStringLiteral("public"),
                                 target,
                                 QString(),
                                 QStringLiteral("1.3.6.1.4.1.8072.2.3.0.1")};
        const QStringList v1 = {QStringLiteral("-v"),
                                QStringLiteral("1"),
                                QStringLiteral("-c"),
                                QStringLiteral("public"),
                                target,
                                QStringLiteral("1.3.6.1.4.1.8072"),
                                QStringLiteral("127.0.0.1"),
                                QStringLiteral("6"),
                                QStringLiteral("1"),
                                QString()};
        const QString sysDescr = QStringLiteral("1.3.6.1.2.1.1.1.0");
        const QString sysContact = QStringLiteral("1.3.6.1.2.1.1.4.0");
        const QString sysName = QStringLiteral("1.3.6.1.2.1.1.5.0");
        const QString s = QStringLiteral("s"), i = QStringLiteral("i");
        const QString longText =
            QStringLiteral("uplink-").repeated(30); // 210 bytes: long-form length

        QTest::newRow("v2c, sysDescr last")
            << v2c + QStringList{sysDescr, s, QStringLiteral("Router up")}
            << QByteArray("Trap;{DATE};127.0.0.1;;;Router up\r\n");
        QTest::newRow("v1, sysDescr last")
            << v1 + QStringList{sysDescr, s, QStringLiteral("Switch down")}
            << QByteArray("Trap;{DATE};127.0.0.1;;;Switch down\r\n");
        QTest::newRow("v2c, sysDescr before sysName")
            << v2c + QStringList{sysDescr, s, QStringLiteral("Router up"),
                                 sysName,  s, QStringLiteral("edge-7")}
            << QByteArray("Trap;{DATE};127.0.0.1;;;Router up\r\n");
        QTest::newRow("v1, sysDescr before sysContact and an integer")
            << v1 + QStringList{sysDescr,
                                s,
                                QStringLiteral("Switch down"),
                                sysContact,
                                s,
                                QStringLiteral("noc"),
                                QStringLiteral("1.3.6.1.2.1.2.2.1.1.3"),
                                i,
                                QStringLiteral("3")}
            << QByteArray("Trap;{DATE};127.0.0.1;;;Switch down\r\n");
        QTest::newRow("v2c, long sysDescr before sysName")
            << v2c + QStringList{sysDescr, s, longText, sysName, s, QStringLiteral("edge-7")}
            << "Trap;{DATE};127.0.0.1;;;" + longText.toLatin1() + "\r\n";
        QTest::newRow("v2c, sysDescr taken unchanged")
            << v2c + QStringList{sysDescr, s, QStringLiteral("port_7 down; _flap_")}
            << QByteArray("Trap;{DATE};127.0.0.1;;;port_7 down; _flap_\r\n");
        // Without sysDescr the message names the trap and its bindings.
        const QStringList v2cTrap = v2c.mid(0, 6);
        const QStringList v1Generic = {v1[0],
                                       v1[1],
                                       v1[2],
                                       v1[3],
                                       target,
                                       QStringLiteral("1.3.6.1.4.1.8072.3.2.10"),
                                       QStringLiteral("192.0.2.1")};
        const QStringList linkDownBindings = {
            QStringLiteral("1.3.6.1.2.1.2.2.1.1.2"), i, QStringLiteral("2"),
            QStringLiteral("1.3.6.1.2.1.2.2.1.7.2"), i, QStringLiteral("1"),
            QStringLiteral("1.3.6.1.2.1.2.2.1.8.2"), i, QStringLiteral("2")};
        QTest::newRow("v2c without sysDescr")
            << v2c + QStringList{sysName, s, QStringLiteral("edge-7")}
            << QByteArray("Trap;{DATE};127.0.0.1;;;"
                          "NET-SNMP-EXAMPLES-MIB::netSnmpExampleHeartbeatNotification "
                          "sysName.0=\"edge-7\"\r\n");
        QTest::newRow("v2c linkDown")
            << v2cTrap + QStringList{QStringLiteral("1.3.6.1.6.3.1.1.5.3")} + linkDownBindings
            << QByteArray("Trap;{DATE};127.0.0.1;;;IF-MIB::linkDown ifIndex.2=2 "
                          "ifAdminStatus.2=up ifOperStatus.2=down\r\n");
        QTest::newRow("v1 linkDown")
            << v1Generic + QStringList{QStringLiteral("2"), QStringLiteral("0"), QString()} +
                   linkDownBindings
            << QByteArray("Trap;{DATE};127.0.0.1;;;IF-MIB::linkDown "
                          "enterprise=NET-SNMP-TC::linux generic=2 agent=192.0.2.1 ifIndex.2=2 "
                          "ifAdminStatus.2=up ifOperStatus.2=down\r\n");
        QTest::newRow("v2c vendor trap named by the operator's MIBs")
            << v2cTrap + QStringList{QStringLiteral("1.3.6.1.4.1.64999.1.4.0.1"),
                                     QStringLiteral("1.3.6.1.4.1.64999.1.4.1.1.1.2.3"),
                                     i,
                                     QStringLiteral("2"),
                                     QStringLiteral("1.3.6.1.4.1.64999.1.4.1.1.1.3.3"),
                                     QStringLiteral("u"),
                                     QStringLiteral("0")}
            << QByteArray("Trap;{DATE};127.0.0.1;;;ACME-FAN-MIB::fanFailure "
                          "fanStatus.3=failed fanSpeed.3=0 rpm\r\n");
        QTest::newRow("v2c coldStart")
            << v2cTrap + QStringList{QStringLiteral("1.3.6.1.6.3.1.1.5.1")}
            << QByteArray("Trap;{DATE};127.0.0.1;;;SNMPv2-MIB::coldStart\r\n");
        QTest::newRow("v1 coldStart")
            << v1Generic + QStringList{QStringLiteral("0"), QStringLiteral("0"), QString()}
            << QByteArray("Trap;{DATE};127.0.0.1;;;SNMPv2-MIB::coldStart "
                          "enterprise=NET-SNMP-TC::linux generic=0 agent=192.0.2.1\r\n");
        QTest::newRow("v2c unknown enterprise trap")
            << v2cTrap + QStringList{QStringLiteral("1.3.6.1.4.1.99999.0.7"),
                                     QStringLiteral("1.3.6.1.4.1.99999.1.0"), s,
                                     QStringLiteral("fan 2")}
            << QByteArray("Trap;{DATE};127.0.0.1;;;1.3.6.1.4.1.99999.0.7 "
                          "1.3.6.1.4.1.99999.1.0=\"fan 2\"\r\n");
        QTest::newRow("v1 unknown enterprise trap")
            << QStringList{v1[0],
                           v1[1],
                           v1[2],
                           v1[3],
                           target,
                           QStringLiteral("1.3.6.1.4.1.99999"),
                           QStringLiteral("192.0.2.1"),
                           QStringLiteral("6"),
                           QStringLiteral("7"),
                           QString()}
            << QByteArray("Trap;{DATE};127.0.0.1;;;1.3.6.1.4.1.99999.0.7 "
                          "enterprise=1.3.6.1.4.1.99999 specific=7 agent=192.0.2.1\r\n");
    }

    // An inform is answered: snmpinform, which tries once, succeeds, and the
    // inform makes exactly one row and one log line.
    void snmpInformIsAcknowledged() {
        const QByteArray before = m_env->log();
        const QDateTime from = QDateTime::currentDateTime();
        const QString sent = m_env->snmptrap(
            {QStringLiteral("-v"), QStringLiteral("2c"), QStringLiteral("-c"),
             QStringLiteral("public"), QStringLiteral("-r"), QStringLiteral("0"),
             QStringLiteral("-t"), QStringLiteral("10"), QStringLiteral("127.0.0.1:162"), QString(),
             QStringLiteral("1.3.6.1.6.3.1.1.5.1")},
            QStringLiteral("snmpinform"));
        QVERIFY2(sent.isEmpty(), qPrintable(sent));
        QByteArray line;
        QVERIFY(awaitOneLine(before, &line));
        const QString diff =
            e2e::compareLogLine(line, "Trap;{DATE};127.0.0.1;;;SNMPv2-MIB::coldStart\r\n", from,
                                QDateTime::currentDateTime());
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }

    // An inform its sender sends again (our Response was lost on the way) is
    // acknowledged each time but shown and logged once.
    void retransmittedInformShownOnce() {
        QUdpSocket capture; // where snmpinform's inform is caught
        QVERIFY(capture.bind(QHostAddress::LocalHost, 0));
        m_env->snmptrap({"-v", "2c", "-c", "public", "-r", "0", "-t", "1",
                         "127.0.0.1:" + QString::number(capture.localPort()), "",
                         "1.3.6.1.6.3.1.1.5.4", "1.3.6.1.2.1.2.2.1.1.3", "i", "3"},
                        QStringLiteral("snmpinform")); // fails: nobody answers
        QVERIFY(e2e::waitFor([&] { return capture.hasPendingDatagrams(); }, 5000));
        const QByteArray inform = capture.receiveDatagram().data();

        const QByteArray before = m_env->log();
        QUdpSocket sender;
        QVERIFY(sender.bind(QHostAddress::LocalHost, 0));
        for (int attempt = 0; attempt < 3; ++attempt) {
            QCOMPARE(sender.writeDatagram(inform, QHostAddress::LocalHost, e2e::kTrapPort),
                     inform.size());
            QVERIFY2(e2e::waitFor([&] { return sender.hasPendingDatagrams(); }, 10000),
                     "no Response to the inform");
            const QByteArray response = sender.receiveDatagram().data();
            QCOMPARE(response.size(), inform.size());
        }
        QVERIFY(m_env->logsNote("after the informs")); // the log is in arrival order
        const QList<QByteArray> lines = m_env->log().mid(before.size()).split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith("Trap;") &&
                     lines[0].endsWith(";127.0.0.1;;;IF-MIB::linkUp ifIndex.3=3\r"),
                 lines[0].constData());
    }

    // Two devices behind one address, or a sender that started its count
    // again: another inform with a request id seen before is answered and
    // shown, and so is the same inform from another port of the address;
    // only the same inform again from the same address and port is a repeat.
    void sameRequestIdOtherInformShown() {
        // linkDown and linkUp of ifIndex.2, both with request id 1000.
        const QByteArray prefix = QByteArray::fromHex(
            "305202010104067075626c6963a645020203e80201000201003039300d06082b0601020101030043"
            "01643017060a2b06010603010104010006092b06010603010105");
        const QByteArray suffix = QByteArray::fromHex("300f060a2b060102010202010102020102");
        const QByteArray linkDown = prefix + '\x03' + suffix, linkUp = prefix + '\x04' + suffix;
        QUdpSocket first, second;
        QVERIFY(first.bind(QHostAddress::LocalHost, 40001));
        QVERIFY(second.bind(QHostAddress::LocalHost, 40002));
        const QByteArray before = m_env->log();
        for (const auto &[from, inform] :
             {std::pair{&first, linkDown}, std::pair{&second, linkUp}, std::pair{&first, linkDown},
              std::pair{&second, linkDown}}) {
            QUdpSocket *socket = from; // a lambda may not capture a structured binding
            QCOMPARE(socket->writeDatagram(inform, QHostAddress::LocalHost, e2e::kTrapPort),
                     inform.size());
            QVERIFY2(e2e::waitFor([&] { return socket->hasPendingDatagrams(); }, 10000),
                     "no Response to the inform");
            QCOMPARE(socket->receiveDatagram().data().at(13), '\xA2'); // a Response
        }
        QVERIFY(m_env->logsNote("after the same request ids"));
        const QList<QByteArray> lines = m_env->log().mid(before.size()).split('\n');
        QCOMPARE(lines.size(), 5);
        QVERIFY2(lines[0].endsWith(";127.0.0.1;;;IF-MIB::linkDown ifIndex.2=2\r"),
                 lines[0].constData());
        QVERIFY2(lines[1].endsWith(";127.0.0.1;;;IF-MIB::linkUp ifIndex.2=2\r"),
                 lines[1].constData());
        QVERIFY2(lines[2].endsWith(";127.0.0.1;;;IF-MIB::linkDown ifIndex.2=2\r"),
                 lines[2].constData());
    }

    void snmpTraps() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, expected);
        const QString diff =
            loggedLineDiffers([&] { return m_env->snmptrap(arguments); }, expected);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }

    // A quick series of datagrams: one line each, in the order sent.
    void seriesKeepsEveryEventInOrder() {
        const QByteArray before = m_env->log();
        constexpr int count = 200;
        QUdpSocket socket;
        for (int n = 0; n < count; ++n) {
            const QByteArray payload = "$LEVL$:I$HOST$:srv$MSG$:event " + QByteArray::number(n);
            QCOMPARE(socket.writeDatagram(payload, QHostAddress(QHostAddress::LocalHost),
                                          e2e::kTrapPort),
                     payload.size());
        }
        QTRY_COMPARE_WITH_TIMEOUT(e2e::lineCount(m_env->log()) - e2e::lineCount(before),
                                  qsizetype(count), 15000);
        const QByteArray now = m_env->log();
        QVERIFY(now.startsWith(before));
        const QList<QByteArray> lines = now.mid(before.size()).split('\n');
        QCOMPARE(lines.size(), count + 1);
        for (int n = 0; n < count; ++n) {
            const QByteArray &line = lines[n];
            QVERIFY2(line.startsWith("Information;") &&
                         line.endsWith(";srv;;;event " + QByteArray::number(n) + "\r"),
                     line.constData());
        }
    }
};

E2E_TEST_MAIN(IntakeTest)
#include "tst_intake.moc"
