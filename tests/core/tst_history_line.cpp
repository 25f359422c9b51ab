// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/history_line.h"
#include "core/line_reader.h"
#include "core/log_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvik;

namespace {

DateTime at(const char *text) {
    return *readDateTime(text);
}

// The event a line that passes comes back as, its level and fields joined by
// "|"; "skipped" for a line that does not pass.
QByteArray replayed(const HistoryLineFilter &filter, const QByteArray &line) {
    std::array<std::string_view, 6> fields;
    if (!filter.accept(std::string_view(line.constData(), std::size_t(line.size())), fields))
        return "skipped";
    const Event event = replayedEvent(fields);
    QByteArray shown(event.level->name.data(), qsizetype(event.level->name.size()));
    for (const std::string *field : event.fields())
        shown += '|' + QByteArray::fromStdString(*field);
    return shown;
}

const HistoryFilter kMay2014{at("12.5.14"), at("12.5.14 12:41:00"), {}};

} // namespace

class TestHistoryLine : public QObject {
    Q_OBJECT

private slots:
    void accept_data();
    void accept();
    void replayedAsLogged();
    void dateFilter();
    void search();
    void wideSearch();
    void readLines();
    void readErrors();
};

void TestHistoryLine::accept_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("event");
    QTest::newRow("message with ;")
        << QByteArray("Warning;12.05.2014 12:40:25;host7;backup;disk1;space low; 80 %")
        << QByteArray("Warning|12.05.2014 12:40:25|host7|backup|disk1|space low; 80 %");
    QTest::newRow("Unknown comes back as a trap")
        << QByteArray("Unknown;12.05.2014 12:41:00;host7;;;text")
        << QByteArray("Trap|12.05.2014 12:41:00|host7|||text");
    QTest::newRow("Trap stays a trap")
        << QByteArray("Trap;12.05.2014 12:40:00;host7;snmpd;;cold start")
        << QByteArray("Trap|12.05.2014 12:40:00|host7|snmpd||cold start");
    QTest::newRow("level by the name's first letter")
        << QByteArray("Note;12.05.2014;h;a;o;m") << QByteArray("Note|12.05.2014|h|a|o|m");
    QTest::newRow("short line") << QByteArray("Alert;12.05.2014;h")
                                << QByteArray("Alert|12.05.2014|h|||");
    QTest::newRow("header in the middle")
        << QByteArray("Level;12.05.2014;Processor;Application;Object;Message")
        << QByteArray("skipped");
    QTest::newRow("bounds are inclusive: from") << QByteArray("Note;12.05.2014 00:00:00;h;;;m")
                                                << QByteArray("Note|12.05.2014 00:00:00|h|||m");
    QTest::newRow("bounds are inclusive: to")
        << QByteArray("Note;12.5.14 12:41;h;;;m") << QByteArray("Note|12.5.14 12:41|h|||m");
    QTest::newRow("one second late")
        << QByteArray("Note;12.05.2014 12:41:01;h;;;m") << QByteArray("skipped");
    QTest::newRow("day before") << QByteArray("Note;11.05.2014 23:59:59;h;;;m")
                                << QByteArray("skipped");
    QTest::newRow("unreadable date") << QByteArray("Note;yesterday;h;;;m") << QByteArray("skipped");
    QTest::newRow("no second ;") << QByteArray("Note;12.05.2014") << QByteArray("skipped");
    QTest::newRow("empty line") << QByteArray("") << QByteArray("skipped");
}

void TestHistoryLine::accept() {
    QFETCH(QByteArray, line);
    QTEST(replayed(HistoryLineFilter(kMay2014), line), "event");
}

// The fields come back as logged, also where the intake's rules would change
// them a second time.
void TestHistoryLine::replayedAsLogged() {
    const Event trap =
        replayedEvent(splitLogFields("Trap;09.12.2026 07:54:21;127.0.0.1;;;link_3 down"));
    QCOMPARE(trap.level, &trapLevel());
    QCOMPARE(trap.message, std::string("link_3 down"));
    const Event unknown = replayedEvent(splitLogFields("Unknown;;  h;a $MSG$:b;;"));
    QCOMPARE(unknown.level, &trapLevel());
    QVERIFY(unknown.date.empty()); // not the time of the load
    QCOMPARE(unknown.host, std::string("  h"));
    QCOMPARE(unknown.application, std::string("a $MSG$:b"));
    QVERIFY(unknown.message.empty());
    QCOMPARE(replayedEvent(splitLogFields("Note;d"), false).level, &levelByIndex(6));
    QCOMPARE(replayedEvent(splitLogFields("note;not a date")).date, std::string("not a date"));
    QCOMPARE(replayedEvent(splitLogFields("note;d")).level, &unknownLevel());
    // A line cut for its length: the message ends in an ellipsis, never in
    // half a character.
    QCOMPARE(replayedEvent(splitLogFields("Note;d;h;;;ab\xC3"), true).message,
             std::string("ab\u2026"));
    QCOMPARE(replayedEvent(splitLogFields("Note;d;h;;;\xC3\xA4"), true).message,
             std::string("\xC3\xA4\u2026"));
}

