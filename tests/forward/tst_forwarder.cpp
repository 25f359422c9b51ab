// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The forwarder against a real rsyslogd over UDP, TCP and TLS: what arrives
// in rsyslog's file, a collector restarted, one that never reads, a server
// certificate for another host, and the Test path.
#include "forward/forwarder.h"
#include "quorvik_process.h"
#include "rsyslog_process.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>

#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace quorvik;
using forwardtest::Rsyslog;

namespace {

// A port that is free now, of the given type.
quint16 freePort(int type) {
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

Event loggedEvent(char letter, const QByteArray &processor, const QByteArray &application,
                  const QByteArray &object, const QByteArray &message) {
    Event e;
    e.level = letter == 'X' ? &trapLevel() : &levelForLetter(std::string(1, letter));
    e.date = "07.12.2026 20:41:05";
    e.host = processor.toStdString();
    e.application = application.toStdString();
    e.object = object.toStdString();
    e.message = message.toStdString();
    e.sender = "192.0.2.7";
    return e;
}

// `count` Notes numbered from `first` ("n 12").
EventBatch numbered(int first, int count) {
    auto batch = std::make_shared<std::vector<Event>>();
    for (int n = first; n < first + count; ++n)
        batch->push_back(loggedEvent('N', "srv7", "app", "obj", "n " + QByteArray::number(n)));
    return batch;
}

ForwardTarget target(const char *url) {
    std::optional<ForwardTarget> parsed = parseTargetUrl(url);
    Q_ASSERT(parsed);
    return *parsed;
}

ForwardStatus firstStatus(const Forwarder &forwarder) {
    const std::vector<ForwardStatus> status = forwarder.status();
    return status.empty() ? ForwardStatus{} : status.front();
}

// The message numbers of the lines rsyslog wrote, in order.
QList<int> numbersIn(const QList<QByteArray> &lines) {
    QList<int> numbers;
    for (const QByteArray &line : lines)
        numbers << line.mid(line.lastIndexOf("|n ") + 3).toInt();
    return numbers;
}

QList<int> range(int first, int count) {
    QList<int> numbers;
    for (int n = first; n < first + count; ++n)
        numbers << n;
    return numbers;
}

} // namespace

class TestForwarder : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void fieldsReachRsyslog_data();
    void fieldsReachRsyslog();
    void restartedCollectorGetsTheQueueInOrder();
    void failingTargetNamedUntilItWorks();
    void silentCollectorCostsOnlyItsQueue();
    void wrongServerCertificateIsRefused();
    void testSendsOneInformationEvent();
    void udpCountsRefusalsAndTestSaysWhatItCantKnow();
    void rulesChooseTargetsByNumber();

private:
    QTemporaryDir m_dir;
};

void TestForwarder::initTestCase() {
    QVERIFY(m_dir.isValid());
    // Dates are read in the local zone; rsyslog writes the offset it received.
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
    if (QStandardPaths::findExecutable(QStringLiteral("rsyslogd")).isEmpty() &&
        !QFile::exists(QStringLiteral("/usr/sbin/rsyslogd")))
        QFAIL("rsyslogd is missing (Debian packages rsyslog, rsyslog-gnutls)");
}

void TestForwarder::fieldsReachRsyslog_data() {
    QTest::addColumn<int>("input");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<bool>("clientCertificate");
    QTest::newRow("udp") << int(Rsyslog::Input::Udp) << "udp" << false;
    QTest::newRow("tcp") << int(Rsyslog::Input::Tcp) << "tcp" << false;
    QTest::newRow("tls") << int(Rsyslog::Input::Tls) << "tls" << false;
    QTest::newRow("tls, client certificate") << int(Rsyslog::Input::Tls) << "tls" << true;
}

