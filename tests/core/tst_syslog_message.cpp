// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/forward_target.h"
#include "core/syslog_message.h"

#include <QtTest>

#include <cstdlib>
#include <ctime>

using namespace quorvik;

namespace {

Event loggedEvent(const Level &level, const char *date, const char *processor,
                  const char *application, const char *object, const char *message,
                  const char *sender = "192.0.2.7") {
    Event event;
    event.level = &level;
    event.date = date;
    event.host = processor;
    event.application = application;
    event.object = object;
    event.message = message;
    event.sender = sender;
    return event;
}

void useZone(const char *zone) {
    ::setenv("TZ", zone, 1);
    ::tzset();
}

} // namespace

class TestSyslogMessage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useZone("CET-1CEST,M3.5.0,M10.5.0/3"); }
    void severities_data();
    void severities();
    void timestamps_data();
    void timestamps();
    void messages_data();
    void messages();
    void datagramsAndFrames();
    void targetsFromProfile_data();
    void targetsFromProfile();
    void targetsWrittenBack();
    void unreadableTargetsKeptWhenWritten();
};

void TestSyslogMessage::severities_data() {
    QTest::addColumn<QString>("level");
    QTest::addColumn<int>("facility");
    QTest::addColumn<QString>("pri");
    const char *names[] = {"Emergency",   "Panic", "Critical", "Alert",  "Warning",
                           "Information", "Note",  "Trap",     "Unknown"};
    const char *local0[] = {"<128>", "<129>", "<130>", "<131>", "<132>",
                            "<133>", "<134>", "<132>", "<132>"};
    for (int i = 0; i < 9; ++i)
        QTest::newRow(names[i]) << names[i] << 16 << local0[i];
    QTest::newRow("daemon Note") << "Note" << 3 << "<30>";
    QTest::newRow("kern Emergency") << "Emergency" << 0 << "<0>";
}

void TestSyslogMessage::severities() {
    QFETCH(QString, level);
    QFETCH(int, facility);
    QFETCH(QString, pri);
    const Level *found = levelByName(level.toStdString());
    QVERIFY(found);
    SyslogFormatter formatter;
    const std::string text =
        formatter.format(loggedEvent(*found, "07.12.2026 20:41:05", "h", "", "", "m"), facility);
    QCOMPARE(QString::fromStdString(text.substr(0, text.find(">1 ") + 1)), pri);
    QVERIFY(text.find(" quorvik - " + level.toStdString() + " [") != std::string::npos);
}

void TestSyslogMessage::timestamps_data() {
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("expected");
    const QString cet = QStringLiteral("CET-1CEST,M3.5.0,M10.5.0/3");
    QTest::newRow("winter") << cet << "07.12.2026 20:41:05"
                            << "2026-12-07T20:41:05+01:00";
    QTest::newRow("summer") << cet << "07.07.2026 20:41:05"
                            << "2026-07-07T20:41:05+02:00";
    QTest::newRow("short forms") << cet << "7.7.26 8:05"
                                 << "2026-07-07T08:05:00+02:00";
    QTest::newRow("west of UTC") << "EST5"
                                 << "01.02.2026 23:59:59"
                                 << "2026-02-01T23:59:59-05:00";
    QTest::newRow("half hours") << "IST-5:30"
                                << "01.02.2026 00:00:00"
                                << "2026-02-01T00:00:00+05:30";
    QTest::newRow("UTC") << "UTC0"
                         << "29.02.2028 12:00:00"
                         << "2028-02-29T12:00:00Z";
    QTest::newRow("a sender's own text") << cet << "yesterday"
                                         << "-";
    QTest::newRow("a time alone") << cet << "20:41:05"
                                  << "-";
    QTest::newRow("no such day") << cet << "31.04.2026 10:00:00"
                                 << "-";
    // The clock is put forward from 02:00 to 03:00: a clock that was not
    // yet shows 02:30 an hour after 01:30 standard time.
    QTest::newRow("skipped by the clock") << cet << "29.03.2026 02:30:00"
                                          << "2026-03-29T02:30:00+01:00";
    QTest::newRow("after the gap") << cet << "29.03.2026 03:00:00"
                                   << "2026-03-29T03:00:00+02:00";
    QTest::newRow("skipped, west of UTC") << "EST5EDT,M3.2.0,M11.1.0"
                                          << "08.03.2026 02:15:00"
                                          << "2026-03-08T02:15:00-05:00";
}

