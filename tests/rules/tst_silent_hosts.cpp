// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Silent hosts through the rules step, on a clock the test sets: one event
// when a host falls silent, one when it speaks again, the state file over a
// restart, the bound of 10,000 hosts, and the state file's errors in words.

#include "rules/rule_walk.h"

#include "core/local_time.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace quorvik;

namespace {

RuleSet rulesOf(const std::string &keys) {
    std::vector<std::string> problems;
    RuleSet rules = readRules(Profile::parse("[Rules]\n" + keys), problems);
    for (const std::string &problem : problems)
        qWarning("%s", problem.c_str());
    return problems.empty() ? rules : RuleSet{};
}

Event eventFrom(const std::string &host, const char *object, std::int64_t receivedAt,
                Source source = Source::Text) {
    Event event = parseEventMessage("$LEVL$:W$HOST$:" + host + "$DEVC$:" + object + "$MSG$:x",
                                    "10.0.0.9", {});
    event.source = source;
    event.receivedAt = receivedAt;
    return event;
}

std::string localDate(std::int64_t at) {
    LocalTimeCache cache;
    return formatGeneratedDate(cache.at(at));
}

// The rules step with its watch, raising into `raised`.
struct Watch {
    std::vector<Event> raised;
    SilentHosts silent;
    RuleWalk walk;

    Watch(const std::string &keys, const std::string &statePath, std::int64_t start)
        : silent([this](Event e) { raised.push_back(std::move(e)); }, {statePath}) {
        silent.load(start);
        walk.setSilentHosts(&silent);
        walk.setRules(rulesOf(keys));
    }
    void hear(std::vector<Event> events) { walk.apply(events); }
    // "C host message" for each event raised since the last call.
    QStringList take() {
        QStringList lines;
        for (const Event &e : std::exchange(raised, {}))
            lines << QStringLiteral("%1 %2 %3/%4: %5")
                         .arg(QChar::fromLatin1(e.level->letter))
                         .arg(QString::fromStdString(e.host), QString::fromStdString(e.application),
                              QString::fromStdString(e.object), QString::fromStdString(e.message));
        return lines;
    }
};

constexpr char kRules[] = "Match1=obj:link\nLevel1=C\nSilent1=60\nMatch2=obj:disk\nSilent2=600\n";

} // namespace

class TestSilentHosts : public QObject {
    Q_OBJECT

private slots:
    void silenceReturnAndRestart();
    void atMostTenThousandHosts();
    void stateFileErrorsInWords();
};

void TestSilentHosts::silenceReturnAndRestart() {
    QTemporaryDir dir;
    const std::string state = dir.filePath(QStringLiteral("quorvik-silent-hosts")).toStdString();
    {
        Watch watch(kRules, state, 1000);
        watch.hear({eventFrom("router", "link", 1000), eventFrom("srv", "disk", 1000),
                    eventFrom("console", "link", 1000, Source::Quorvik)});
        watch.walk.tick(1059);
        QCOMPARE(watch.take(), QStringList());
        watch.walk.tick(1060);
        // At the rule's level; the event's own level (W) is not it.
        QCOMPARE(watch.take(),
                 QStringList("C router quorvik/silent: router silent for 1 minute (last event " +
                             QString::fromStdString(localDate(1000)) + ")"));
        watch.walk.tick(1100);
        QCOMPARE(watch.take(), QStringList()); // said once
        watch.hear({eventFrom("router", "link", 1200)});
        QCOMPARE(watch.take(),
                 QStringList("I router quorvik/silent: router speaks again after 3 minutes "
                             "(last event " +
                             QString::fromStdString(localDate(1000)) + ")"));
        watch.walk.tick(1300); // router silent again; srv, at 600 s, not yet
        QCOMPARE(watch.take().size(), 1);
        QVERIFY(watch.silent.save());
    }
    // The restart: router is still silent; srv gets its whole time from the
    // start, as the copy could not hear it while it was down.
    Watch watch(kRules, state, 5000);
    watch.walk.tick(5599);
    QCOMPARE(watch.take(), QStringList());
    watch.walk.tick(5600);
    QCOMPARE(watch.take(),
             QStringList("W srv quorvik/silent: srv silent for 10 minutes (last event " +
                         QString::fromStdString(localDate(1000)) + ")"));
    watch.hear({eventFrom("router", "link", 5700), eventFrom("fresh", "link", 5700)});
    QCOMPARE(watch.take(), QStringList("I router quorvik/silent: router speaks again after 75 "
                                       "minutes (last event " +
                                       QString::fromStdString(localDate(1200)) + ")"));
    // A rule whose match changed forgets the hosts of the old one.
    watch.walk.setRules(rulesOf("Match1=obj:link\nSilent1=60\nMatch2=obj:disks\nSilent2=600\n"));
    watch.walk.tick(5700);
    QCOMPARE(watch.silent.watched(), std::size_t(2)); // router and fresh
}

// At most 10,000 hosts: a new one takes the place of a silent host, or is
// not watched (said once) while none is silent.
void TestSilentHosts::atMostTenThousandHosts() {
    Watch watch("Match1=obj:link\nSilent1=60\n", {}, 0);
    std::vector<Event> hosts;
    for (int i = 0; i < 10'002; ++i)
        hosts.push_back(eventFrom("h" + std::to_string(i), "link", i < 10'000 ? 0 : 1));
    watch.hear(hosts);
    QCOMPARE(watch.silent.watched(), std::size_t(10'000));
    QCOMPARE(watch.take(),
             QStringList("N h10000 quorvik/silent: Silent hosts: 10000 hosts are watched, as many "
                         "as can be; h10000 and other new hosts are not watched"));
    watch.walk.tick(61);
    QCOMPARE(watch.take().size(), 10'000);
    watch.hear({eventFrom("late", "link", 100)});
    QCOMPARE(watch.silent.watched(), std::size_t(10'000));
    watch.walk.tick(160);
    QCOMPARE(watch.take(), QStringList("W late quorvik/silent: late silent for 1 minute (last "
                                       "event " +
                                       QString::fromStdString(localDate(100)) + ")"));
}

void TestSilentHosts::stateFileErrorsInWords() {
    QTemporaryDir dir;
    const std::string missing = dir.filePath(QStringLiteral("gone/state")).toStdString();
    Watch watch(kRules, missing, 0);
    watch.hear({eventFrom("router", "link", 0)});
    watch.walk.tick(1);
    QCOMPARE(watch.take(), QStringList("N  quorvik/silent: Cannot save the silent hosts in " +
                                       QString::fromStdString(missing) +
                                       ": No such file or directory; a restart will not "
                                       "remember them"));
    watch.hear({eventFrom("srv", "link", 2)});
    watch.walk.tick(3);
    QCOMPARE(watch.take(), QStringList()); // said once while it fails

    const std::string folder = dir.path().toStdString();
    Watch unreadable(kRules, folder, 0);
    QCOMPARE(unreadable.take(),
             QStringList("N  quorvik/silent: Cannot read the silent hosts from " +
                         QString::fromStdString(folder) +
                         ": Is a directory; every host is watched anew"));
}

QTEST_APPLESS_MAIN(TestSilentHosts)
#include "tst_silent_hosts.moc"
