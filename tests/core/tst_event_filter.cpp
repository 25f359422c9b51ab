// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The filter bar's matching rules: a table of queries against one event.

#include "core/event_filter.h"

#include <QtTest>

using namespace quorvik;

namespace {

// A Warning from srv7's backup about disk_2.
const FilterFields kEvent = {"Warning", "07.12.2026 20:41:05",  "srv7", "backup",
                             "disk_2",  "Quota reached on /srv"};

bool passes(const EventFilter &filter, bool withLevel = true) {
    return filter.matches(levelByIndex(4), kEvent, withLevel);
}

} // namespace

class TestEventFilter : public QObject {
    Q_OBJECT

private slots:
    void words_data();
    void words();
    void levelNameOnlyWhereShown();
    void hiddenLevels();
    void wideSearchForWordsBeyondAscii();
    void levelWordsMeanOneLevel();
    void controlsFoundByTheirShownCode();
    void sourcesAndProblems();
    void filterWordQuotesBlanks();
    void filterWordEscapesQuotes();
};

void TestEventFilter::words_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("passes");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("blanks only") << "  \t " << true;
    QTest::newRow("any field, case ignored") << "QUOTA" << true;
    QTest::newRow("in the date") << "20:41" << true;
    QTest::newRow("in the host") << "srv7" << true;
    QTest::newRow("absent") << "full" << false;
    QTest::newRow("all words must match") << "quota srv7" << true;
    QTest::newRow("one word missing") << "quota srv8" << false;
    QTest::newRow("host: in the host") << "host:SRV" << true;
    QTest::newRow("host: not elsewhere") << "host:backup" << false;
    QTest::newRow("app:") << "app:back" << true;
    QTest::newRow("obj:") << "obj:disk_2" << true;
    QTest::newRow("obj: not in the message") << "obj:quota" << false;
    QTest::newRow("msg:") << "msg:/srv" << true;
    QTest::newRow("level:") << "level:warn" << true;
    QTest::newRow("level: other") << "level:note" << false;
    QTest::newRow("level: whole name") << "level:WARNING" << true;
    QTest::newRow("level: letter") << "level:W" << true;
    QTest::newRow("level: letter of another") << "level:E" << false;
    QTest::newRow("level: letter in the name") << "level:a" << false;
    QTest::newRow("level: inside the name") << "level:arn" << false;
    QTest::newRow("level: longer than the name") << "level:warnings" << false;
    QTest::newRow("excluded level letter") << "-level:w" << false;
    QTest::newRow("prefix case ignored") << "HOST:srv7" << true;
    QTest::newRow("unknown prefix is text") << "disk:2" << false;
    QTest::newRow("excluded word present") << "-quota" << false;
    QTest::newRow("excluded word absent") << "-full" << true;
    QTest::newRow("excluded restricted word") << "-host:srv7" << false;
    QTest::newRow("exclusion restricted elsewhere") << "-msg:srv7" << true;
    QTest::newRow("include and exclude") << "srv -backup" << false;
    QTest::newRow("lone minus ignored") << "quota -" << true;
    QTest::newRow("empty prefix ignored") << "host:" << true;
    QTest::newRow("quoted phrase") << "\"quota reached\"" << true;
    QTest::newRow("quoted phrase absent") << "\"reached quota\"" << false;
    QTest::newRow("quoted restricted phrase") << "msg:\"on /srv\"" << true;
    QTest::newRow("longer than the field") << "host:srv7srv7srv7srv7" << false;
    QTest::newRow("match at the end") << "/SRV" << true;
    QTest::newRow("pattern in the message") << "msg:/quota .*srv/" << true;
    QTest::newRow("pattern, case ignored") << "/QUOTA REACHED/" << true;
    QTest::newRow("pattern anchored to its field") << "host:/^srv[0-9]$/" << true;
    QTest::newRow("pattern anchored, no match") << "host:/^srv$/" << false;
    QTest::newRow("pattern restricted elsewhere") << "app:/srv[0-9]/" << false;
    QTest::newRow("pattern with blanks") << "msg:/(full|reached) on/ backup" << true;
    QTest::newRow("pattern with blanks, no match") << "msg:/(full|empty) on/ backup" << false;
    QTest::newRow("excluded pattern") << "-/disk_[0-9]/" << false;
    QTest::newRow("escaped slash in a pattern") << "msg:/on \\/srv/" << true;
    QTest::newRow("slash inside a pattern") << "/on /srv/" << true;
    QTest::newRow("two patterns") << "/srv7/ -/srv8/" << true;
    QTest::newRow("pattern that doesn't compile left out") << "/(quota/ srv7" << true;
    QTest::newRow("unclosed slash is a word") << "/srv quota" << true;
    QTest::newRow("quoted slashes are a word") << "\"/srv/\"" << false;
}

