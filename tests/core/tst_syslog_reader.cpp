// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/acknowledgement.h"
#include "core/date_time.h"
#include "core/syslog_framer.h"
#include "core/syslog_message.h"
#include "core/syslog_parser.h"

#include <QtTest>

#include <cstdlib>
#include <ctime>

using namespace quorvik;

namespace {

constexpr const char *kSender = "192.0.2.9";

LocalDateTime localTime(const QString &text) {
    const auto value = readDateTime(text.toStdString());
    Q_ASSERT(value);
    return partsOf(*value);
}

// The six fields as the log line shows them, '|' between them.
QString fieldsOf(const Event &event) {
    QStringList fields{QString::fromUtf8(event.level->name)};
    for (const std::string *field : event.fields())
        fields << QString::fromUtf8(*field);
    return fields.join(u'|');
}

Event readAt(const QByteArray &message, const QString &received = "10.05.2026 12:00:00") {
    RawMessage receipt;
    receipt.sender = kSender;
    SyslogReader reader;
    return reader.read(message.toStdString(), receipt, localTime(received));
}

std::vector<std::string> framesOf(SyslogFramer &framer, const QList<QByteArray> &writes) {
    std::vector<std::string> frames;
    for (const QByteArray &bytes : writes)
        framer.feed(bytes.toStdString(), frames);
    return frames;
}

} // namespace

class TestSyslogReader : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        ::tzset();
    }
    void messages_data();
    void messages();
    void ownElementComesBackAsItLeft();
    void acknowledgementComesBackAsItLeft();
    void frames_data();
    void frames();
    void framesSplitAnywhere();
    void longFramesCut();
};