void TestForwarder::fieldsReachRsyslog() {
    QFETCH(int, input);
    QFETCH(QString, scheme);
    QFETCH(bool, clientCertificate);
    const auto kind = Rsyslog::Input(input);
    const QString dir = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    Rsyslog rsyslog(dir);
    if (kind == Rsyslog::Input::Tls)
        QCOMPARE(rsyslog.makeCertificate(QStringLiteral("server"), QStringLiteral("localhost")),
                 QString());
    if (clientCertificate) {
        QCOMPARE(rsyslog.makeCertificate(QStringLiteral("client"), QStringLiteral("console7")),
                 QString());
        rsyslog.setAuthMode(QStringLiteral("x509/certvalid"));
    }
    const quint16 port = freePort(kind == Rsyslog::Input::Udp ? SOCK_DGRAM : SOCK_STREAM);
    QCOMPARE(rsyslog.start(kind, port, QStringLiteral("server")), QString());

    ForwardTarget to = target(qPrintable(scheme + QStringLiteral("://localhost:%1").arg(port)));
    to.caFile = (dir + QStringLiteral("/ca.pem")).toStdString();
    if (clientCertificate) {
        to.certFile = (dir + QStringLiteral("/client.pem")).toStdString();
        to.keyFile = (dir + QStringLiteral("/client-key.pem")).toStdString();
    }
    Forwarder forwarder;
    forwarder.setTargets({to});
    auto batch = std::make_shared<std::vector<Event>>();
    batch->push_back(loggedEvent('W', "srv7", "backup", "disk_2", "quota reached"));
    batch->push_back(loggedEvent('X', "192.0.2.9", "", "", "IF-MIB::linkDown ifIndex.2=2"));
    batch->push_back(loggedEvent('E', "h\xc3\xb6st", "a]\"\\b", "",
                                 "x ] \" \\ Gr\xc3\xbc\xc3\x9f"
                                 "e"));
    batch->push_back(loggedEvent('I', "", "", "",
                                 "Stra\xdf"
                                 "e")); // Latin-1 from an 8-bit sender
    forwarder.take(batch);

    QVERIFY2(Rsyslog::waitUntil([&] { return rsyslog.received().size() >= 4; }, 10000),
             qPrintable(forwarder.statusText()));
    const QByteArray sd = "[quorvik@32473 level=\"%1\" host=\"%2\" application=\"%3\" "
                          "object=\"%4\" sender=\"192.0.2.7\"]";
    const auto line = [&](const char *pri, const char *host, const char *level,
                          const QByteArray &fields, const QByteArray &message) {
        return QByteArray(pri) + "|2026-12-07T20:41:05+01:00|" + host + "|quorvik|-|" + level +
               "|" + fields + "|" + message;
    };
    const QList<QByteArray> expected{
        line("132", "srv7", "Warning",
             "[quorvik@32473 level=\"Warning\" host=\"srv7\" application=\"backup\" "
             "object=\"disk_2\" sender=\"192.0.2.7\"]",
             "quota reached"),
        line("132", "192.0.2.9", "Trap",
             "[quorvik@32473 level=\"Trap\" host=\"192.0.2.9\" application=\"\" object=\"\" "
             "sender=\"192.0.2.7\"]",
             "IF-MIB::linkDown ifIndex.2=2"),
        line("128", "h__st", "Emergency",
             "[quorvik@32473 level=\"Emergency\" host=\"h\xc3\xb6st\" "
             "application=\"a\\]\\\"\\\\b\" object=\"\" sender=\"192.0.2.7\"]",
             "x ] \" \\ Gr\xc3\xbc\xc3\x9f"
             "e"),
        line("133", "-", "Information",
             "[quorvik@32473 level=\"Information\" host=\"\" application=\"\" object=\"\" "
             "sender=\"192.0.2.7\"]",
             "Stra\xc3\x9f"
             "e"),
    };
    QCOMPARE(rsyslog.received(), expected);
    QCOMPARE(forwarder.notForwarded(), std::uint64_t(0));

    if (clientCertificate) { // the collector asks for it: without, it hangs up
        Forwarder anonymous;
        to.certFile.clear();
        to.keyFile.clear();
        anonymous.setTargets({to});
        anonymous.take(batch);
        QVERIFY(
            Rsyslog::waitUntil([&] { return !firstStatus(anonymous).lastError.isEmpty(); }, 10000));
        QTest::qWait(200);
        QCOMPARE(rsyslog.received().size(), expected.size());
    }
}