void TestEventFilter::words() {
    QFETCH(QString, query);
    QTEST(passes(EventFilter(query.toStdString())), "passes");
}

void TestEventFilter::levelNameOnlyWhereShown() {
    // A level table shows no level column: its words don't look there.
    const EventFilter filter("warn");
    QVERIFY(passes(filter, true));
    QVERIFY(!passes(filter, false));
    QVERIFY(passes(EventFilter("level:warn"), false));
}

void TestEventFilter::hiddenLevels() {
    EventFilter filter;
    QVERIFY(filter.isEmpty());
    filter.setLevelShown(4, false);
    QVERIFY(!filter.isEmpty());
    QVERIFY(!passes(filter));
    // Trap and Unknown go with the Warning table.
    QVERIFY(!filter.matches(trapLevel(), kEvent));
    QVERIFY(filter.matches(levelByIndex(3), kEvent));
    filter.setLevelShown(4, true);
    QVERIFY(filter.isEmpty());
    QVERIFY(!EventFilter("x").isEmpty());
    QVERIFY(EventFilter("host: -").isEmpty());
}

void TestEventFilter::wideSearchForWordsBeyondAscii() {
    const FilterFields event = {"Note",
                                "",
                                "srv",
                                "app",
                                "",
                                "Gr\xc3\x96\xc3\x9f"
                                "e"};
    QList<QByteArray> asked;
    const WideSearch wide = [&](std::string_view text, std::string_view search) {
        asked << QByteArray(search.data(), qsizetype(search.size()));
        return QString::fromUtf8(text.data(), qsizetype(text.size()))
            .contains(QString::fromUtf8(search.data(), qsizetype(search.size())),
                      Qt::CaseInsensitive);
    };
    QVERIFY(EventFilter("gr\xc3\xb6\xc3\x9f", wide).matches(levelByIndex(6), event));
    QVERIFY(!asked.isEmpty());
    asked.clear();
    // ASCII words never need it.
    QVERIFY(EventFilter("GR", wide).matches(levelByIndex(6), event));
    QVERIFY(asked.isEmpty());
    // Without it, bytes beyond ASCII compare exactly.
    QVERIFY(!EventFilter("gr\xc3\xb6").matches(levelByIndex(6), event));
    QVERIFY(EventFilter("gr\xc3\x96").matches(levelByIndex(6), event));
}

// One letter is a level's letter, more letters the start of its name: never
// a letter or word somewhere in another level's name.
void TestEventFilter::levelWordsMeanOneLevel() {
    const FilterFields event = {"", "d", "h", "a", "o", "m"};
    const auto levelsMeant = [&event](const char *query) {
        QStringList meant;
        const EventFilter filter(query);
        for (const Level *level : {&levelByIndex(0), &levelByIndex(1), &levelByIndex(2),
                                   &levelByIndex(3), &levelByIndex(4), &levelByIndex(5),
                                   &levelByIndex(6), &trapLevel(), &unknownLevel()}) {
            FilterFields fields = event;
            fields[0] = level->name;
            if (filter.matches(*level, fields))
                meant << QString::fromLatin1(level->name.data(), qsizetype(level->name.size()));
        }
        return meant;
    };
    QCOMPARE(levelsMeant("level:E"), QStringList{"Emergency"});
    QCOMPARE(levelsMeant("level:n"), QStringList{"Note"});
    QCOMPARE(levelsMeant("level:X"), QStringList{"Trap"});
    QCOMPARE(levelsMeant("level:alert"), QStringList{"Alert"});
    QCOMPARE(levelsMeant("level:in"), QStringList{"Information"});
    QCOMPARE(levelsMeant("level:Unknown"), QStringList{"Unknown"});
    QCOMPARE(levelsMeant("level:U"), QStringList{});
    QCOMPARE(levelsMeant("-level:E").size(), 8);
}

