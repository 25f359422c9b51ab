// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Syslog into the real program, in a network namespace of its own: util-linux
// `logger` over UDP and TCP (both framings, both formats) on the default
// port 514, and a real rsyslogd relaying what the copy forwards back to it
// over TCP and TLS: shown as at its source, and never forwarded again.
#include "quorvik_process.h"
#include "rsyslog_process.h"

#include <QHostInfo>
#include <QtTest>

using forwardtest::Rsyslog;

namespace {

constexpr quint16 kRelayPort = 5140;

// The log's lines that end with `tail`.
QList<QByteArray> linesEndingWith(const QByteArray &log, const QByteArray &tail) {
    QList<QByteArray> found;
    for (const QByteArray &line : log.split('\n'))
        if (line.endsWith(tail + '\r'))
            found << line.chopped(1);
    return found;
}

} // namespace

class SyslogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        E2E_REQUIRE_TRAP_PORT();
        const QString network = e2e::enterPrivateNetwork();
        if (!network.isEmpty())
            QSKIP(qPrintable(QStringLiteral("needs root for a network namespace: ") + network));
    }
    void loggerOverUdpAndTcp_data();
    void loggerOverUdpAndTcp();
    void relayedEventsComeBackAsTheyLeftAndStop_data();
    void relayedEventsComeBackAsTheyLeftAndStop();

private:
    std::unique_ptr<e2e::QuorvikEnv> m_env;
    QProcess *m_live = nullptr;
};

void SyslogTest::loggerOverUdpAndTcp_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("level");
    QTest::addColumn<QByteArray>("facility");
    QTest::newRow("udp 5424") << QStringList{"--udp", "--rfc5424=notq", "-p", "local3.err"}
                              << QByteArray("Alert") << QByteArray("local3");
    QTest::newRow("udp 3164") << QStringList{"--udp", "--rfc3164", "-p", "daemon.warning"}
                              << QByteArray("Warning") << QByteArray("daemon");
    QTest::newRow("tcp 3164 lines") << QStringList{"--tcp", "--rfc3164", "-p", "auth.crit"}
                                    << QByteArray("Critical") << QByteArray("auth");
    QTest::newRow("tcp 5424 counted")
        << QStringList{"--tcp", "--rfc5424=notq", "--octet-count", "-p", "user.emerg"}
        << QByteArray("Emergency") << QByteArray("user");
}

