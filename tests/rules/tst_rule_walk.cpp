// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The rules step: order, override, Stop, the level a later rule sees, and
// the count windows, on rules read from configuration text.

#include "rules/rule_walk.h"

#include <QtTest>

using namespace quorvik;

namespace {

RuleSet rulesOf(const QString &keys) {
    std::vector<std::string> problems;
    RuleSet rules = readRules(
        Profile::parse("[Forward]\nTarget1=udp://a:514\nTarget2=udp://b:514\nTarget3=udp://c:514\n"
                       "[Rules]\n" +
                       keys.toStdString()),
        problems);
    for (const std::string &problem : problems)
        qWarning("%s", problem.c_str());
    return problems.empty() ? rules : RuleSet{};
}

Event eventOf(const char *text, std::int64_t receivedAt = 0, Source source = Source::Text) {
    Event event = parseEventMessage(text, "10.0.0.9", {});
    event.source = source;
    event.receivedAt = receivedAt;
    return event;
}

// What the rules made of an event, in one line: its level's letter, then
// only what the rules set.
QString outcome(const Event &event) {
    const EventActions &a = event.actions;
    QStringList parts{QString(QChar::fromLatin1(event.level->letter))};
    if (!a.shown)
        parts << "hidden";
    if (a.popup)
        parts << QStringLiteral("popup=%1").arg(int(*a.popup));
    if (a.notify)
        parts << QStringLiteral("notify=%1").arg(int(*a.notify));
    if (a.sound)
        parts << "sound=" +
                     (a.sound->empty() ? QStringLiteral("none") : QString::fromStdString(*a.sound));
    if (a.forwardTo) {
        QStringList numbers;
        for (const int n : *a.forwardTo)
            numbers << QString::number(n);
        parts << "forward=" + (numbers.isEmpty() ? QStringLiteral("none") : numbers.join(','));
    }
    if (!a.run.empty()) {
        QStringList numbers;
        for (const int n : a.run)
            numbers << QString::number(n);
        parts << "run=" + numbers.join(',');
    }
    if (a.foldSeconds > 0)
        parts << QStringLiteral("fold=%1").arg(a.foldSeconds);
    if (a.repeat)
        parts << "repeat";
    if (a.clears)
        parts << "clears";
    return parts.join(' ');
}

} // namespace

class TestRuleWalk : public QObject {
    Q_OBJECT

private slots:
    void walk_data();
    void walk();
    void countWindows();
    void replacedRulesCountAnew();
    void foldsAndClears();
};

void TestRuleWalk::walk_data() {
    QTest::addColumn<QString>("rules");
    QTest::addColumn<QString>("outcome");
    // Every row walks this event: a Warning from srv7 about link down.
    QTest::newRow("no rules") << ""
                              << "W";
    QTest::newRow("no match") << "Match1=host:gw1\nLevel1=E"
                              << "W";
    QTest::newRow("level") << "Match1=msg:link\nLevel1=E"
                           << "E";
    QTest::newRow("every action")
        << "Match1=srv7\nLevel1=A\nShow1=0\nPopup1=1\nNotify1=0\nSound1=/s/a.wav\n"
           "Forward1=1,3\nRun1=/bin/true"
        << "A hidden popup=1 notify=0 sound=/s/a.wav forward=1,3 run=1";
    QTest::newRow("later overrides earlier")
        << "Match1=link\nPopup1=1\nSound1=/s/a.wav\nForward1=2\n"
           "Match2=srv7\nPopup2=0\nForward2=none"
        << "W popup=0 sound=/s/a.wav forward=none";
    QTest::newRow("later shows again") << "Match1=link\nShow1=0\nMatch2=srv7\nShow2=1"
                                       << "W";
    QTest::newRow("stop ends the walk") << "Match1=link\nLevel1=C\nStop1=1\nMatch2=link\nLevel2=E"
                                        << "C";
    QTest::newRow("stop of a rule that doesn't match")
        << "Match1=gw1\nStop1=1\nMatch2=link\nLevel2=E"
        << "E";
    QTest::newRow("later rule sees the level set")
        << "Match1=link\nLevel1=E\nMatch2=level:E\nShow2=0"
        << "E hidden";
    QTest::newRow("earlier rule saw the level before")
        << "Match1=level:E\nShow1=0\nMatch2=link\nLevel2=E"
        << "E";
    QTest::newRow("later word sees the new level name")
        << "Match1=link\nLevel1=C\nMatch2=critical\nPopup2=1"
        << "C popup=1";
    QTest::newRow("programs of each rule")
        << "Match1=link\nRun1=/bin/true\nMatch2=srv\nRun2=/bin/false x"
        << "W run=1,2";
    QTest::newRow("source") << "Match1=source:syslog\nLevel1=E\nMatch2=source:text\nLevel2=N"
                            << "N";
    QTest::newRow("pattern") << "Match1=msg:/^link (up|down)$/ -host:/^gw/\nLevel1=P"
                             << "P";
}

void TestRuleWalk::walk() {
    QFETCH(QString, rules);
    RuleWalk step(rulesOf(rules));
    std::vector<Event> events{eventOf("$LEVL$:W$HOST$:srv7$SOURCE$:net$DEVC$:ge0$MSG$:link down")};
    step.apply(events);
    QTEST(outcome(events[0]), "outcome");
}

