// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// [Rules] read into rules: each value, and each value that can't be read
// named in words.

#include "core/rules.h"

#include <QtTest>

using namespace quorvik;

namespace {

Profile profileOf(const char *text) {
    return Profile::parse(text);
}

} // namespace

class TestRules : public QObject {
    Q_OBJECT

private slots:
    void everyKeyRead();
    void badValuesNamed_data();
    void badValuesNamed();
    void writtenAsRead();
    void clearMatchFilledIn_data();
    void clearMatchFilledIn();
};

void TestRules::everyKeyRead() {
    std::vector<std::string> problems;
    const RuleSet rules =
        readRules(profileOf("[Forward]\nTarget1=udp://a:514\nTarget3=tcp://b:514\n"
                            "[Rules]\n"
                            "Name1=Core links\n"
                            "Match1=host:core msg:/link (up|down)/\n"
                            "Level1=E\nShow1=1\nPopup1=0\nNotify1=1\n"
                            "Sound1=/tmp/a.wav\nForward1=1, 3\nCount1=10/60\n"
                            "Stop1=1\nRun1=/usr/bin/ticket \"{host}\"\nSilent1=600\n"
                            "Match4=source:syslog\nSound4=none\nForward4=none\n"
                            "Match7=backup\nShow7=0\n"),
                  problems);
    QCOMPARE(problems, std::vector<std::string>{});
    QCOMPARE(rules.size(), std::size_t(3));
    const Rule &core = rules[0];
    QCOMPARE(core.label(), std::string("Rule 1 (Core links)"));
    QCOMPARE(core.level, &levelByIndex(0));
    QCOMPARE(core.show, std::optional<bool>(true));
    QCOMPARE(core.popup, std::optional<bool>(false));
    QCOMPARE(core.notify, std::optional<bool>(true));
    QCOMPARE(core.sound, std::optional<std::string>("/tmp/a.wav"));
    QCOMPARE(core.forward, std::optional<std::vector<int>>({1, 3}));
    QCOMPARE(core.count, 10);
    QCOMPARE(core.countSeconds, 60);
    QVERIFY(core.stop);
    QCOMPARE(core.run, std::string("/usr/bin/ticket \"{host}\""));
    QCOMPARE(core.silentSeconds, 600);
    const FilterFields link = {"Note", "", "core-1", "a", "o", "Link Down on ge-0/0/1"};
    QVERIFY(core.filter.matches(levelByIndex(6), link));
    QCOMPARE(rules[1].label(), std::string("Rule 4"));
    QCOMPARE(rules[1].sound, std::optional<std::string>(""));
    QCOMPARE(rules[1].forward, std::optional<std::vector<int>>(std::vector<int>{}));
    QVERIFY(!rules[1].stop && !rules[1].level && !rules[1].show && rules[1].count == 0 &&
            rules[1].silentSeconds == 0);
    QCOMPARE(rules[2].number, 7);
    QCOMPARE(rules[2].show, std::optional<bool>(false));
}

void TestRules::badValuesNamed_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("problem");
    QTest::newRow("no match") << "Name2=X\nLevel2=E"
                              << "Rule 2 (X): Match2 is empty: a rule needs a match";
    QTest::newRow("match of nothing") << "Match2=host:"
                                      << "Rule 2: Match2=host:: holds no word to match";
    QTest::newRow("pattern") << "Match2=/(up/"
                             << "Rule 2: Match2=/(up/: /(up/: missing closing parenthesis at "
                                "offset 3";
    QTest::newRow("source") << "Match2=source:snmp"
                            << "Rule 2: Match2=source:snmp: source:snmp: the source is trap, "
                               "syslog, text or quorvik";
    QTest::newRow("level") << "Match2=x\nLevel2=X"
                           << "Rule 2: Level2=X: the level is one of E, P, C, A, W, I, N";
    QTest::newRow("switch") << "Match2=x\nShow2=no"
                            << "Rule 2: Show2=no: 1 or 0";
    QTest::newRow("stop") << "Match2=x\nStop2=2"
                          << "Rule 2: Stop2=2: 1 or 0";
    QTest::newRow("target missing") << "Match2=x\nForward2=1,2"
                                    << "Rule 2: Forward2=1,2: [Forward] has no Target2";
    QTest::newRow("target list") << "Match2=x\nForward2=1;3"
                                 << "Rule 2: Forward2=1;3: target numbers separated by commas "
                                    "(1,3), or none";
    QTest::newRow("count") << "Match2=x\nCount2=10"
                           << "Rule 2: Count2=10: events/seconds, e.g. 10/60: the 10th "
                              "matching event within 60 seconds";
    QTest::newRow("count zero") << "Match2=x\nCount2=0/60"
                                << "Rule 2: Count2=0/60: events/seconds, e.g. 10/60: the 10th "
                                   "matching event within 60 seconds";
    QTest::newRow("silent") << "Match2=x\nSilent2=10m"
                            << "Rule 2: Silent2=10m: seconds from 1 to 2592000 (30 days), e.g. "
                               "600: silent after 10 minutes";
    QTest::newRow("unknown key") << "Match2=x\nLevl2=E"
                                 << "[Rules] Levl2: not a key of a rule (NameN, MatchN, LevelN, "
                                    "ShowN, PopupN, NotifyN, SoundN, ForwardN, CountN, StopN, "
                                    "RunN, FoldN, ClearsN, SilentN)";
    QTest::newRow("fold") << "Match2=x\nFold2=0"
                          << "Rule 2: Fold2=0: seconds from 1 to 604800: repeats within them "
                             "fold into one row";
    QTest::newRow("clears pattern") << "Match2=x\nClears2=msg:/(down/"
                                    << "Rule 2: Clears2=msg:/(down/: /(down/: missing closing "
                                       "parenthesis at offset 5";
    QTest::newRow("clears value pattern")
        << "Match2=x\nClears2=msg:\"ifIndex.{msg:/ifIndex\\.(\\d+/}\""
        << "Rule 2: Clears2=msg:\"ifIndex.{msg:/ifIndex\\.(\\d+/}\": /ifIndex\\.(\\d+/: "
           "missing closing parenthesis at offset 13";
    QTest::newRow("clears nothing") << "Match2=x\nClears2=msg:"
                                    << "Rule 2: Clears2=msg:: holds no word to match";
}