// A shown control's code finds it: the filter reads the texts as shown.
void TestEventFilter::controlsFoundByTheirShownCode() {
    const FilterFields event = {"Note", "", "h\xE2\x80\xAEx", "app", "o", "line 1\nline 2"};
    const Level &note = levelByIndex(6);
    QVERIFY(EventFilter("[U+202E]").matches(note, event));
    QVERIFY(EventFilter("host:h[u+202e]x").matches(note, event));
    QVERIFY(EventFilter("msg:\"1[U+000A]line\"").matches(note, event));
    QVERIFY(!EventFilter("-[U+202E]").matches(note, event));
    QVERIFY(!EventFilter("[U+000A]").matches(note, {"Note", "", "h", "a", "o", "one line"}));
}

void TestEventFilter::sourcesAndProblems() {
    const auto passesFrom = [](const char *query, Source source) {
        return EventFilter(query).matches(levelByIndex(4), kEvent, true, source);
    };
    QVERIFY(passesFrom("source:trap", Source::Trap));
    QVERIFY(!passesFrom("source:trap", Source::Syslog));
    QVERIFY(passesFrom("SOURCE:Syslog quota", Source::Syslog));
    QVERIFY(passesFrom("source:text", Source::Text));
    QVERIFY(!passesFrom("-source:quorvik", Source::Quorvik));
    QVERIFY(passesFrom("-source:quorvik", Source::Text));
    QVERIFY(EventFilter("source:text").problems().empty());

    // What can't be read is named and left out.
    const EventFilter unknown("source:snmp quota");
    QCOMPARE(unknown.problems(),
             std::vector<std::string>{"source:snmp: the source is trap, syslog, text or quorvik"});
    QVERIFY(unknown.matches(levelByIndex(4), kEvent, true, Source::Trap));
    const EventFilter broken("msg:/link (up|down/ -x");
    QCOMPARE(broken.problems().size(), std::size_t(1));
    QVERIFY2(broken.problems()[0].starts_with("/link (up|down/: missing closing parenthesis"),
             broken.problems()[0].c_str());
    QVERIFY(EventFilter("/srv/ source:").problems().empty());
}

void TestEventFilter::filterWordQuotesBlanks() {
    QCOMPARE(filterWord("host", "srv7"), std::string("host:srv7"));
    QCOMPARE(filterWord("obj", "disk 2"), std::string("obj:\"disk 2\""));
    const FilterFields event = {"Note", "", "srv", "app", "disk 2", "m"};
    QVERIFY(EventFilter(filterWord("obj", "disk 2")).matches(levelByIndex(6), event));
    QVERIFY(!EventFilter(filterWord("obj", "disk 3")).matches(levelByIndex(6), event));
}

// Quotes and backslashes in a value: escaped in the quoted phrase, so the
// word finds the value it was made of, and only that.
void TestEventFilter::filterWordEscapesQuotes() {
    QCOMPARE(filterWord("obj", "disk \"C\" 2"), std::string("obj:\"disk \\\"C\\\" 2\""));
    QCOMPARE(filterWord("host", "a\\b"), std::string("host:a\\b"));
    for (const char *value : {"disk \"C\" 2", "\"quoted\"", "C:\\dir \\\"x", "end\\"}) {
        const FilterFields event = {"Note", "", "h", "a", value, "m"};
        QVERIFY2(EventFilter(filterWord("obj", value)).matches(levelByIndex(6), event), value);
        const FilterFields other = {"Note", "", "h", "a", "disk C 2", "m"};
        QVERIFY2(!EventFilter(filterWord("obj", value)).matches(levelByIndex(6), other), value);
    }
    // Outside quotes a backslash is itself.
    QVERIFY(EventFilter("obj:C:\\dir")
                .matches(levelByIndex(6), {"Note", "", "h", "a", "C:\\dir", "m"}));
}

QTEST_APPLESS_MAIN(TestEventFilter)
#include "tst_event_filter.moc"