void TestSyslogReader::messages_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("fields");
    const QString may = "10.05.2026 12:00:00";
    // Real devices.
    QTest::newRow("cisco seq origin star")
        << QByteArray("<189>29: foo: *Apr 29 13:58:40.411: %SYS-5-CONFIG_I: Configured from "
                      "console by console")
        << may
        << "Information|29.04.2026 13:58:40|foo|%SYS-5-CONFIG_I|local7|Configured from console by "
           "console";
    QTest::newRow("pix year before time")
        << QByteArray("<190>Apr 15 2007 21:28:13: %PIX-6-302014: Teardown TCP connection 1688438 "
                      "for outside:10.0.0.1/80 to inside:10.0.0.2/1234 duration 0:00:00 bytes 0 "
                      "TCP FINs")
        << may
        << "Note|15.04.2007 21:28:13|192.0.2.9|%PIX-6-302014|local7|Teardown TCP connection "
           "1688438 for outside:10.0.0.1/80 to inside:10.0.0.2/1234 duration 0:00:00 bytes 0 TCP "
           "FINs";
    QTest::newRow("junos 5424 nil host")
        << QByteArray("<14>1 2019-04-12T14:29:06.576Z - RT_FLOW - RT_FLOW_SESSION_CLOSE "
                      "[junos@2636.1.1.1.2.129 reason=\"TCP FIN\" source-address=\"10.0.0.1\"] "
                      "session closed TCP FIN")
        << may
        << "Note|12.04.2019 16:29:06|192.0.2.9|RT_FLOW|user|[junos@2636.1.1.1.2.129 "
           "reason=\"TCP FIN\" source-address=\"10.0.0.1\"] session closed TCP FIN";
    QTest::newRow("no hostname, tag with pid")
        << QByteArray("<30>Jun 23 13:17:42 chronyd[1119]: Selected source 192.168.65.1\n") << may
        << "Note|23.06.2026 13:17:42|192.0.2.9|chronyd|daemon|Selected source 192.168.65.1";
    QTest::newRow("no header")
        << QByteArray("<38>User logged into the appliance. User: admin.") << may
        << "Note|10.05.2026 12:00:00|192.0.2.9||auth|User logged into the appliance. User: admin.";
    QTest::newRow("windows 5424 with tabs and bom")
        << QByteArray("<12>1 2026-05-10T09:15:02.123+02:00 WIN-SRV01.corp.local "
                      "Microsoft-Windows-Security-Auditing 4624 - - \xEF\xBB\xBF"
                      "An account was logged on.\tSubject:\tSYSTEM\r\n")
        << may
        << "Warning|10.05.2026 09:15:02|WIN-SRV01.corp.local|Microsoft-Windows-Security-Auditing|"
           "user|An account was logged on.\tSubject:\tSYSTEM";
    QTest::newRow("logger 3164") << QByteArray("<13>May 10 11:59:01 myhost root: hello world")
                                 << may
                                 << "Information|10.05.2026 11:59:01|myhost|root|user|hello world";
    QTest::newRow("5424 with escapes kept as written")
        << QByteArray("<165>1 2003-10-11T22:14:15.003Z mymachine.example.com evntslog - ID47 "
                      "[ex@32473 iut=\"3\" q=\"a\\\"]\\\\\"][b@1 x=\"\"] An event")
        << may
        << "Information|12.10.2003 00:14:15|mymachine.example.com|evntslog|local4|[ex@32473 "
           "iut=\"3\" q=\"a\\\"]\\\\\"][b@1 x=\"\"] An event";
    QTest::newRow("relayed 3164 text keeps no blank")
        << QByteArray("<11>1 2026-05-10T11:00:00+02:00 h backup - - -  disk 2 failed\n") << may
        << "Alert|10.05.2026 11:00:00|h|backup|user|disk 2 failed";
    QTest::newRow("5424 nil values")
        << QByteArray("<15>1 - - - - - -") << may << "Note|10.05.2026 12:00:00|192.0.2.9||user|";
    QTest::newRow("5424 unreadable time") << QByteArray("<11>1 2026-13-45T99:00:00Z h a - - - msg")
                                          << may << "Alert|10.05.2026 12:00:00|h|a|user|msg";
    QTest::newRow("5424 malformed sd is text")
        << QByteArray("<11>1 - h a - - [x@1 a=\"unclosed] msg") << may
        << "Alert|10.05.2026 12:00:00|h|a|user|[x@1 a=\"unclosed] msg";
    QTest::newRow("utc zone, not in sync")
        << QByteArray("<187>.Apr 29 13:58:40 UTC: %LINK-3-UPDOWN: Interface up") << may
        << "Alert|29.04.2026 15:58:40|192.0.2.9|%LINK-3-UPDOWN|local7|Interface up";
    QTest::newRow("numeric zone, year after time")
        << QByteArray("<34>Apr 29 13:58:40 2025 -0300 gw sshd[7]: refused") << may
        << "Critical|29.04.2025 18:58:40|gw|sshd|auth|refused";
    QTest::newRow("unknown zone kept local")
        << QByteArray("<34>Apr 29 13:58:40.123 EST: %SEC-2-X: y") << may
        << "Critical|29.04.2026 13:58:40|192.0.2.9|%SEC-2-X|auth|y";
    QTest::newRow("rfc 3339 in old header")
        << QByteArray("<34>2026-05-10T08:00:00Z mymachine su: 'su root' failed") << may
        << "Critical|10.05.2026 10:00:00|mymachine|su|auth|'su root' failed";
    QTest::newRow("padded day") << QByteArray("<8>May  5 01:02:03 host tag[9]: x") << may
                                << "Emergency|05.05.2026 01:02:03|host|tag|user|x";
    QTest::newRow("no pri") << QByteArray("May 10 11:00:00 host app: x") << may
                            << "Information|10.05.2026 11:00:00|host|app|user|x";
    QTest::newRow("bad pri is text")
        << QByteArray("<999>hello") << may
        << "Information|10.05.2026 12:00:00|192.0.2.9||user|<999>hello";
    QTest::newRow("host without tag") << QByteArray("<9>May 10 11:00:00 host just words") << may
                                      << "Panic|10.05.2026 11:00:00|host||user|just words";
    // The year that puts the date closest to its receipt.
    QTest::newRow("last year's") << QByteArray("<13>Dec 31 23:59:58 h a: x")
                                 << "01.01.2027 00:00:30"
                                 << "Information|31.12.2026 23:59:58|h|a|user|x";
    QTest::newRow("next year's") << QByteArray("<13>Jan  1 00:00:05 h a: x")
                                 << "31.12.2026 23:59:00"
                                 << "Information|01.01.2027 00:00:05|h|a|user|x";
    QTest::newRow("29 february of the leap year")
        << QByteArray("<13>Feb 29 10:00:00 h a: x") << "01.03.2027 00:00:00"
        << "Information|29.02.2028 10:00:00|h|a|user|x";
}

