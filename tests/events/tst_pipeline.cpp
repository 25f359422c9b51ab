// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The road without any window: raw batches as a source hands them over, a
// real SNMP decoder, the real log file, and recording sinks for the rest.

#include "events/log_sink.h"
#include "events/pipeline.h"
#include "rules/program_runner.h"
#include "snmp/net_snmp_decoder.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

using namespace quorvik;

namespace {

// What a sink saw, and where in the order of all sinks.
struct Recording : EventSink {
    Recording(QStringList &sinks, QString sinkName) : order(sinks), name(std::move(sinkName)) {}
    void take(const EventBatch &batch) override {
        order << name;
        for (const Event &event : *batch)
            events.push_back(event);
    }
    QStringList &order;
    QString name;
    std::vector<Event> events;
};

// One datagram as net-snmp's snmptrap sends it, caught on a loopback socket.
RawMessage sentBySnmptrap(const QStringList &arguments) {
    QUdpSocket socket;
    if (!socket.bind(QHostAddress::LocalHost, 0))
        return {};
    QStringList all = arguments;
    all.insert(all.indexOf(QStringLiteral("@")),
               QStringLiteral("udp:127.0.0.1:%1").arg(socket.localPort()));
    all.removeAll(QStringLiteral("@"));
    QTemporaryDir state; // net-snmp's persistent files, MIB loading off
    QProcess sender;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MIBS"), QString());
    env.insert(QStringLiteral("SNMP_PERSISTENT_DIR"), state.path());
    env.insert(QStringLiteral("SNMPCONFPATH"), state.path());
    sender.setProcessEnvironment(env);
    sender.start(QStringLiteral("snmptrap"), QStringList{QStringLiteral("-m"), QString()} + all);
    sender.waitForFinished(15000);
    if (!socket.waitForReadyRead(5000))
        return {};
    QByteArray bytes(int(socket.pendingDatagramSize()), '\0');
    QHostAddress from;
    quint16 port = 0;
    socket.readDatagram(bytes.data(), bytes.size(), &from, &port);
    return {bytes.toStdString(), "192.0.2.7", 1'765'000'000, port};
}

} // namespace

class TestPipeline : public QObject {
    Q_OBJECT

private slots:
    void eachSinkGetsItsShareInOrder();
    void programsRunAfterTheLogAndTheirFailuresTakeTheRoad();
};

void TestPipeline::eachSinkGetsItsShareInOrder() {
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("quorvik.log"));
    NetSnmpDecoder trapDecoder(QUORVIK_MIB_DIR);
    std::int64_t steady = 0;
    SnmpEventDecoder snmp(&trapDecoder, [&steady] { return steady; });
    Port162Decoder port162(snmp);

    QStringList order;
    Recording forward(order, QStringLiteral("forward")), views(order, QStringLiteral("views")),
        alerts(order, QStringLiteral("alerts"));
    struct Status : StatusSink {
        IntakeStatus last;
        void showStatus(const IntakeStatus &status) override { last = status; }
    } status;
    LogSink log;
    log.setPath(logPath.toStdString());
    // The real log, its turn recorded.
    struct LogWatch : EventSink {
        LogSink &log;
        QStringList &order;
        LogWatch(LogSink &l, QStringList &o) : log(l), order(o) {}
        void take(const EventBatch &batch) override {
            log.take(batch);
            order << QStringLiteral("log");
        }
    } logWatch(log, order);

    EventPipeline road({&logWatch, &forward, &views, &alerts, &status, nullptr});
    road.setSnmpDecoder(&snmp);
    std::uint64_t lost = 3;
    const int source = road.addSource(&port162, [&lost] { return lost; });

