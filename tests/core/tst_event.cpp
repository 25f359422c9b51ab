// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/event.h"

#include <QtTest>

using namespace quorvik;

namespace {

const LocalDateTime kNow{2026, 12, 7, 20, 41, 5};
const QByteArray kGenerated = "07.12.2026 20:41:05";
const QByteArray kSender = "10.0.0.9";

QByteArray bytes(const std::string &text) {
    return QByteArray::fromStdString(text);
}

Event parse(const QByteArray &text) {
    return parseEventMessage(std::string_view(text.constData(), text.size()), kSender.toStdString(),
                             kNow);
}

const QByteArray kMarker("\x06\x08\x2B\x06\x01\x02\x01\x01\x01\x00\x04", 11);

// A trap datagram: some header bytes, the sysDescr marker, `length` as the
// BER length bytes, then `rest`.
QByteArray trap(const QByteArray &length, const QByteArray &rest) {
    return QByteArray("\x30\x2A\x02\x01\x00\x04\x06public", 13) + kMarker + length + rest;
}

} // namespace

class TestEvent : public QObject {
    Q_OBJECT

private slots:
    void fields_data();
    void fields();
    void sysDescr_data();
    void sysDescr();
    void generatedDate_data();
    void generatedDate();
    void levelTagBeyond32K();
    void largeDatagramsParseWhole();
};

void TestEvent::fields_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("level");
    QTest::addColumn<QByteArray>("date");
    QTest::addColumn<QByteArray>("processor");
    QTest::addColumn<QByteArray>("application");
    QTest::addColumn<QByteArray>("object");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("tagged example")
        << QByteArray("trapo$LEVL$:W$HOST$:srv7$SOURCE$:backup$DEVC$:disk_2$MSG$:quota reached")
        << QByteArray("Warning") << kGenerated << QByteArray("srv7") << QByteArray("backup")
        << QByteArray("disk 2") << QByteArray("quota reached");
    QTest::newRow("no tag at all is a trap")
        << QByteArray("just text") << QByteArray("Trap") << kGenerated << kSender << QByteArray()
        << QByteArray() << QByteArray();
    QTest::newRow("level tag ends the text")
        << QByteArray("$MSG$:m$LEVL$:") << QByteArray("Unknown") << kGenerated << kSender
        << QByteArray() << QByteArray() << QByteArray("m$LEVL$:");
    QTest::newRow("lower-case letter")
        << QByteArray("$LEVL$:e") << QByteArray("Unknown") << kGenerated << kSender << QByteArray()
        << QByteArray() << QByteArray();
    QTest::newRow("letter X") << QByteArray("$LEVL$:X$MSG$:m") << QByteArray("Trap") << kGenerated
                              << kSender << QByteArray() << QByteArray() << QByteArray("m");
    QTest::newRow("only one letter read")
        << QByteArray("$LEVL$:Emergency$MSG$:m") << QByteArray("Emergency") << kGenerated << kSender
        << QByteArray() << QByteArray() << QByteArray("m");
    QTest::newRow("first level tag counts")
        << QByteArray("$LEVL$:N$LEVL$:E") << QByteArray("Note") << kGenerated << kSender
        << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("tag twice") << QByteArray("$MSG$:a$MSG$:b") << QByteArray("Trap") << kGenerated
                               << kSender << QByteArray() << QByteArray() << QByteArray("a");
    QTest::newRow("level tag after a field")
        << QByteArray("$MSG$:hello $LEVL$:E") << QByteArray("Emergency") << kGenerated << kSender
        << QByteArray() << QByteArray() << QByteArray("hello $LEVL$:E");
    QTest::newRow("level tag inside a field")
        << QByteArray("$HOST$:h $LEVL$:C x$MSG$:m") << QByteArray("Critical") << kGenerated
        << QByteArray("h $LEVL$:C x") << QByteArray() << QByteArray() << QByteArray("m");
    QTest::newRow("blanks kept without cut")
        << QByteArray("$MSG$:  hi") << QByteArray("Trap") << kGenerated << kSender << QByteArray()
        << QByteArray() << QByteArray("  hi");
    QTest::newRow("blanks go after underscore")
        << QByteArray("$MSG$:  hi_there") << QByteArray("Trap") << kGenerated << kSender
        << QByteArray() << QByteArray() << QByteArray("hi there");
    QTest::newRow("blanks go after cut")
        << QByteArray("$MSG$:  hi $HOST$:h") << QByteArray("Trap") << kGenerated << QByteArray("h")
        << QByteArray() << QByteArray() << QByteArray("hi ");
    QTest::newRow("leading underscore")
        << QByteArray("$DEVC$:_x_") << QByteArray("Trap") << kGenerated << kSender << QByteArray()
        << QByteArray("x ") << QByteArray();
    QTest::newRow("tabs and line breaks stay")
        << QByteArray("$MSG$:\tline\r\n") << QByteArray("Trap") << kGenerated << kSender
        << QByteArray() << QByteArray() << QByteArray("\tline\r\n");
    QTest::newRow("empty date is generated")
        << QByteArray("$DATE$:$HOST$:x") << QByteArray("Trap") << kGenerated << QByteArray("x")
        << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("blank host gives sender")
        << QByteArray("$HOST$:   $MSG$:m") << QByteArray("Trap") << kGenerated << kSender
        << QByteArray() << QByteArray() << QByteArray("m");
    QTest::newRow("sent date and any order")
        << QByteArray("$LEVL$:I$MSG$:m$SOURCE$:app$DATE$:01.02.2025 10:00:00$DEVC$:o")
        << QByteArray("Information") << QByteArray("01.02.2025 10:00:00") << kSender
        << QByteArray("app") << QByteArray("o") << QByteArray("m");
    QTest::newRow("cut at the earliest tag")
        << QByteArray("$SOURCE$:app$MSG$:m$HOST$:h") << QByteArray("Trap") << kGenerated
        << QByteArray("h") << QByteArray("app") << QByteArray() << QByteArray("m");
    QTest::newRow("semicolons stay")
        << QByteArray("$LEVL$:A$SOURCE$:x;y$MSG$:a;b") << QByteArray("Alert") << kGenerated
        << kSender << QByteArray("x;y") << QByteArray() << QByteArray("a;b");
    QTest::newRow("zero bytes are characters")
        << QByteArray("\0$LEVL$:P$MSG$:a\0b$HOST$:h\0", 27) << QByteArray("Panic") << kGenerated
        << QByteArray("h\0", 2) << QByteArray() << QByteArray() << QByteArray("a\0b", 3);
    QTest::newRow("incomplete tag is text")
        << QByteArray("$MSG$:a$HOST$b") << QByteArray("Trap") << kGenerated << kSender
        << QByteArray() << QByteArray() << QByteArray("a$HOST$b");
}