void TestSyslogMessage::timestamps() {
    QFETCH(QString, zone);
    QFETCH(QString, date);
    QFETCH(QString, expected);
    useZone(zone.toLatin1().constData());
    SyslogFormatter formatter;
    QCOMPARE(QString::fromStdString(formatter.timestamp(date.toStdString())), expected);
    // The offset is kept by the minute: the next minute looks again.
    if (zone.startsWith(QLatin1String("CET")) && expected != QLatin1String("-"))
        QCOMPARE(QString::fromStdString(formatter.timestamp("07.12.2026 20:42:05")),
                 QStringLiteral("2026-12-07T20:42:05+01:00"));
    useZone("CET-1CEST,M3.5.0,M10.5.0/3");
}

void TestSyslogMessage::messages_data() {
    QTest::addColumn<QByteArray>("processor");
    QTest::addColumn<QByteArray>("application");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray head = "<132>1 2026-12-07T20:41:05+01:00 ";
    QTest::newRow("tagged text")
        << QByteArray("srv7") << QByteArray("backup") << QByteArray("quota reached")
        << head + "srv7 quorvik - Warning [quorvik@32473 level=\"Warning\" host=\"srv7\" "
                  "application=\"backup\" object=\"disk_2\" sender=\"192.0.2.7\"] quota reached";
    QTest::newRow("escaped values, message as it is")
        << QByteArray("srv7") << QByteArray("a\"b\\c]d") << QByteArray("x]\"\\y")
        << head + "srv7 quorvik - Warning [quorvik@32473 level=\"Warning\" host=\"srv7\" "
                  "application=\"a\\\"b\\\\c\\]d\" object=\"disk_2\" sender=\"192.0.2.7\"] x]\"\\y";
    QTest::newRow("UTF-8 kept, Latin-1 converted")
        << QByteArray("srv7") << QByteArray("M\xc3\xbcller")
        << QByteArray("Stra\xdf"
                      "e")
        << head + "srv7 quorvik - Warning [quorvik@32473 level=\"Warning\" host=\"srv7\" "
                  "application=\"M\xc3\xbcller\" object=\"disk_2\" sender=\"192.0.2.7\"] "
                  "Stra\xc3\x9f"
                  "e";
    // As the screen shows it: the euro sign and curly quotes of Windows-1252,
    // not C1 control characters.
    QTest::newRow("Windows-1252 as shown")
        << QByteArray("srv7")
        << QByteArray("\x93"
                      "a\x94")
        << QByteArray("\x80 5 \x96 Stra\xdf"
                      "e")
        << head + "srv7 quorvik - Warning [quorvik@32473 level=\"Warning\" host=\"srv7\" "
                  "application=\"\xe2\x80\x9c"
                  "a\xe2\x80\x9d\" object=\"disk_2\" sender=\"192.0.2.7\"] "
                  "\xe2\x82\xac 5 \xe2\x80\x93 Stra\xc3\x9f"
                  "e";
    QTest::newRow("host name: nil value, blanks and non-ASCII")
        << QByteArray() << QByteArray() << QByteArray()
        << head + "- quorvik - Warning [quorvik@32473 level=\"Warning\" host=\"\" "
                  "application=\"\" object=\"disk_2\" sender=\"192.0.2.7\"]";
    QTest::newRow("host name with a blank and an umlaut")
        << QByteArray("my h\xc3\xb6st") << QByteArray() << QByteArray("m")
        << head + "my_h__st quorvik - Warning [quorvik@32473 level=\"Warning\" "
                  "host=\"my h\xc3\xb6st\" application=\"\" object=\"disk_2\" "
                  "sender=\"192.0.2.7\"] m";
}