    // A trap whose string holds tags stays a trap from its sender.
    const RawMessage forged =
        sentBySnmptrap({"-v", "2c", "-c", "public", "@", "", "1.3.6.1.6.3.1.1.5.3",
                        "1.3.6.1.2.1.2.2.1.1.2", "i", "2", "1.3.6.1.2.1.31.1.1.1.18.2", "s",
                        "customer-7 $LEVL$:E$HOST$:core-sw1$MSG$:power failure in DC2"});
    QVERIFY(!forged.bytes.empty());
    // A v3 message of a user nobody configured is refused, its reason shown once a minute.
    const RawMessage refused =
        sentBySnmptrap({"-v", "3", "-u", "bob", "-l", "authNoPriv", "-a", "SHA", "-A", "password1",
                        "-e", "0x8000000001020304", "@", "", "1.3.6.1.6.3.1.1.5.4"});
    QVERIFY(!refused.bytes.empty());
    const std::vector<RawMessage> batch{
        {"$LEVL$:W$HOST$:srv7$SOURCE$:backup$DEVC$:disk_2$MSG$:quota", "192.0.2.1", 1'765'000'000,
         4001},
        {"<34>Oct 11 22:14:15 mymachine su: 'su root' failed\n", "192.0.2.2", 1'765'000'000, 4002},
        forged,
        refused,
        refused,
    };
    road.take(source, batch);

    QCOMPARE(order, (QStringList{"log", "forward", "views", "alerts"}));
    QCOMPARE(forward.events.size(), std::size_t(4)); // the second refusal within the minute: none
    QCOMPARE(views.events.size(), std::size_t(4));
    QCOMPARE(alerts.events.size(), std::size_t(4));

    const Event &text = views.events[0];
    QCOMPARE(text.level->name, std::string_view("Warning"));
    QCOMPARE(text.host, std::string("srv7"));
    QCOMPARE(text.source, Source::Text);
    QCOMPARE(text.sender, std::string("192.0.2.1"));
    QCOMPARE(text.senderPort, std::uint16_t(4001));

    const Event &plain = views.events[1];
    QCOMPARE(plain.message, std::string("<34>Oct 11 22:14:15 mymachine su: 'su root' failed"));
    QCOMPARE(plain.host, std::string("192.0.2.2"));

    const Event &trap = views.events[2];
    QCOMPARE(trap.level->name, std::string_view("Trap"));
    QCOMPARE(trap.source, Source::Trap);
    QCOMPARE(trap.host, std::string("192.0.2.7"));
    QVERIFY2(trap.message.find("linkDown") != std::string::npos, trap.message.c_str());
    QVERIFY(trap.message.find("customer-7") != std::string::npos);

    const Event &rejection = views.events[3];
    QCOMPARE(rejection.level->name, std::string_view("Trap"));
    QVERIFY2(rejection.message.starts_with("SNMPv3 message rejected: "), rejection.message.c_str());
    QCOMPARE(status.last.rejected, std::uint64_t(2));
    QCOMPARE(status.last.lost.total(), std::uint64_t(3));
    QVERIFY(status.last.rejections);

    QFile file(logPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 1 + 4 + 1); // header, four events, after the last line end
    QVERIFY(lines[1].startsWith("Warning;"));
    QVERIFY2(lines[3].startsWith("Trap;") && lines[3].contains(";192.0.2.7;;;"), lines[3]);
    QVERIFY(!lines[3].contains("core-sw1;"));

    // Cleared counts start again; an empty batch still brings the status.
    road.clearCounts();
    QCOMPARE(status.last.rejected, std::uint64_t(0));
    QCOMPARE(status.last.lost.total(), std::uint64_t(0));
    lost = 5;
    road.take(source, {});
    QCOMPARE(status.last.lost.total(), std::uint64_t(2));
    QCOMPARE(forward.events.size(), std::size_t(4));
}

void TestPipeline::programsRunAfterTheLogAndTheirFailuresTakeTheRoad() {
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("quorvik.log"));
    const auto program = [&dir](const QString &name, const QByteArray &body) {
        const QString path = dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\n" + body);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    };
    // The log as the program finds it when it runs.
    const QString copy = program(QStringLiteral("copy"), "cp \"$1\" \"$1.seen\"\n");
    const QString fail =
        program(QStringLiteral("fail"), "echo 'no route to tracker' >&2\nexit 3\n");

    QStringList order;
    Recording forward(order, QStringLiteral("forward")), views(order, QStringLiteral("views")),
        alerts(order, QStringLiteral("alerts"));
    LogSink log;
    log.setPath(logPath.toStdString());
    struct Watch : EventSink {
        EventSink &sink;
        QStringList &order;
        QString name;
        Watch(EventSink &s, QStringList &o, QString n) : sink(s), order(o), name(std::move(n)) {}
        void take(const EventBatch &batch) override {
            sink.take(batch);
            order << name;
        }
    } logWatch(log, order, QStringLiteral("log"));
    // Rules 2 and 3 for every event that asks for a ticket.
    struct Tickets : RulesStep {
        void apply(std::vector<Event> &events) override {
            for (Event &event : events)
                if (event.message.find("open ticket") != std::string::npos)
                    event.actions.run = {2, 3};
        }
    } rules;

    EventPipeline *road = nullptr;
    ProgramRunner runner([&road](Event note) { road->takeOwn(std::move(note)); });
    runner.setPrograms(
        {{2, "Copy", parseRunCommand((copy + QLatin1Char(' ') + logPath).toStdString(), "")},
         {3, "Ticket", parseRunCommand(fail.toStdString(), "")}});
    Watch programs(runner, order, QStringLiteral("programs"));
    EventPipeline pipeline({&logWatch, &forward, &views, &alerts, nullptr, nullptr, &programs},
                           &rules);
    road = &pipeline;
    TextDecoder text;
    const int source = pipeline.addSource(&text, {});
    pipeline.take(source, {{"$LEVL$:W$HOST$:ups1$MSG$:on battery, open ticket", "192.0.2.9",
                            1'765'000'000, 4001}});
    QCOMPARE(order, (QStringList{"log", "forward", "programs", "views", "alerts"}));

    // The failure is a Note of quorvik's own, logged, forwarded and shown.
    QTRY_COMPARE_WITH_TIMEOUT(views.events.size(), std::size_t(2), 60'000);
    const Event &note = views.events[1];
    const QString message =
        QStringLiteral("Rule 3 (Ticket): %1 exited with 3: no route to tracker").arg(fail);
    QCOMPARE(QString::fromStdString(note.message), message);
    QCOMPARE(note.level->name, std::string_view("Note"));
    QCOMPARE(note.source, Source::Quorvik);
    QCOMPARE(note.application, std::string("quorvik"));
    QVERIFY(!note.date.empty());
    QCOMPARE(forward.events.size(), std::size_t(2));
    QCOMPARE(alerts.events.size(), std::size_t(2));
    QFile file(logPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 1 + 2 + 1);
    QVERIFY2(lines[2].startsWith("Note;") && lines[2].contains(";quorvik;Rule 3;") &&
                 lines[2].trimmed().endsWith(message.toUtf8()),
             lines[2]);
    // The event was in the log before its program ran.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(logPath + QStringLiteral(".seen")), 60'000);
    QFile seen(logPath + QStringLiteral(".seen"));
    QVERIFY(seen.open(QIODevice::ReadOnly));
    QVERIFY(seen.readAll().contains("on battery, open ticket"));
}

QTEST_GUILESS_MAIN(TestPipeline)
#include "tst_pipeline.moc"