// A device pointed at port 514 shows up with its level, date, host,
// program and facility.
void SyslogTest::loggerOverUdpAndTcp() {
    QFETCH(QStringList, options);
    QFETCH(QByteArray, level);
    QFETCH(QByteArray, facility);
    if (!m_live || m_live->state() != QProcess::Running) {
        const QString error = e2e::startFreshLive(m_env, &m_live);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        // Port 514 is bound just after 162.
        QVERIFY(e2e::waitFor([] { return !e2e::udpInodesOnPort(514).isEmpty(); }, 10000));
    }
    const QByteArray tag = "app-" + QByteArray::number(QRandomGenerator::global()->generate());
    const QByteArray text = QByteArray("hello from ") + QTest::currentDataTag();
    const QDateTime from = QDateTime::currentDateTime();
    QCOMPARE(
        e2e::runProgram(QStringLiteral("logger"),
                        options + QStringList{"-n", "127.0.0.1", "-P", "514", "-t",
                                              QString::fromLatin1(tag), QString::fromLatin1(text)}),
        QString());
    const QByteArray tail = ";" + tag + ";" + facility + ";" + text;
    QVERIFY2(e2e::waitFor([&] { return !linesEndingWith(m_env->log(), tail).isEmpty(); }, 10000),
             qPrintable(QString::fromLatin1(m_env->log().right(400)) +
                        e2e::QuorvikEnv::describe(m_live)));
    const QByteArray line = linesEndingWith(m_env->log(), tail).constFirst();
    const QByteArray host = QHostInfo::localHostName().toLatin1();
    const QByteArray expected = level + ";{DATE};" + host + tail;
    const QString mismatch =
        e2e::compareLogLine(line, expected, from, QDateTime::currentDateTime());
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void SyslogTest::relayedEventsComeBackAsTheyLeftAndStop_data() {
    QTest::addColumn<QString>("transport");
    QTest::newRow("udp") << QStringLiteral("udp");
    QTest::newRow("tcp lines") << QStringLiteral("tcp lines");
    QTest::newRow("tcp") << QStringLiteral("tcp");
    QTest::newRow("tls") << QStringLiteral("tls");
}

// The copy forwards a tagged text to a relay that sends it back in RFC 5424
// (over UDP, or over TCP or TLS as omfwd frames it: LF or octet counted):
// the event shows again with its own
// level, host, program and object, and goes no further, so the log holds it
// twice and not more.
void SyslogTest::relayedEventsComeBackAsTheyLeftAndStop() {
    QFETCH(QString, transport);
    const bool tls = transport == QLatin1String("tls");
    m_env.reset();
    m_live = nullptr;
    QTemporaryDir dir;
    Rsyslog relay(dir.path());
    QByteArray syslogConfig;
    QString streamDriver;
    quint16 port = 514;
    if (tls) {
        QCOMPARE(relay.makeCertificate(QStringLiteral("console"), QStringLiteral("localhost")),
                 QString());
        port = 6514;
        syslogConfig = "[Syslog]\r\nTLS=6514\r\nTLSCert=" + QFile::encodeName(dir.path()) +
                       "/console.pem\r\nTLSKey=" + QFile::encodeName(dir.path()) +
                       "/console-key.pem\r\n";
        streamDriver = QStringLiteral(" StreamDriver=\"gtls\" StreamDriverMode=\"1\" "
                                      "StreamDriverAuthMode=\"x509/name\" "
                                      "StreamDriverPermittedPeers=\"localhost\" "
                                      "streamDriver.CAFile=\"%1/ca.pem\"")
                           .arg(dir.path());
    }
    const QString protocol = transport == QLatin1String("udp") ? QStringLiteral("protocol=\"udp\"")
                             : transport == QLatin1String("tcp lines")
                                 ? QStringLiteral("protocol=\"tcp\"")
                                 : QStringLiteral("protocol=\"tcp\" "
                                                  "TCP_Framing=\"octet-counted\"");
    const QString rules =
        QStringLiteral("action(type=\"omfwd\" target=\"127.0.0.1\" port=\"%1\" %2 "
                       "template=\"RSYSLOG_SyslogProtocol23Format\"%3)\n")
            .arg(port)
            .arg(protocol, streamDriver);
    QCOMPARE(relay.start(Rsyslog::Input::Udp, kRelayPort, {}, rules), QString());
    const QByteArray forward =
        "[Forward]\r\nTarget1=udp://127.0.0.1:" + QByteArray::number(kRelayPort) + "\r\n" +
        syslogConfig;
    const QString error = e2e::startFreshLive(m_env, &m_live, {}, [&](const e2e::QuorvikEnv &env) {
        QFile config(env.configPath());
        QVERIFY(config.open(QIODevice::Append) && config.write(forward) == forward.size());
    });
    QVERIFY2(error.isEmpty(), qPrintable(error));

    const QByteArray text = "$LEVL$:C$HOST$:db7$SOURCE$:backup$DEVC$:disk 2$MSG$:nearly full";
    QCOMPARE(e2e::sendDatagram(text), qint64(text.size()));
    const QByteArray tail = ";db7;backup;disk 2;nearly full";
    QVERIFY2(e2e::waitFor([&] { return linesEndingWith(m_env->log(), tail).size() >= 2; }, 20000),
             qPrintable(QString::fromLatin1(m_env->log()) + e2e::QuorvikEnv::describe(m_live)));
    QTest::qWait(2000); // a loop would bring it back again meanwhile
    const QList<QByteArray> lines = linesEndingWith(m_env->log(), tail);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[1].startsWith("Critical;") && lines[1].left(29) == lines[0].left(29),
             lines[1].constData()); // the level and the date to the second as at the source
}

QTEST_GUILESS_MAIN(SyslogTest)
#include "tst_syslog.moc"