void TestHistoryLine::dateFilter() {
    // A lower bound of the zero date-time switches the date test off.
    const HistoryLineFilter all({DateTime{}, at("1.1.2000"), {}});
    QCOMPARE(replayed(all, "Note;30.12.1899;h;;;m"), QByteArray("Note|30.12.1899|h|||m"));
    QCOMPARE(replayed(all, "Note;not a date;h;;;m"), QByteArray("Note|not a date|h|||m"));
    QCOMPARE(replayed(all, "Note;12.05.2014;h;;;m"), QByteArray("Note|12.05.2014|h|||m"));
    QCOMPARE(replayed(all, "garbage"), QByteArray("Unknown|||||"));
    QCOMPARE(replayed(all, ";;;;;"), QByteArray("Trap|||||"));
    QCOMPARE(replayed(all, ""), QByteArray("skipped"));
}

void TestHistoryLine::search() {
    const QByteArray line = "Warning;12.05.2014 12:40:25;HOST7;backup;disk1;Space low";
    auto finds = [&](const char *search) {
        HistoryFilter filter = kMay2014;
        filter.search = search;
        return HistoryLineFilter(filter).passes(std::string_view(line.constData(), line.size()));
    };
    QVERIFY(finds("SPACE LOW"));
    QVERIFY(finds("host7"));
    QVERIFY(finds("warning;12.05"));
    QVERIFY(finds("low"));
    QVERIFY(finds("W"));
    QVERIFY(!finds("space  low"));
    QVERIFY(!finds("lowx"));
    QVERIFY(!finds("Space low and more than the line holds, by far"));
}

void TestHistoryLine::wideSearch() {
    int asked = 0;
    WideSearch wide = [&](std::string_view line, std::string_view search) {
        ++asked;
        return line.find("\xc3\x84") != std::string_view::npos && search == "\xc3\xa4";
    };
    HistoryLineFilter umlaut({DateTime{}, DateTime{}, "\xc3\xa4"}, wide);
    QVERIFY(umlaut.passes("Note;d;h;;;\xc3\x84rger"));
    HistoryLineFilter ascii({DateTime{}, DateTime{}, "arg"}, wide);
    QVERIFY(ascii.passes("Note;d;h;;;\xc3\x84 ARGer")); // found among the ASCII bytes
    QCOMPARE(asked, 1);
    QVERIFY(!ascii.passes("Note;d;h;;;plain"));
    QCOMPARE(asked, 1); // a pure ASCII line needs no decoding
    QVERIFY(!ascii.passes("Note;d;h;;;\xc3\x84r"));
    QCOMPARE(asked, 2);
    // A byte beyond ASCII anywhere, the line read eight bytes at a time.
    QVERIFY(!ascii.passes("Note;d;h\xe9;;;plain text, more than eight bytes"));
    QVERIFY(!ascii.passes("Note;d;h;;;plain text, more than eight bytes\xe9"));
    QCOMPARE(asked, 4);
}

void TestHistoryLine::readLines() {
    QTemporaryDir dir;
    const QString path = dir.filePath("q.log");
    const QByteArray longLine(int(LineReader::kMaxLine) + 10, 'x');
    const QByteArray fullLine(int(LineReader::kMaxLine), 'y');
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("one\r\ntwo\n\r\n\nlast;no end\r" + QByteArray("\n") + longLine + "\r\n" + fullLine +
               "\r\n" + longLine + "\nend\n" + longLine);
    file.close();

    LineReader reader;
    QVERIFY(reader.open(path.toStdString()));
    QStringList lines;
    while (auto line = reader.next())
        lines << (line->size() > 100 ? QString("%1 %2%3")
                                           .arg(line->front())
                                           .arg(line->size())
                                           .arg(reader.cut() ? " cut" : "")
                                     : QString::fromStdString(std::string(*line)));
    QVERIFY(reader.error().empty());
    // An over-long line is one line, cut; its rest is skipped.
    QCOMPARE(lines, QStringList({"one", "two", "", "", "last;no end", "x 1048576 cut", "y 1048576",
                                 "x 1048576 cut", "end", "x 1048576 cut"}));
    QCOMPARE(reader.position(), reader.size());
}

void TestHistoryLine::readErrors() {
    QTemporaryDir dir;
    LineReader reader;
    QVERIFY(!reader.open(dir.filePath("missing.log").toStdString()));
    QCOMPARE(reader.error(), std::string("No such file or directory"));
    QVERIFY(!reader.open(dir.path().toStdString()));
    QCOMPARE(reader.error(), std::string("Is a directory"));
    QFile empty(dir.filePath("empty.log"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QVERIFY(reader.open(empty.fileName().toStdString()));
    QVERIFY(!reader.next());
    QVERIFY(reader.error().empty());
}

QTEST_APPLESS_MAIN(TestHistoryLine)
#include "tst_history_line.moc"