void TestForwarder::restartedCollectorGetsTheQueueInOrder() {
    const QString dir = m_dir.filePath(QStringLiteral("restart"));
    Rsyslog rsyslog(dir);
    const quint16 port = freePort(SOCK_STREAM);
    QCOMPARE(rsyslog.start(Rsyslog::Input::Tcp, port), QString());
    ForwarderOptions options;
    options.queueLimit = 500;
    options.firstRetryMs = 50;
    options.lastRetryMs = 200;
    Forwarder forwarder(options);
    forwarder.setTargets({target(qPrintable(QStringLiteral("tcp://127.0.0.1:%1").arg(port)))});
    forwarder.take(numbered(0, 100));
    QVERIFY(Rsyslog::waitUntil([&] { return rsyslog.received().size() == 100; }, 10000));

    rsyslog.stop();
    QVERIFY2(Rsyslog::waitUntil([&] { return !firstStatus(forwarder).lastError.isEmpty(); }, 10000),
             "the closed connection is noticed");
    for (int n = 100; n < 800; n += 100) // 700 events for a queue of 500
        forwarder.take(numbered(n, 100));
    QVERIFY(Rsyslog::waitUntil(
        [&] {
            const ForwardStatus s = firstStatus(forwarder);
            return s.queued + s.notForwarded == 700;
        },
        10000));
    QCOMPARE(firstStatus(forwarder).queued, std::size_t(500));
    QCOMPARE(forwarder.notForwarded(), std::uint64_t(200));
    QTest::qWait(300); // retries meet the closed port, nothing changes
    QCOMPARE(firstStatus(forwarder).queued, std::size_t(500));

    QCOMPARE(rsyslog.restart(), QString());
    QVERIFY2(Rsyslog::waitUntil([&] { return rsyslog.received().size() >= 600; }, 15000),
             qPrintable(forwarder.statusText()));
    QCOMPARE(numbersIn(rsyslog.received()), range(0, 600));
    QCOMPARE(forwarder.notForwarded(), std::uint64_t(700 - 500));
    QVERIFY(Rsyslog::waitUntil([&] { return firstStatus(forwarder).queued == 0; }, 5000));
    QCOMPARE(firstStatus(forwarder).sent, std::uint64_t(600));
}

// A collector that is down and a host name that does not resolve are named
// with their errors and what waits for them at once, long before a queue is
// full; the collector leaves the list once it takes the events.
void TestForwarder::failingTargetNamedUntilItWorks() {
    const QString dir = m_dir.filePath(QStringLiteral("failing"));
    Rsyslog rsyslog(dir);
    const quint16 port = freePort(SOCK_STREAM);
    ForwarderOptions options;
    options.firstRetryMs = 50;
    options.lastRetryMs = 200;
    Forwarder forwarder(options);
    QSignalSpy changes(&forwarder, &Forwarder::statusChanged);
    const QString down = QStringLiteral("tcp://127.0.0.1:%1").arg(port);
    const QString nowhere = QStringLiteral("tcp://no-such-host.invalid:514");
    forwarder.setTargets({target(qPrintable(down)), target(qPrintable(nowhere))});
    forwarder.take(numbered(0, 3));
    QVERIFY2(Rsyslog::waitUntil(
                 [&] {
                     return forwarder.failingText().startsWith(
                                down + QStringLiteral(": Connection refused, 3 waiting; ")) &&
                            forwarder.failingText().contains(nowhere);
                 },
                 10000),
             qPrintable(forwarder.failingText()));
    QVERIFY(!changes.isEmpty()); // the window is told
    QVERIFY2(forwarder.failingText().endsWith(QStringLiteral(", 3 waiting")),
             qPrintable(forwarder.failingText()));
    QCOMPARE(forwarder.notForwarded(), std::uint64_t(0));

    QCOMPARE(rsyslog.start(Rsyslog::Input::Tcp, port), QString());
    QVERIFY(Rsyslog::waitUntil([&] { return rsyslog.received().size() == 3; }, 10000));
    QVERIFY2(Rsyslog::waitUntil([&] { return !forwarder.failingText().contains(down); }, 10000),
             qPrintable(forwarder.failingText()));
    QVERIFY2(forwarder.failingText().startsWith(nowhere), qPrintable(forwarder.failingText()));
}