void TestEvent::fields() {
    QFETCH(QByteArray, text);
    const Event record = parse(text);
    QVERIFY(record.level);
    QTEST(QByteArray(record.level->name.data(), record.level->name.size()), "level");
    QTEST(bytes(record.date), "date");
    QTEST(bytes(record.host), "processor");
    QTEST(bytes(record.application), "application");
    QTEST(bytes(record.object), "object");
    QTEST(bytes(record.message), "message");
}

void TestEvent::sysDescr_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("message");
    const QByteArray later("\x30\x0C\x06\x08\x2B\x06\x01\x02\x01\x01\x03\x00", 12);
    const QByteArray v200(200, 'a');
    const QByteArray v300(300, 'b');

    QTest::newRow("short form") << trap("\x05", "hello" + later) << QByteArray("hello");
    QTest::newRow("short form, zero length") << trap(QByteArray(1, '\0'), later) << QByteArray();
    QTest::newRow("long form one byte") << trap("\x81\xC8", v200 + later) << v200;
    QTest::newRow("long form two bytes") << trap("\x82\x01\x2C", v300 + later) << v300;
    QTest::newRow("long form, leading zero digits")
        << trap(QByteArray("\x86\0\0\0\0\0\x05", 7), "hello" + later) << QByteArray("hello");
    QTest::newRow("short form overruns") << trap("\x20", "abc") << QByteArray("abc");
    QTest::newRow("long form overruns") << trap("\x82\xFF\xFF", "abc")
                                        << QByteArray("\xFF\xFF"
                                                      "abc");
    QTest::newRow("long form cut short") << trap("\x82", "\x01") << QByteArray("\x01");
    const QByteArray huge = QByteArray("\x89\x01", 2) + QByteArray(7, '\0') + "\x05";
    QTest::newRow("long form too large") << trap(huge, "hello") << huge.mid(1) + "hello";
    QTest::newRow("indefinite length") << trap("\x80", "abc") << QByteArray("abc");
    QTest::newRow("value taken unchanged")
        << trap("\x0D", QByteArray(" a_b$HOST$:\0c", 13)) << QByteArray(" a_b$HOST$:\0c", 13);
    QTest::newRow("no marker") << QByteArray("\x30\x03\x02\x01\x00", 5) << QByteArray();
    QTest::newRow("marker ends the text") << trap("", "") << QByteArray();
    QTest::newRow("only the length byte") << trap("\x05", "") << QByteArray();
    QTest::newRow("empty message tag uses sysDescr")
        << trap("\x02", "ok") + "$MSG$:" << QByteArray("ok");
    QTest::newRow("message tag wins") << trap("\x02", "ok") + "$MSG$:m" << QByteArray("m");
}

void TestEvent::sysDescr() {
    QFETCH(QByteArray, text);
    QTEST(bytes(parse(text).message), "message");
}

void TestEvent::generatedDate_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("second");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("evening") << 2026 << 12 << 7 << 20 << 41 << 5 << kGenerated;
    QTest::newRow("midnight") << 999 << 1 << 31 << 0 << 0 << 0 << QByteArray("31.01.0999 00:00:00");
    QTest::newRow("noon") << 2025 << 10 << 10 << 12 << 9 << 59 << QByteArray("10.10.2025 12:09:59");
}

void TestEvent::generatedDate() {
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(int, hour);
    QFETCH(int, minute);
    QFETCH(int, second);
    QTEST(bytes(formatGeneratedDate({year, month, day, hour, minute, second})), "text");
}

void TestEvent::levelTagBeyond32K() {
    const QByteArray text = "$MSG$:" + QByteArray(60000, 'x') + "$LEVL$:C";
    const Event record = parse(text);
    QCOMPARE(record.level, &levelByIndex(2));
    QCOMPARE(record.message.size(), std::size_t(60008));
}

void TestEvent::largeDatagramsParseWhole() {
    // Near-misses of every tag keep each search busy over the whole text.
    QByteArray noise;
    while (noise.size() < 60000)
        noise += "$DATE$$HOST$$SOURCE$$DEVC$$MSG$$LEVL$_ ";
    const QByteArray value(60000, 'v');
    const QByteArray big = trap("\x82\xEA\x60", value + "tail");
    QCOMPARE(parse(noise).message.size(), std::size_t(0));
    QCOMPARE(bytes(parse(big).message), value);
}

QTEST_APPLESS_MAIN(TestEvent)
#include "tst_event.moc"