// CountN=3/60: the 3rd match within 60 s alerts, then the 3rd after it;
// the level applies to every match; the matches between are quiet.
void TestRuleWalk::countWindows() {
    RuleWalk step(rulesOf("Match1=failed\nLevel1=A\nCount1=3/60\nPopup1=1\nRun1=/bin/ticket\n"
                          "Match2=srv9\nSound2=/s/b.wav"));
    std::vector<Event> events;
    for (const std::int64_t at : {0, 10, 20, 30, 40, 50, 200, 230, 260, 300, 318, 318})
        events.push_back(eventOf("$LEVL$:N$HOST$:srv7$MSG$:login failed", 1'000'000 + at));
    events.push_back(eventOf("$LEVL$:N$HOST$:srv9$MSG$:login failed", 1'000'400));
    events.push_back(eventOf("$LEVL$:N$HOST$:srv9$MSG$:login ok", 1'000'401));
    step.apply(events);
    QStringList outcomes;
    for (const Event &event : events)
        outcomes << outcome(event);
    const QString quiet = "A popup=0 notify=0 sound=none";
    const QString alert = "A popup=1 run=1";
    QCOMPARE(outcomes, QStringList({quiet, quiet, alert, // 0, 10, 20
                                    quiet, quiet, alert, // 30, 40, 50
                                    quiet, quiet,        // 200, 230
                                    quiet,               // 260: 200 is 60 s before, out
                                    quiet, alert, quiet, // 300, 318 (260 is 58 s before), 318
                                    // a later rule gives a quiet match its sound
                                    "A popup=0 notify=0 sound=/s/b.wav", "N sound=/s/b.wav"}));
}

// Rules applied anew (the options) count from nothing; the step takes them
// at its next batch.
void TestRuleWalk::replacedRulesCountAnew() {
    RuleWalk step(rulesOf("Match1=x\nCount1=2/60\nPopup1=1"));
    std::vector<Event> first{eventOf("$LEVL$:I$MSG$:x", 5)};
    step.apply(first);
    QCOMPARE(outcome(first[0]), QStringLiteral("I popup=0 notify=0 sound=none"));
    step.setRules(rulesOf("Match1=x\nCount1=2/60\nPopup1=1"));
    std::vector<Event> second{eventOf("$LEVL$:I$MSG$:x", 6), eventOf("$LEVL$:I$MSG$:x", 7)};
    step.apply(second);
    QCOMPARE(outcome(second[0]), QStringLiteral("I popup=0 notify=0 sound=none"));
    QCOMPARE(outcome(second[1]), QStringLiteral("I popup=1"));
    step.setRules({});
    std::vector<Event> third{eventOf("$LEVL$:I$MSG$:x", 8)};
    step.apply(third);
    QCOMPARE(outcome(third[0]), QStringLiteral("I"));
}

// FoldN=60: a repeat within 60 s of the newest one before it is quiet,
// whatever a rule gives it; a host of its own, a gap, a level another rule
// sets or a clearing event in between make it alert again.
void TestRuleWalk::foldsAndClears() {
    RuleWalk step(rulesOf("Match1=link\nFold1=60\nPopup1=1\nRun1=/bin/ticket\n"
                          "Match2=host:srv9\nLevel2=E\n"
                          "Match3=msg:\"link up\"\nClears3=msg:down obj:{obj}\n"
                          "Match4=msg:\"port up\"\nClears4=msg:{msg:/(never)/}"));
    std::vector<Event> events;
    const auto add = [&](const char *host, const char *object, const char *message,
                         std::int64_t at) {
        const std::string text =
            std::string("$LEVL$:W$HOST$:") + host + "$DEVC$:" + object + "$MSG$:" + message;
        events.push_back(eventOf(text.c_str(), 1'000'000 + at));
    };
    add("srv7", "ge0", "link down", 0);
    add("srv7", "ge0", "link down", 10);
    add("srv7", "ge0", "link down", 70); // 60 s after the newest
    add("srv7", "ge0", "link down", 131);
    add("srv8", "ge0", "link down", 132);
    add("srv9", "ge0", "link down", 133); // an Emergency by rule 2
    add("srv9", "ge0", "link down", 134);
    add("srv7", "ge1", "link up", 135);   // clears ge1 only
    add("srv7", "ge0", "link down", 136); // not cleared: still a repeat
    add("srv7", "ge0", "link up", 137);
    add("srv7", "ge0", "link down", 138); // down again after the up
    add("srv8", "ge0", "link down", 139);
    add("srv7", "ge0", "port up", 140); // its value is not found: clears nothing
    step.apply(events);
    QStringList outcomes;
    for (const Event &event : events)
        outcomes << outcome(event);
    const QString first = "W popup=1 run=1 fold=60";
    const QString repeat = "W popup=0 notify=0 sound=none fold=60 repeat";
    QCOMPARE(outcomes,
             QStringList({first, repeat, repeat, first, first, "E popup=1 run=1 fold=60",
                          "E popup=0 notify=0 sound=none fold=60 repeat", first + " clears", repeat,
                          first + " clears", first, repeat, "W"}));
    // The match of a clearing event, its object filled in.
    const Event &up = events[7];
    QVERIFY(up.actions.clears->matches(levelByIndex(4),
                                       {"Warning", "", "srv7", "", "ge1", "link down"}));
    QVERIFY(!up.actions.clears->matches(levelByIndex(4),
                                        {"Warning", "", "srv7", "", "ge0", "link down"}));
}

QTEST_APPLESS_MAIN(TestRuleWalk)
#include "tst_rule_walk.moc"