void TestSyslogMessage::messages() {
    QFETCH(QByteArray, processor);
    QFETCH(QByteArray, application);
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, expected);
    SyslogFormatter formatter;
    Event e = loggedEvent(levelByIndex(4), "07.12.2026 20:41:05", "", "", "disk_2", "");
    e.host = processor.toStdString();
    e.application = application.toStdString();
    e.message = message.toStdString();
    QCOMPARE(QByteArray::fromStdString(formatter.format(e, 16)), expected);
}

void TestSyslogMessage::datagramsAndFrames() {
    const std::string ascii(3000, 'a');
    QCOMPARE(cutForDatagram(ascii).size(), std::size_t(2048));
    QCOMPARE(cutForDatagram("short"), std::string_view("short"));
    // "ü" in bytes 2047 and 2048 goes whole or not at all.
    const std::string straddling = std::string(2047, 'a') + "\xc3\xbc" + "tail";
    QCOMPARE(cutForDatagram(straddling).size(), std::size_t(2047));
    const std::string fits = std::string(2046, 'a') + "\xc3\xbc" + "tail";
    QCOMPARE(cutForDatagram(fits).size(), std::size_t(2048));

    std::string stream;
    appendOctetCounted(stream, "<134>1 - - quorvik - Note [x] m");
    appendOctetCounted(stream, "\xc3\xbc");
    QCOMPARE(stream, std::string("31 <134>1 - - quorvik - Note [x] m2 \xc3\xbc"));
}

void TestSyslogMessage::targetsFromProfile_data() {
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QStringList>("targets"); // url level facility ca
    QTest::addColumn<QStringList>("problems");
    QTest::newRow("none") << QByteArray() << QStringList() << QStringList();
    QTest::newRow("three transports, defaults")
        << QByteArray(
               "Target1=udp://logs.example:514\nTarget2=tcp://10.0.0.1:6514\n"
               "Target3=TLS://[2001:db8::1]:6514\nCA3=/etc/ca.pem\nCert3=c.pem\nKey3=k.pem\n")
        << QStringList{"udp://logs.example:514 0 16 ", "tcp://10.0.0.1:6514 0 16 ",
                       "tls://[2001:db8::1]:6514 0 16 /etc/ca.pem"}
        << QStringList();
    QTest::newRow("level and facility")
        << QByteArray("Target1=tcp://h:1\nLevel1=5\nFacility1=daemon\n"
                      "Target2=udp://h:2\nLevel2=0\nFacility2=23\n")
        << QStringList{"tcp://h:1 5 3 ", "udp://h:2 0 23 "} << QStringList();
    QTest::newRow("bad keys skip their target only")
        << QByteArray("Target1=http://h:1\nTarget2=tcp://h\nTarget3=tcp://h:70000\n"
                      "Target4=udp://h:4\nLevel4=high\nTarget5=udp://h:5\nFacility5=local9\n"
                      "Target6=udp://ok:6\n")
        << QStringList{"udp://ok:6 0 16 "}
        << QStringList{"Target1", "Target2", "Target3", "Level4", "Facility5"};
    QTest::newRow("an empty number is no target, a gap hides none")
        << QByteArray("Target1=\nTarget2=udp://h:2\nTarget4=udp://h:4\nTarget12=udp://h:12\n"
                      "target3=udp://h:3\nTarget05=udp://not:5\nTargets=udp://not:0\n")
        << QStringList{"udp://h:2 0 16 ", "udp://h:3 0 16 ", "udp://h:4 0 16 ", "udp://h:12 0 16 "}
        << QStringList();
}

void TestSyslogMessage::targetsFromProfile() {
    QFETCH(QByteArray, section);
    QFETCH(QStringList, targets);
    QFETCH(QStringList, problems);
    const ForwardTargets read =
        forwardTargetsFromProfile(Profile::parse(("[Forward]\n" + section).toStdString()));
    QStringList got;
    for (const ForwardTarget &t : read.targets)
        got << QString::fromStdString(t.url() + ' ' + std::to_string(t.level) + ' ' +
                                      std::to_string(t.facility) + ' ' + t.caFile);
    QCOMPARE(got, targets);
    QStringList keys;
    for (const std::string &problem : read.problems)
        keys << QString::fromStdString(problem.substr(0, problem.find(':')));
    QCOMPARE(keys, problems);
}