void TestSyslogReader::messages() {
    QFETCH(QByteArray, message);
    QFETCH(QString, received);
    QFETCH(QString, fields);
    const Event event = readAt(message, received);
    QCOMPARE(fieldsOf(event), fields);
    QCOMPARE(event.source, Source::Syslog);
    QVERIFY(!event.relayed);
}

// What forwarding writes reads back as the event it was, marked relayed so
// it is not forwarded again.
void TestSyslogReader::ownElementComesBackAsItLeft() {
    Event sent;
    sent.level = &levelByIndex(2);
    sent.date = "10.05.2026 09:15:02";
    sent.host = "db \"main\" ]1";
    sent.application = "backup\\job";
    sent.object = "disk C:";
    sent.message = "nearly full; 98 %";
    sent.sender = "10.0.0.5";
    SyslogFormatter formatter;
    const std::string line = formatter.format(sent, 1);
    const Event back = readAt(QByteArray::fromStdString(line));
    QVERIFY(back.relayed);
    QCOMPARE(back.level, sent.level);
    for (std::size_t i = 0; i < sent.fields().size(); ++i)
        QCOMPARE(*back.fields()[i], *sent.fields()[i]);

    // Another element beside it stays in front of the text.
    const Event mixed = readAt("<11>1 - h quorvik - - [a@1 x=\"1\"][quorvik@32473 level=\"Note\" "
                               "host=\"src\" application=\"app\" object=\"obj\"] text");
    QCOMPARE(fieldsOf(mixed), "Note|10.05.2026 12:00:00|src|app|obj|[a@1 x=\"1\"] text");
    QVERIFY(mixed.relayed);
}

// An acknowledgement forwarded reads back with the acknowledged event as it
// was named, so that the receiving console finds its rows.
void TestSyslogReader::acknowledgementComesBackAsItLeft() {
    Event taken;
    taken.level = &levelByIndex(4);
    taken.date = "10.05.2026 09:15:02";
    taken.host = "core-router-1";
    taken.application = "IF-MIB";
    taken.object = "link\\Down";
    taken.message = "Interface 2 \"down\" ] now";
    SyslogFormatter formatter;
    const Event sent = acknowledgementEvent(taken, "alice", "new optic ]\"x\"", 0, "console-1");
    QCOMPARE(sent.message,
             std::string("alice acknowledged Warning 10.05.2026 09:15:02, host core-router-1, "
                         "application IF-MIB, object link\\Down: Interface 2 \"down\" ] now. "
                         "Note: new optic ]\"x\""));
    const Event back = readAt(QByteArray::fromStdString(formatter.format(sent, 1)));
    QVERIFY(back.relayed && back.acknowledges);
    QCOMPARE(fieldsOf(back).section(u'|', 2),
             "console-1|quorvik|acknowledged|" + QString::fromStdString(sent.message));
    const Acknowledgement &ack = *back.acknowledges;
    QCOMPARE(QStringList({QString::fromStdString(ack.user), QString::fromStdString(ack.note)}),
             QStringList({"alice", "new optic ]\"x\""}));
    const Event named = acknowledgedEvent(ack);
    QCOMPARE(named.level, taken.level);
    for (std::size_t i = 0; i < taken.fields().size(); ++i)
        QCOMPARE(*named.fields()[i], *taken.fields()[i]);

    // A date that reads as none travels as written; without a note, no note.
    taken.date = "yesterday";
    const Event plain = readAt(QByteArray::fromStdString(
        formatter.format(acknowledgementEvent(taken, "bob", "", 0, "console-1"), 1)));
    QVERIFY(plain.acknowledges);
    QCOMPARE(plain.acknowledges->date, std::string("yesterday"));
    QVERIFY(plain.acknowledges->note.empty());
    QVERIFY(plain.message.find("Note:") == std::string::npos);
    // Only quorvik's own element carries acknowledgements.
    QVERIFY(!readAt("<13>1 - h app - - [x@1 ackUser=\"eve\" ackLevel=\"Note\"] t").acknowledges);
}

