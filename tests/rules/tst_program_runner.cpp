// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The program runner with real programs the test writes: what a program
// receives (no shell ever reads a value), the bounds on running and waiting
// programs, the time limit, and the failure notes with their limit.

#include "rules/program_runner.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <mutex>

using namespace quorvik;

namespace {

// Outcomes of runs can take a while on a loaded machine; this only bounds
// how long a broken runner holds the test up.
constexpr int kPatienceMs = 60'000;

// A program written by the test, in `dir`.
QString writeProgram(const QTemporaryDir &dir, const QString &name, const QByteArray &body) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("#!/bin/sh\n" + body);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

RuleProgram ruleProgram(int rule, const std::string &name, const QString &line) {
    RuleProgram program{rule, name, parseRunCommand(line.toStdString(), "/usr/bin:/bin")};
    if (!program.command.error.empty())
        qFatal("%s", program.command.error.c_str());
    return program;
}

Event eventWith(const std::string &message) {
    Event e;
    e.level = &levelByIndex(4);
    e.date = "10.12.2026 08:00:00";
    e.host = "srv7";
    e.application = "backup";
    e.object = "disk_2";
    e.message = message;
    e.sender = "192.0.2.7";
    e.source = Source::Text;
    e.receivedAt = 1'765'000'000;
    return e;
}

// The notes a runner hands over, from its thread.
struct Notes {
    std::function<void(Event)> sink() {
        return [this](Event e) {
            std::lock_guard lock(mutex);
            events.push_back(std::move(e));
        };
    }
    std::size_t count() {
        std::lock_guard lock(mutex);
        return events.size();
    }
    QStringList messages() {
        std::lock_guard lock(mutex);
        QStringList list;
        for (const Event &e : events)
            list << QString::fromStdString(e.message);
        return list;
    }
    std::mutex mutex;
    std::vector<Event> events;
};

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool idle(const ProgramRunner &runner) {
    return runner.running() == 0 && runner.waiting() == 0;
}

} // namespace

class TestProgramRunner : public QObject {
    Q_OBJECT

private slots:
    void valuesArriveLiteral();
    void boundsHoldWithASlowProgram();
    void timeLimitEndsPrograms();
    void failuresBecomeNotesOnceAMinute();
    void readmeTicketExample();
};