// A rule with a value that can't be read is left out whole: half a rule
// could show what it should hide.
void TestRules::badValuesNamed() {
    QFETCH(QString, keys);
    QFETCH(QString, problem);
    std::vector<std::string> problems;
    const RuleSet rules =
        readRules(profileOf(("[Forward]\nTarget1=udp://a:514\n[Rules]\nMatch1=a\n" +
                             keys.toStdString() + "\nMatch3=c\n")
                                .c_str()),
                  problems);
    QCOMPARE(problems, std::vector<std::string>{problem.toStdString()});
    QCOMPARE(rules.size(), std::size_t(keys.contains("Levl") ? 3 : 2));
    QCOMPARE(rules.front().number, 1);
    QCOMPARE(rules.back().number, 3);
}

void TestRules::writtenAsRead() {
    Profile profile = profileOf("[Rules]\r\nMatch1=a\r\nMatch2=b\r\nShow2=0\r\nMatch5=e\r\n"
                                "Run5=/bin/true\r\n[Other]\r\nKey=1\r\n");
    std::vector<RuleText> texts = ruleTextsFromProfile(profile);
    QCOMPARE(texts.size(), std::size_t(3));
    std::swap(texts[0], texts[2]);
    texts.pop_back();
    texts[1].show.clear();
    texts[1].level = "W";
    writeRuleTexts(profile, texts);
    QCOMPARE(profile.text(), std::string("[Rules]\r\nMatch1=e\r\nMatch2=b\r\nRun1=/bin/true\r\n"
                                         "Level2=W\r\n[Other]\r\nKey=1\r\n"));
}

void TestRules::clearMatchFilledIn_data() {
    QTest::addColumn<QString>("clears");
    QTest::addColumn<QString>("filled"); // empty: the event clears nothing
    QTest::newRow("phrase, the index read from the message")
        << "msg:IF-MIB::linkDown msg:\"ifIndex.{msg:/ifIndex\\.(\\d+)/}=\""
        << "msg:IF-MIB::linkDown msg:\"ifIndex.2=\"";
    QTest::newRow("bare word") << "host:{host} obj:{obj}"
                               << "host:\"sw \\\"1\" obj:ge-0/0/1";
    QTest::newRow("quote and backslash in a phrase") << "msg:\"{obj} \\\"{msg:/(q.*)$/}\""
                                                     << "msg:\"ge-0/0/1 \\\"q\\\"\\\\\"";
    QTest::newRow("pattern") << "msg:/^{obj}\\b/ level:{level}"
                             << "msg:/^ge\\-0\\/0\\/1\\b/ level:Trap";
    QTest::newRow("whole match without a group") << "{msg:/if\\w+/}"
                                                 << "ifIndex";
    QTest::newRow("count of a pattern stays") << "msg:/x{2}/ {app}"
                                              << "msg:/x{2}/ ";
    QTest::newRow("finds nothing") << "msg:{msg:/ifIndex\\.(9+)/}"
                                   << "";
}

// The clearing event's values in the match stay what was received wherever
// they stand: a value never ends a phrase or a pattern, nor adds a word.
void TestRules::clearMatchFilledIn() {
    QFETCH(QString, clears);
    QFETCH(QString, filled);
    std::string problem;
    const std::optional<ClearMatch> match = ClearMatch::read(clears.toStdString(), problem);
    QCOMPARE(problem, std::string());
    QVERIFY(match);
    Event up;
    up.level = &trapLevel();
    up.host = "sw \"1";
    up.object = "ge-0/0/1";
    up.message = "IF-MIB::linkUp ifIndex.2=2 q\"\\";
    const std::optional<std::string> text = match->textFor(up);
    QCOMPARE(text.value_or(""), filled.toStdString());
    if (!text)
        return;
    const EventFilter filter(*text);
    QCOMPARE(filter.problems(), std::vector<std::string>{});
}

QTEST_APPLESS_MAIN(TestRules)
#include "tst_rules.moc"