void TestSyslogReader::frames_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("frames");
    QTest::newRow("lines, every end") << QByteArray("one\ntwo\r\nthree\0four\n\n\r\n", 23)
                                      << QStringList{"one", "two", "three", "four"};
    QTest::newRow("counted, several in a write")
        << QByteArray("5 <13>a9 <13>b\nc\nd3 xyz") << QStringList{"<13>a", "<13>b\nc\nd", "xyz"};
    QTest::newRow("mixed per frame")
        << QByteArray("3 abc<13>line\n4 defg") << QStringList{"abc", "<13>line", "defg"};
    QTest::newRow("digits that are no length start a line")
        << QByteArray("29: foo: *Apr 29 x\n0 zero\n1234567890 ten digits\n5 ok123")
        << QStringList{"29: foo: *Apr 29 x", "0 zero", "1234567890 ten digits", "ok123"};
}

void TestSyslogReader::frames() {
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, frames);
    SyslogFramer framer;
    QStringList got;
    for (const std::string &frame : framesOf(framer, {stream}))
        got << QString::fromStdString(frame);
    QCOMPARE(got, frames);
    QCOMPARE(framer.cutCount(), 0u);
}

// A frame split across reads at any byte reads as one.
void TestSyslogReader::framesSplitAnywhere() {
    const QByteArray stream("12 <13>counted!<14>line one\r\n7 <15>abc");
    for (int split = 1; split < stream.size(); ++split) {
        SyslogFramer framer;
        const auto frames = framesOf(framer, {stream.left(split), stream.mid(split)});
        QCOMPARE(frames, (std::vector<std::string>{"<13>counted!", "<14>line one", "<15>abc"}));
    }
    // A line the connection ends without its LF still counts.
    SyslogFramer framer;
    auto frames = framesOf(framer, {"<13>last words"});
    QVERIFY(frames.empty());
    framer.finish(frames);
    QCOMPARE(frames, std::vector<std::string>{"<13>last words"});
}

// Over the limit: cut with "…", the rest skipped up to the frame's end, the
// next frame whole; nothing held beyond the limit.
void TestSyslogReader::longFramesCut() {
    const std::string ellipsis = "\xE2\x80\xA6";
    SyslogFramer framer(16);
    const auto frames = framesOf(framer, {"30 0123456789abcdef", "ghijklmnopqrst", "2 ok",
                                          "line-0123456789abcdefghij", "klm\n", "line\n"});
    QCOMPARE(frames, (std::vector<std::string>{"0123456789abc" + ellipsis, "ok",
                                               "line-01234567" + ellipsis, "line"}));
    QCOMPARE(framer.cutCount(), 2u);
    // Never inside a UTF-8 character.
    SyslogFramer utf8(16);
    const auto cut = framesOf(utf8, {"aaaaaaaaaaaa\xC3\xBC\xC3\xBC\xC3\xBC\n"});
    QCOMPARE(cut, std::vector<std::string>{"aaaaaaaaaaaa" + ellipsis});
}

QTEST_GUILESS_MAIN(TestSyslogReader)
#include "tst_syslog_reader.moc"