void TestSyslogMessage::targetsWrittenBack() {
    Profile profile =
        Profile::parse("[Global]\nPopuplevel=4\n[Forward]\nTarget1=udp://a:1\n"
                       "Level1=3\nTarget2=tls://b:2\nCA2=ca.pem\nTarget3=tcp://c:3\n");
    std::vector<ForwardTarget> targets = forwardTargetsFromProfile(profile).targets;
    QCOMPARE(targets.size(), std::size_t(3));
    targets.erase(targets.begin()); // the first removed
    targets[1].level = 2;
    targets[1].facility = 4;
    writeForwardTargets(profile, targets);
    const ForwardTargets back = forwardTargetsFromProfile(Profile::parse(profile.text()));
    QVERIFY(back.problems.empty());
    QCOMPARE(back.targets, targets);
    QCOMPARE(profile.value("Forward", "Target3", "gone"), std::string());
    QCOMPARE(profile.value("Forward", "CA2", "gone"), std::string());
    QCOMPARE(profile.value("Global", "Popuplevel"), std::string("4"));
}

// Lines the program can't read stay as they were written, at their
// numbers; the readable targets are numbered around them.
void TestSyslogMessage::unreadableTargetsKeptWhenWritten() {
    const std::string hand = "[Forward]\r\nTarget1=udp://a:1\r\n"
                             "; the old collector, to be fixed\r\n"
                             "Target2=tcp//old-siem:514\r\nLevel2=3\r\n"
                             "Target3=udp://b:3\r\nLevel3=9\r\n"
                             "Target7=tcp://c:7\r\nFacility7=daemon\r\n";
    Profile profile = Profile::parse(hand);
    std::vector<ForwardTarget> targets = forwardTargetsFromProfile(profile).targets;
    QCOMPARE(targets.size(), std::size_t(2)); // 1 and 7
    targets.erase(targets.begin());
    writeForwardTargets(profile, targets);
    QCOMPARE(profile.text(), std::string("[Forward]\r\nTarget1=tcp://c:7\r\n"
                                         "; the old collector, to be fixed\r\n"
                                         "Target2=tcp//old-siem:514\r\nLevel2=3\r\n"
                                         "Target3=udp://b:3\r\nLevel3=9\r\n"
                                         "Target7=\r\nFacility7=\r\n"
                                         "Facility1=daemon\r\n"));

    // The Forward tab's entries: an unreadable one removed on purpose goes,
    // the readable ones fill the numbers free again.
    std::vector<ForwardEntry> entries = forwardEntriesFromProfile(profile);
    QCOMPARE(entries.size(), std::size_t(3));
    QCOMPARE(entries[1].number, std::size_t(2));
    QCOMPARE(entries[1].text, std::string("tcp//old-siem:514"));
    QVERIFY(entries[1].problem.starts_with("Target2: "));
    QVERIFY(entries[2].problem.starts_with("Level3: "));
    entries.erase(entries.begin() + 1);
    entries.push_back({0, *parseTargetUrl("udp://d:4"), {}, {}});
    writeForwardEntries(profile, entries);
    const std::vector<ForwardEntry> back =
        forwardEntriesFromProfile(Profile::parse(profile.text()));
    QCOMPARE(back.size(), std::size_t(3));
    QCOMPARE(back[0].target->url(), std::string("tcp://c:7"));
    QCOMPARE(back[1].target->url(), std::string("udp://d:4"));
    QCOMPARE(back[1].number, std::size_t(2));
    QCOMPARE(back[2].text, std::string("udp://b:3"));
    QCOMPARE(profile.value("Forward", "Level2", "gone"), std::string());
    QCOMPARE(profile.value("Forward", "Level3"), std::string("9"));
}

QTEST_APPLESS_MAIN(TestSyslogMessage)
#include "tst_syslog_message.moc"