void TestForwarder::silentCollectorCostsOnlyItsQueue() {
    // Listens and never accepts: the system completes the connection and
    // fills its buffer, nobody reads.
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QVERIFY(::bind(silent, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
            ::listen(silent, 4) == 0 &&
            ::getsockname(silent, reinterpret_cast<sockaddr *>(&address), &length) == 0);
    const quint16 port = ntohs(address.sin_port);
    ForwarderOptions options;
    options.queueLimit = 20'000;
    constexpr int kEvents = 200'000;
    {
        Forwarder forwarder(options);
        forwarder.setTargets({target(qPrintable(QStringLiteral("tcp://127.0.0.1:%1").arg(port)))});
        // Handing over never waits for the socket: all of it returns while
        // nothing is read.
        for (int n = 0; n < kEvents; n += 1000)
            forwarder.take(numbered(n, 1000));
        QVERIFY(Rsyslog::waitUntil(
            [&] {
                const ForwardStatus s = firstStatus(forwarder);
                return s.sent + s.queued + s.notForwarded == kEvents;
            },
            20000));
        const ForwardStatus s = firstStatus(forwarder);
        // Every event is accounted for; the queue never outgrew its bound,
        // and the socket held no more than the system would take.
        QVERIFY(s.queued <= options.queueLimit);
        QVERIFY2(s.notForwarded > 100'000, qPrintable(forwarder.statusText()));
        QCOMPARE(forwarder.notForwarded(), s.notForwarded);
    } // quitting gives up after its 2 s
    ::close(silent);
}

void TestForwarder::wrongServerCertificateIsRefused() {
    const QString dir = m_dir.filePath(QStringLiteral("wrong"));
    Rsyslog rsyslog(dir);
    QCOMPARE(rsyslog.makeCertificate(QStringLiteral("other"), QStringLiteral("other.example")),
             QString());
    const quint16 port = freePort(SOCK_STREAM);
    QCOMPARE(rsyslog.start(Rsyslog::Input::Tls, port, QStringLiteral("other")), QString());
    ForwardTarget to = target(qPrintable(QStringLiteral("tls://localhost:%1").arg(port)));
    to.caFile = (dir + QStringLiteral("/ca.pem")).toStdString();
    Forwarder forwarder;
    forwarder.setTargets({to});
    forwarder.take(numbered(0, 3));
    QVERIFY(Rsyslog::waitUntil([&] { return !firstStatus(forwarder).lastError.isEmpty(); }, 10000));
    const ForwardStatus s = firstStatus(forwarder);
    QVERIFY2(s.lastError.contains(QLatin1String("certificate refused")) &&
                 s.lastError.contains(QLatin1String("host name")),
             qPrintable(s.lastError));
    QVERIFY(forwarder.statusText().contains(s.lastError));
    QVERIFY2(forwarder.failingText().startsWith(
                 QStringLiteral("tls://localhost:%1: certificate refused").arg(port)),
             qPrintable(forwarder.failingText()));
    QCOMPARE(s.sent, std::uint64_t(0));
    QCOMPARE(s.queued, std::size_t(3)); // kept for a collector that proves itself
    QVERIFY(rsyslog.received().isEmpty());
}

void TestForwarder::testSendsOneInformationEvent() {
    const QString dir = m_dir.filePath(QStringLiteral("test"));
    Rsyslog rsyslog(dir);
    const quint16 port = freePort(SOCK_STREAM);
    QCOMPARE(rsyslog.start(Rsyslog::Input::Tcp, port), QString());
    Forwarder forwarder;
    QStringList outcomes;
    const auto record = [&](const QString &outcome) { outcomes << outcome; };
    forwarder.test(target(qPrintable(QStringLiteral("tcp://127.0.0.1:%1").arg(port))), record);
    forwarder.test(
        target(qPrintable(QStringLiteral("tcp://127.0.0.1:%1").arg(freePort(SOCK_STREAM)))),
        record);
    QVERIFY(Rsyslog::waitUntil([&] { return outcomes.size() == 2; }, 15000));
    outcomes.sort();
    QVERIFY2(outcomes[0].startsWith(QLatin1String("Cannot send to tcp://127.0.0.1:")) &&
                 outcomes[0].endsWith(QLatin1String(": Connection refused")),
             qPrintable(outcomes[0]));
    QCOMPARE(outcomes[1],
             QStringLiteral("Sent one Information event to tcp://127.0.0.1:%1.").arg(port));
    QVERIFY(Rsyslog::waitUntil([&] { return rsyslog.received().size() == 1; }, 10000));
    const QByteArray line = rsyslog.received().value(0);
    QVERIFY2(line.startsWith("133|") && line.contains("|quorvik|-|Information|") &&
                 line.endsWith("|Test message from quorvik"),
             line.constData());
}

// A UDP collector that is down: the datagrams its system refuses are
// counted as not forwarded and make the target's error, until datagrams go
// out without a refusal again. Test says what UDP can and can't tell.
void TestForwarder::udpCountsRefusalsAndTestSaysWhatItCantKnow() {
    const QString dir = m_dir.filePath(QStringLiteral("udp refusals"));
    Rsyslog rsyslog(dir);
    const quint16 port = freePort(SOCK_DGRAM);
    QCOMPARE(rsyslog.start(Rsyslog::Input::Udp, port), QString());
    const QString url = QStringLiteral("udp://127.0.0.1:%1").arg(port);
    Forwarder forwarder;
    forwarder.setTargets({target(qPrintable(url))});
    forwarder.take(numbered(0, 5));
    QVERIFY2(Rsyslog::waitUntil([&] { return rsyslog.received().size() == 5; }, 10000),
             qPrintable(forwarder.statusText()));

    rsyslog.stop();
    forwarder.take(numbered(5, 10));
    QVERIFY2(Rsyslog::waitUntil([&] { return firstStatus(forwarder).refused == 10; }, 10000),
             qPrintable(forwarder.statusText()));
    QCOMPARE(forwarder.notForwarded(), std::uint64_t(10));
    QCOMPARE(forwarder.failingText(), url + QStringLiteral(": Connection refused, 0 waiting"));
    QStringList outcomes;
    const auto record = [&](const QString &outcome) { outcomes << outcome; };
    forwarder.test(target(qPrintable(url)), record);
    QVERIFY(Rsyslog::waitUntil([&] { return outcomes.size() == 1; }, 15000));
    QCOMPARE(outcomes[0], QStringLiteral("Cannot send to %1: Connection refused").arg(url));

    QCOMPARE(rsyslog.restart(), QString());
    forwarder.take(numbered(15, 5));
    QVERIFY2(Rsyslog::waitUntil([&] { return rsyslog.received().size() == 10; }, 10000),
             qPrintable(forwarder.statusText()));
    QCOMPARE(numbersIn(rsyslog.received()), range(0, 5) + range(15, 5));
    QVERIFY2(Rsyslog::waitUntil([&] { return forwarder.failingText().isEmpty(); }, 10000),
             qPrintable(forwarder.failingText()));
    QCOMPARE(firstStatus(forwarder).refused, std::uint64_t(10));
    forwarder.test(target(qPrintable(url)), record);
    QVERIFY(Rsyslog::waitUntil([&] { return outcomes.size() == 2; }, 15000));
    QCOMPARE(outcomes[1], QStringLiteral("Sent one Information event to %1. UDP gives no answer: "
                                         "no refusal came back, but only the collector can show "
                                         "that it arrived.")
                              .arg(url));
    QVERIFY(Rsyslog::waitUntil([&] { return rsyslog.received().size() == 11; }, 10000));
}

// An event whose rules chose targets goes to those, by their N in
// [Forward], whatever their level; the others go by the targets' levels.
void TestForwarder::rulesChooseTargetsByNumber() {
    QUdpSocket first, third;
    QVERIFY(first.bind(QHostAddress::LocalHost, 0));
    QVERIFY(third.bind(QHostAddress::LocalHost, 0));
    ForwardTarget serious =
        target(qPrintable(QStringLiteral("udp://127.0.0.1:%1").arg(third.localPort())));
    serious.level = 2; // Emergency and Panic only
    Forwarder forwarder;
    forwarder.setTargets(
        {target(qPrintable(QStringLiteral("udp://127.0.0.1:%1").arg(first.localPort()))), serious},
        {1, 3});
    auto batch = std::make_shared<std::vector<Event>>();
    const auto add = [&](int n, std::optional<std::vector<int>> chosen) {
        batch->push_back(loggedEvent('N', "srv7", "app", "obj", "n " + QByteArray::number(n)));
        batch->back().actions.forwardTo = std::move(chosen);
    };
    add(0, std::nullopt);
    add(1, std::vector<int>{3});
    add(2, std::vector<int>{});
    add(3, std::vector<int>{1, 3});
    add(4, std::vector<int>{2});
    add(5, std::nullopt);
    forwarder.take(batch);
    const auto numbersAt = [](QUdpSocket &socket, int count) {
        QList<int> numbers;
        while (numbers.size() < count &&
               (socket.hasPendingDatagrams() || socket.waitForReadyRead(5000))) {
            const QByteArray datagram = socket.receiveDatagram().data();
            numbers << datagram.mid(datagram.lastIndexOf("n ") + 2).trimmed().toInt();
        }
        return numbers;
    };
    QCOMPARE(numbersAt(first, 3), QList<int>({0, 3, 5}));
    QCOMPARE(numbersAt(third, 2), QList<int>({1, 3}));
    forwarder.stop();
    QVERIFY(!first.hasPendingDatagrams() && !third.hasPendingDatagrams());
}

E2E_TEST_MAIN(TestForwarder)
#include "tst_forwarder.moc"