void TestProgramRunner::valuesArriveLiteral() {
    QTemporaryDir programs, records, workDir;
    // Anything a shell would act on lands in the current folder: it must stay empty.
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workDir.path()));
    const QString record =
        writeProgram(programs, QStringLiteral("record"),
                     "cd " + records.path().toUtf8() +
                         " || exit 9\n"
                         "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > argv\n"
                         "env -0 | grep -z '^QUORVIK_' > environment\n"
                         "cat > stdin\n");
    Notes notes;
    {
        ProgramRunner runner(notes.sink());
        runner.setPrograms({ruleProgram(
            2, "Core links",
            record + QStringLiteral(" {host} {app} {obj} '{msg}' --both={host}{msg} {level} "
                                    "\"{source} {rule}\" {sender} {date} {none}"))});
        Event hostile = eventWith("a;b | c\nd 'e' \"f\" `touch tick` {host}");
        hostile.host = "$(touch pwned)";
        hostile.application = "; touch semi";
        hostile.object = "-rf";
        hostile.source = Source::Syslog;
        runner.run(2, hostile);
        runner.run(5, hostile); // no program: nothing runs
        QTRY_VERIFY_WITH_TIMEOUT(idle(runner), kPatienceMs);
    }
    QVERIFY(QDir::setCurrent(before));
    QCOMPARE(notes.messages(), QStringList());
    QCOMPARE(QDir(workDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
    QCOMPARE(QDir(records.path()).entryList(QDir::Files),
             (QStringList{"argv", "environment", "stdin"}));

    const QList<QByteArray> argv = readAll(records.filePath("argv")).split('\0');
    QCOMPARE(argv, (QList<QByteArray>{
                       "$(touch pwned)", "; touch semi", "-rf",
                       "a;b | c\nd 'e' \"f\" `touch tick` {host}",
                       "--both=$(touch pwned)a;b | c\nd 'e' \"f\" `touch tick` {host}", "Warning",
                       "syslog 2", "192.0.2.7", "10.12.2026 08:00:00", "{none}", ""}));
    const QList<QByteArray> environment = readAll(records.filePath("environment")).split('\0');
    for (const char *line :
         {"QUORVIK_APP=; touch semi", "QUORVIK_HOST=$(touch pwned)", "QUORVIK_LEVEL=Warning",
          "QUORVIK_MSG=a;b | c\nd 'e' \"f\" `touch tick` {host}", "QUORVIK_OBJ=-rf",
          "QUORVIK_RULE=2", "QUORVIK_RULE_NAME=Core links", "QUORVIK_SOURCE=syslog",
          "QUORVIK_SENDER=192.0.2.7", "QUORVIK_DATE=10.12.2026 08:00:00",
          "QUORVIK_RECEIVED=1765000000"})
        QVERIFY2(environment.contains(line), line);
    QJsonParseError error{};
    const QJsonObject json =
        QJsonDocument::fromJson(readAll(records.filePath("stdin")), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(json.value("host").toString(), QStringLiteral("$(touch pwned)"));
    QCOMPARE(json.value("msg").toString(),
             QStringLiteral("a;b | c\nd 'e' \"f\" `touch tick` {host}"));
    QCOMPARE(json.value("rule").toInt(), 2);
}

void TestProgramRunner::boundsHoldWithASlowProgram() {
    QTemporaryDir dir;
    const QByteArray path = dir.path().toUtf8();
    // Each run says when it starts and ends, and waits for the gate to open.
    const QString slow = writeProgram(dir, QStringLiteral("slow"),
                                      "echo start >> " + path +
                                          "/runs\n"
                                          "while [ ! -e " +
                                          path +
                                          "/gate ]; do sleep 0.05; done\n"
                                          "echo end >> " +
                                          path + "/runs\n");
    Notes notes;
    ProgramRunnerOptions options;
    options.maxRunning = 2;
    options.maxWaiting = 3;
    ProgramRunner runner(notes.sink(), options);
    QSignalSpy status(&runner, &ProgramRunner::statusChanged);
    runner.setPrograms({ruleProgram(7, "Slow", slow)});
    for (int i = 0; i < 10; ++i)
        runner.run(7, eventWith("event " + std::to_string(i)));
    QCOMPARE(runner.notRun(), 5u);
    QCOMPARE(runner.notRunText(), QStringLiteral("Rule 7 (Slow): 5 not run"));
    QVERIFY(status.wait(kPatienceMs));
    QTRY_COMPARE_WITH_TIMEOUT(readAll(dir.filePath("runs")), QByteArray("start\nstart\n"),
                              kPatienceMs);
    QCOMPARE(runner.running(), 2u);
    QCOMPARE(runner.waiting(), 3u);

    QFile(dir.filePath("gate")).open(QIODevice::WriteOnly);
    QTRY_VERIFY_WITH_TIMEOUT(idle(runner), kPatienceMs);
    const QList<QByteArray> runs = readAll(dir.filePath("runs")).trimmed().split('\n');
    QCOMPARE(runs.count("start"), 5);
    QCOMPARE(runs.count("end"), 5);
    int running = 0, most = 0;
    for (const QByteArray &line : runs) {
        running += line == "start" ? 1 : -1;
        most = std::max(most, running);
    }
    QCOMPARE(most, 2);
    QCOMPARE(notes.messages(), QStringList());

    runner.clearCounts();
    QCOMPARE(runner.notRun(), 0u);
    QCOMPARE(runner.notRunText(), QString());
}

void TestProgramRunner::timeLimitEndsPrograms() {
    QTemporaryDir dir;
    const QString sleeper = writeProgram(dir, QStringLiteral("sleeper"), "exec sleep 600\n");
    // Ignores SIGTERM: only SIGKILL ends it.
    const QString stubborn = writeProgram(dir, QStringLiteral("stubborn"),
                                          "trap '' TERM\necho stubborn >&2\n"
                                          "while :; do sleep 0.1; done\n");
    Notes notes;
    ProgramRunnerOptions options;
    options.timeoutMs = 200;
    options.killAfterMs = 200;
    ProgramRunner runner(notes.sink(), options);
    runner.setPrograms({ruleProgram(1, "", sleeper), ruleProgram(2, "Stubborn", stubborn)});
    runner.run(1, eventWith("one"));
    runner.run(2, eventWith("two"));
    QTRY_COMPARE_WITH_TIMEOUT(notes.count(), 2u, kPatienceMs);
    QTRY_VERIFY_WITH_TIMEOUT(idle(runner), kPatienceMs);
    QStringList messages = notes.messages();
    messages.sort();
    QCOMPARE(messages, (QStringList{
                           QStringLiteral("Rule 1: ") + sleeper +
                               QStringLiteral(" ran longer than 200 ms and was ended"),
                           QStringLiteral("Rule 2 (Stubborn): ") + stubborn +
                               QStringLiteral(" ran longer than 200 ms and was ended: stubborn"),
                       }));
}

void TestProgramRunner::failuresBecomeNotesOnceAMinute() {
    QTemporaryDir dir;
    const QString ticket = writeProgram(
        dir, QStringLiteral("ticket"),
        "cat > /dev/null\nprintf 'no route to tracker\\r\\nsecond line\\n' >&2\nexit 3\n");
    const QString silent = writeProgram(dir, QStringLiteral("silent"), "exit 1\n");
    const QString crash = writeProgram(dir, QStringLiteral("crash"), "kill -SEGV $$\n");
    const QString gone = writeProgram(dir, QStringLiteral("gone"), "exit 0\n");
    const QString fine = writeProgram(dir, QStringLiteral("fine"), "exit 0\n");
    Notes notes;
    ProgramRunnerOptions options;
    std::atomic<std::int64_t> steady = 1000;
    options.steadySeconds = [&steady] { return steady.load(); };
    options.wallClock = [] { return std::int64_t(1'765'000'123); };
    ProgramRunner runner(notes.sink(), options);
    runner.setPrograms({ruleProgram(2, "Core links", ticket), ruleProgram(3, "Silent", silent),
                        ruleProgram(4, "Crash", crash), ruleProgram(5, "Gone", gone),
                        ruleProgram(6, "Fine", fine)});
    QVERIFY(QFile::remove(gone)); // removed after the configuration was read

    for (int i = 0; i < 3; ++i)
        runner.run(2, eventWith("x"));
    for (int rule : {3, 4, 5, 6})
        runner.run(rule, eventWith("x"));
    QTRY_VERIFY_WITH_TIMEOUT(idle(runner), kPatienceMs);
    QStringList messages = notes.messages();
    messages.sort();
    QCOMPARE(messages.size(), 4);
    QCOMPARE(
        messages.at(0),
        QStringLiteral("Rule 2 (Core links): %1 exited with 3: no route to tracker").arg(ticket));
    QCOMPARE(messages.at(1), QStringLiteral("Rule 3 (Silent): %1 exited with 1").arg(silent));
    QCOMPARE(messages.at(2), QStringLiteral("Rule 4 (Crash): %1 was ended by a signal").arg(crash));
    QVERIFY2(messages.at(3).startsWith(
                 QStringLiteral("Rule 5 (Gone): %1 could not be started: ").arg(gone)),
             qPrintable(messages.at(3)));
    {
        std::lock_guard lock(notes.mutex);
        const Event &note = notes.events.front();
        QCOMPARE(note.level->name, "Note");
        QCOMPARE(note.source, Source::Quorvik);
        QCOMPARE(note.application, "quorvik");
        QCOMPARE(note.receivedAt, 1'765'000'123);
        QVERIFY(note.sender.empty());
    }

    // Within the minute rule 2's failures are counted; after it the next says so.
    steady = 1059;
    runner.run(2, eventWith("x"));
    QTRY_VERIFY_WITH_TIMEOUT(idle(runner), kPatienceMs);
    QCOMPARE(notes.count(), 4u);
    steady = 1060;
    runner.run(2, eventWith("x"));
    QTRY_COMPARE_WITH_TIMEOUT(notes.count(), 5u, kPatienceMs);
    QCOMPARE(notes.messages().last(),
             QStringLiteral("Rule 2 (Core links): %1 exited with 3: no route to tracker (and 3 "
                            "more failures since the last note)")
                 .arg(ticket));
}

// The README's ticket script, as written there: its Run line with a
// recording program in the ticket script's place, for the README's event.
void TestProgramRunner::readmeTicketExample() {
    QFile readme(QStringLiteral(QUORVIK_SOURCE_DIR "/README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QByteArray text = readme.readAll();
    const qsizetype section = text.indexOf("### Running a program");
    QVERIFY(section >= 0);
    const qsizetype at = text.indexOf("\nRun2=", section);
    QVERIFY(at >= 0);
    QByteArray run = text.mid(at + 6, text.indexOf('\n', at + 1) - at - 6);
    QVERIFY(run.startsWith("/usr/local/bin/ticket "));
    const qsizetype jsonAt = text.indexOf("`{\"rule\":2", section);
    QVERIFY(jsonAt >= 0);
    const QByteArray json = text.mid(jsonAt + 1, text.indexOf('`', jsonAt + 1) - jsonAt - 1);

    QTemporaryDir dir;
    const QString record =
        writeProgram(dir, QStringLiteral("ticket"),
                     "cd " + dir.path().toUtf8() +
                         " || exit 9\n"
                         "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > argv\ncat > stdin\n");
    run.replace("/usr/local/bin/ticket", QFile::encodeName(record));
    Notes notes;
    {
        ProgramRunner runner(notes.sink());
        runner.setPrograms({ruleProgram(2, "UPS on battery", QString::fromUtf8(run))});
        Event ups =
            parseEventMessage("$LEVL$:W$HOST$:ups1$SOURCE$:upsd$MSG$:on battery; 5 min left",
                              "192.0.2.9", {2026, 12, 10, 8, 0, 0});
        ups.sender = "192.0.2.9";
        ups.receivedAt = 1'765'350'000;
        runner.run(2, ups);
        QTRY_VERIFY_WITH_TIMEOUT(idle(runner), kPatienceMs);
    }
    QCOMPARE(notes.messages(), QStringList());
    QCOMPARE(readAll(dir.filePath("argv")).split('\0'),
             (QList<QByteArray>{"--queue", "facilities", "--title", "ups1: on battery; 5 min left",
                                "--level", "Warning", "--rule", "2", ""}));
    QCOMPARE(QJsonDocument::fromJson(readAll(dir.filePath("stdin"))).object(),
             QJsonDocument::fromJson(json).object());
}

QTEST_GUILESS_MAIN(TestProgramRunner)
#include "tst_program_runner.moc"
