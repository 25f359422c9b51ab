// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The rules in the live copy: the rules of its configuration decide what
// reaches the log, the tables, the popup and the sounds.

#include "form_fixture.h"

#include "alerts/alert_popup.h"
#include "snmp/net_snmp_decoder.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>

#include <atomic>
#include <tuple>

using namespace quorvik;
using namespace quorvik::testing;

namespace {

// The texts of column `column` in the events of the grid's table, top down.
QStringList shownColumn(EventGrid *grid, int column) {
    QStringList texts;
    for (int row = 1; row <= grid->table()->eventCount(); ++row)
        texts << grid->table()->cellText(row, column);
    return texts;
}

// The ini blocks of the README's section `section` ("Rules"), in order, with
// CR LF line ends.
QList<QByteArray> readmeRules(const QByteArray &section = "Rules") {
    QFile file(QStringLiteral(QUORVIK_SOURCE_DIR "/README.md"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray readme = file.readAll();
    const qsizetype begin = readme.indexOf("\n## " + section + "\n");
    const qsizetype sectionEnd = readme.indexOf("\n#", begin + 1);
    QList<QByteArray> blocks;
    for (qsizetype start = readme.indexOf("```ini\n", begin);
         begin >= 0 && start >= 0 && start < sectionEnd;
         start = readme.indexOf("```ini\n", start + 1)) {
        const qsizetype end = readme.indexOf("\n```\n", start);
        blocks << readme.mid(start + 7, end - start - 7).replace("\n", "\r\n") + "\r\n";
    }
    return blocks;
}

// An executable shell script at `path`.
bool writeScript(const QString &path, const QByteArray &content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() &&
           file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                               QFileDevice::ExeOwner);
}

} // namespace

class RulesTest : public QObject {
    Q_OBJECT

private slots:
    void rulesDecideWhatEachEventDoes();
    void readmeExamples();
    void liveCopyRunsTheRulesPrograms();
    void repeatsFoldAndLinkUpClears();
    void stormOnARealSocketIsOneRow();
    void readmeAlarmsWithRealTraps();
};

void RulesTest::rulesDecideWhatEachEventDoes() {
    FormFixture f;
    f.writeConfig("[Global]\r\nPopuplevel=4\r\nIniGrid=1\r\nLogfile=" + f.logPath().toLocal8Bit() +
                  "\r\n[Sound]\r\nS0=/s/emergency.wav\r\nS3=/s/alert.wav\r\n"
                  "[Rules]\r\n"
                  "Name1=Backup chatter\r\nMatch1=app:backup\r\nShow1=0\r\n"
                  "Name2=Core links\r\nMatch2=host:core msg:/link (up|down)/\r\nLevel2=E\r\n"
                  "Sound2=/s/core.wav\r\n"
                  "Match3=msg:quiet\r\nPopup3=0\r\nSound3=none\r\n"
                  "Match4=x\r\nLevel4=Z\r\n");
    f.start();
    QCOMPARE(f.form.session()->ruleProblems(),
             QStringList{"Rule 4: Level4=Z: the level is one of E, P, C, A, W, I, N"});

    f.send("$LEVL$:A$HOST$:srv7$SOURCE$:backup$MSG$:job done");
    f.settle();
    QVERIFY(!shownWindow<AlertPopup>());
    QCOMPARE(fullListOf(*f.form)->table()->eventCount(), 0);
    QCOMPARE(levelGridOf(*f.form, 3)->table()->eventCount(), 0);

    f.send("$LEVL$:N$HOST$:core1$SOURCE$:net$MSG$:Link Down on ge-0/0/1");
    f.settle();
    const AlertPopup *popup = shownWindow<AlertPopup>();
    QVERIFY(popup);
    QCOMPARE(control<QLabel>(popup, "warnstufe")->text(), QStringLiteral("Emergency"));
    QCOMPARE(shownColumn(levelGridOf(*f.form, 0), 4), QStringList{" Link Down on ge-0/0/1"});
    f.alerts.closeAll();

    f.send("$LEVL$:A$HOST$:h$MSG$:quiet please");
    f.settle();
    QVERIFY(!shownWindow<AlertPopup>());
    QCOMPARE(shownColumn(fullListOf(*f.form), 5),
             QStringList({" quiet please", " Link Down on ge-0/0/1"}));
    QCOMPARE(f.sounds.played, QStringList{"/s/core.wav"});

    // Every event is in the log, at the level the rules gave it.
    const QList<QByteArray> lines = f.readFile(f.logPath()).split('\n');
    QStringList logged;
    for (const QByteArray &line : lines)
        if (line.contains(";srv7;") || line.contains(";core1;") || line.contains(";h;"))
            logged << QString::fromLatin1(line.left(line.indexOf(';')));
    QCOMPARE(logged, QStringList({"Alert", "Emergency", "Alert"}));
}

// The README's examples, as written, in the live copy.
void RulesTest::readmeExamples() {
    const QList<QByteArray> examples = readmeRules();
    QCOMPARE(examples.size(), 2);

    FormFixture levelChange;
    levelChange.writeConfig("[Global]\r\nIniGrid=1\r\nLogfile=" +
                            levelChange.logPath().toLocal8Bit() + "\r\n" + examples[0]);
    levelChange.start();
    QCOMPARE(levelChange.form.session()->ruleProblems(), QStringList());
    levelChange.send("$LEVL$:W$HOST$:core-rtr1$MSG$:Interface ge-0/0/1 Link Down");
    levelChange.send("$LEVL$:W$HOST$:edge-rtr1$MSG$:Interface ge-0/0/1 link down");
    levelChange.send("$LEVL$:W$HOST$:core-rtr2$MSG$:fan speed low");
    levelChange.settle();
    QCOMPARE(shownColumn(fullListOf(*levelChange.form), 0),
             QStringList({"Warning", "Warning", "Emergency"}));
    QCOMPARE(shownColumn(levelGridOf(*levelChange.form, 0), 1), QStringList{"core-rtr1"});
    QVERIFY(levelChange.readFile(levelChange.logPath()).contains("Emergency;"));

    FormFixture noise;
    noise.writeConfig("[Global]\r\nIniGrid=1\r\nLogfile=" + noise.logPath().toLocal8Bit() + "\r\n" +
                      examples[1]);
    noise.start();
    QCOMPARE(noise.form.session()->ruleProblems(), QStringList());
    noise.send("$LEVL$:I$HOST$:srv7$SOURCE$:backup$MSG$:copied 120 files");
    noise.send("$LEVL$:E$HOST$:srv7$SOURCE$:backup$MSG$:disk full");
    noise.send("$LEVL$:I$HOST$:srv7$SOURCE$:cron$MSG$:backup started");
    noise.settle();
    QCOMPARE(shownColumn(fullListOf(*noise.form), 5),
             QStringList({" backup started", " disk full"}));
    QVERIFY(noise.readFile(noise.logPath()).contains("copied 120 files"));
}

// A rule's program, started by the live copy's own runner: one argument per
// word whatever the event holds, no shell; a program that fails becomes a
// Note shown in the window.
void RulesTest::liveCopyRunsTheRulesPrograms() {
    FormFixture f;
    const QString script = f.dir.filePath(QStringLiteral("ticket"));
    QVERIFY(writeScript(script, "#!/bin/sh\nprintf '<%s>' \"$@\" > \"$0.out\"\n"));
    const QString failing = f.dir.filePath(QStringLiteral("failing"));
    QVERIFY(writeScript(failing, "#!/bin/sh\necho tracker down >&2\nexit 3\n"));
    f.writeConfig("[Global]\r\nIniGrid=1\r\nLogfile=" + f.logPath().toLocal8Bit() +
                  "\r\n[Rules]\r\nName1=UPS\r\nMatch1=app:upsd\r\nRun1=" + script.toLocal8Bit() +
                  " --title \"{host}: {msg}\" {level}\r\n" +
                  "Name2=Broken\r\nMatch2=app:cron\r\nRun2=" + failing.toLocal8Bit() + "\r\n");
    f.start();
    QCOMPARE(f.form.session()->ruleProblems(), QStringList());

    f.send("$LEVL$:W$HOST$:ups1$SOURCE$:upsd$MSG$:on battery; $(touch pwned) 'x'");
    QTRY_COMPARE(f.readFile(script + QStringLiteral(".out")),
                 QByteArray("<--title><ups1: on battery; $(touch pwned) 'x'><Warning>"));
    QVERIFY(!QFile::exists(QStringLiteral("pwned")));

    f.send("$LEVL$:I$HOST$:srv7$SOURCE$:cron$MSG$:nightly");
    QTRY_VERIFY(f.readFile(f.logPath()).contains("exited with 3: tracker down"));
    f.settle();
    QTRY_COMPARE(shownColumn(fullListOf(*f.form), 4).value(0), QStringLiteral("Rule 2"));
}

// Folding and clearing in the window: a flapping link is one row with its
// count in both tables, also filtered; it alerts once; the copy is its
// newest event's log line; its link-up clears it, and the next link-down is
// a new row; a row the operator deleted does not take repeats.
void RulesTest::repeatsFoldAndLinkUpClears() {
    FormFixture f;
    f.writeConfig("[Global]\r\nPopuplevel=4\r\nIniGrid=1\r\nLogfile=" + f.logPath().toLocal8Bit() +
                  "\r\n[Sound]\r\nS3=/s/alert.wav\r\n[Rules]\r\n"
                  "Match1=msg:IF-MIB::link\r\nFold1=60\r\n"
                  "Match2=msg:IF-MIB::linkUp\r\n"
                  "Clears2=msg:IF-MIB::linkDown msg:\"ifIndex.{msg:/ifIndex\\.(\\d+)/}=\"\r\n"
                  "Match3=msg:\"linkUp ifIndex.9=\"\r\nShow3=0\r\n");
    f.start();
    QCOMPARE(f.form.session()->ruleProblems(), QStringList());
    EventGrid *full = fullListOf(*f.form);
    EventGrid *alerts = levelGridOf(*f.form, 3);
    QAbstractItemModelTester fullTester(full->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester levelTester(alerts->model(),
                                         QAbstractItemModelTester::FailureReportingMode::QtTest);
    const auto take = [&](int index, const char *trap, int at) {
        const std::string text = "$LEVL$:A$DATE$:10.12.2026 10:" + std::to_string(10 + at / 60) +
                                 ':' + std::to_string(10 + at % 60) +
                                 "$HOST$:sw1$MSG$:IF-MIB::" + trap + " ifIndex." +
                                 std::to_string(index) + '=' + std::to_string(index);
        f.form.session()->take({{text, "192.0.2.1", 1'765'361'000 + at}});
    };
    for (int at = 0; at < 40; ++at)
        take(2, "linkDown", at);
    take(3, "linkDown", 40);
    f.settle();
    QCOMPARE(shownColumn(full, 5), QStringList({" IF-MIB::linkDown ifIndex.3=3",
                                                " \u00D740 IF-MIB::linkDown ifIndex.2=2"}));
    QCOMPARE(shownColumn(alerts, 4), QStringList({" IF-MIB::linkDown ifIndex.3=3",
                                                  " \u00D740 IF-MIB::linkDown ifIndex.2=2"}));
    QCOMPARE(full->model()->data(full->model()->index(1, 1), Qt::ToolTipRole).toString(),
             QStringLiteral("40 events, first 10.12.2026 10:10:10, last 10.12.2026 10:10:49"));
    QCOMPARE(f.sounds.played, QStringList({"/s/alert.wav", "/s/alert.wav"}));
    QCOMPARE(f.readFile(f.logPath()).count("IF-MIB::linkDown"), 41);

    // Filtered, the row goes on folding where it is.
    f.form->showFilter(QStringLiteral("ifIndex.2="));
    f.settle();
    take(2, "linkDown", 41);
    f.settle();
    QCOMPARE(full->model()->rowCount(), 1);
    QCOMPARE(full->model()->data(full->model()->index(0, 5)).toString(),
             QStringLiteral(" \u00D741 IF-MIB::linkDown ifIndex.2=2"));
    full->setFocus();
    full->selectRow(0);
    QTest::keyClick(full, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("Alert;10.12.2026 10:10:51;sw1;;;IF-MIB::linkDown ifIndex.2=2\n"));
    f.form->showFilter(QString());

    // The link-up of interface 2 clears interface 2's row only, and the next
    // link-down of it is a new alarm.
    take(2, "linkUp", 42);
    f.settle();
    const auto struck = [&](int row) {
        return full->model()
            ->data(full->model()->index(row, 0), Qt::FontRole)
            .value<QFont>()
            .strikeOut();
    };
    QCOMPARE(shownColumn(full, 5).size(), 3);
    QVERIFY(!struck(0) && !struck(1) && struck(2));
    QCOMPARE(full->model()->data(full->model()->index(2, 0), Qt::ToolTipRole).toString(),
             QStringLiteral("41 events, first 10.12.2026 10:10:10, last 10.12.2026 10:10:51\n"
                            "Cleared at 10.12.2026 10:10:52 by Alert from sw1: IF-MIB::linkUp "
                            "ifIndex.2=2"));
    take(2, "linkDown", 43);
    f.settle();
    QCOMPARE(shownColumn(full, 5).first(), QStringLiteral(" IF-MIB::linkDown ifIndex.2=2"));
    QCOMPARE(f.sounds.played.size(), 4); // the link-up, and the new link-down

    // Interface 3's row deleted from the full list: its repeat is a row of its own.
    full->setFocus();
    full->selectRow(2);
    full->setCurrentIndex(full->model()->index(2, 0));
    QTest::keyClick(full, Qt::Key_Delete);
    f.settle();
    QCOMPARE(shownColumn(full, 5).size(), 3);
    take(3, "linkDown", 44);
    f.settle();
    QCOMPARE(shownColumn(full, 5).first(), QStringLiteral(" IF-MIB::linkDown ifIndex.3=3"));
    QCOMPARE(shownColumn(alerts, 4).filter("ifIndex.3").size(), 2);
    QCOMPARE(f.sounds.played.size(), 4); // a repeat still: no alert

    // A link-up the tables don't show clears all the same.
    take(9, "linkDown", 45);
    take(9, "linkUp", 46);
    f.settle();
    QCOMPARE(shownColumn(full, 5).first(), QStringLiteral(" IF-MIB::linkDown ifIndex.9=9"));
    QVERIFY(struck(0));
}

// A storm of 10,000 identical events on a real socket: one row counting
// 10,000 in both tables, 10,000 log lines, one popup and one sound; another
// message is a row of its own, and so is the repeat that comes after the
// fold's time.
void RulesTest::stormOnARealSocketIsOneRow() {
    FormFixture f;
    f.writeConfig("[Global]\r\nPopuplevel=4\r\nIniGrid=1\r\nLogfile=" + f.logPath().toLocal8Bit() +
                  "\r\n[Sound]\r\nS3=/s/alert.wav\r\n[Rules]\r\nMatch1=host:sw1\r\nFold1=60\r\n");
    std::atomic<std::int64_t> now{1'765'361'000};
    ReceiverOptions options;
    options.wallClock = [&now] { return now.load(); };
    LiveWindow live(f, options);
    EventGrid *full = fullListOf(*live.form);
    QAbstractItemModelTester tester(full->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    const QByteArray storm = "$LEVL$:A$HOST$:sw1$MSG$:IF-MIB::linkDown ifIndex.2=2";
    constexpr int kStorm = 10'000;
    live.sendAll(kStorm, [&](int) { return storm; });
    const auto logged = [&] { return f.readFile(f.logPath()).count("\r\n") - 1; };
    QTRY_COMPARE_WITH_TIMEOUT(logged(), kStorm, 120'000);
    live.form->refreshViews();
    full->table()->flushChanges();
    QCOMPARE(full->table()->eventCount(), 1);
    QCOMPARE(full->table()->cellText(1, 5),
             QStringLiteral(" \u00D710000 IF-MIB::linkDown ifIndex.2=2"));
    QCOMPARE(levelGridOf(*live.form, 3)->table()->eventAt(1).count(), kStorm);
    QCOMPARE(f.sounds.played, QStringList{"/s/alert.wav"});
    QVERIFY(shownWindow<AlertPopup>());

    live.send("$LEVL$:A$HOST$:sw1$MSG$:IF-MIB::linkDown ifIndex.3=3");
    now += 61;
    live.send(storm);
    QTRY_COMPARE_WITH_TIMEOUT(logged(), kStorm + 2, 60'000);
    live.form->refreshViews();
    full->table()->flushChanges();
    QCOMPARE(shownColumn(full, 5),
             QStringList({" IF-MIB::linkDown ifIndex.2=2", " IF-MIB::linkDown ifIndex.3=3",
                          " \u00D710000 IF-MIB::linkDown ifIndex.2=2"}));
    QCOMPARE(f.sounds.played.size(), 3);
}

// The README's alarm examples as written, with net-snmp's traps on a real
// socket: link-down of interfaces 2 and 3 (2 twice), then link-up of 2:
// only 2 is cleared.
void RulesTest::readmeAlarmsWithRealTraps() {
    // Fold, clear, and the silent hosts' rule, which reads beside them.
    const QList<QByteArray> examples = readmeRules("Alarms");
    QCOMPARE(examples.size(), 3);
    if (QStandardPaths::findExecutable(QStringLiteral("snmptrap")).isEmpty())
        QSKIP("needs net-snmp's snmptrap (Debian package snmp)");
    FormFixture f;
    f.writeConfig("[Global]\r\nPopuplevel=0\r\nIniGrid=1\r\nLogfile=" + f.logPath().toLocal8Bit() +
                  "\r\n" + examples[0] + examples[1] + examples[2]);
    NetSnmpDecoder decoder(QUORVIK_MIB_DIR);
    LiveWindow live(f, {}, &decoder);
    QCOMPARE(live.form.session()->ruleProblems(), QStringList());
    EventGrid *full = fullListOf(*live.form);
    const auto trap = [&](const char *oid, int index, int status) {
        QProcess sender;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MIBS"), QString());
        env.insert(QStringLiteral("SNMP_PERSISTENT_DIR"), f.dir.path());
        env.insert(QStringLiteral("SNMPCONFPATH"), f.dir.path());
        sender.setProcessEnvironment(env);
        const QString n = QString::number(index);
        sender.start(QStringLiteral("snmptrap"),
                     {"-m", "", "-v", "2c", "-c", "public",
                      QStringLiteral("127.0.0.1:%1").arg(live.port), "", QString::fromLatin1(oid),
                      "1.3.6.1.2.1.2.2.1.1." + n, "i", n, "1.3.6.1.2.1.2.2.1.7." + n, "i", "1",
                      "1.3.6.1.2.1.2.2.1.8." + n, "i", QString::number(status)});
        QVERIFY(sender.waitForFinished(15'000) && sender.exitCode() == 0);
    };
    const char *const down = "1.3.6.1.6.3.1.1.5.3", *const up = "1.3.6.1.6.3.1.1.5.4";
    int sent = 0;
    for (const auto &[oid, index, status] :
         {std::tuple{down, 2, 2}, {down, 3, 2}, {down, 2, 2}, {up, 2, 1}}) {
        trap(oid, index, status);
        if (QTest::currentTestFailed())
            return;
        ++sent;
        QTRY_COMPARE_WITH_TIMEOUT(f.readFile(f.logPath()).count("\r\n") - 1, sent, 30'000);
        QCoreApplication::processEvents();
    }
    live.form->refreshViews();
    full->table()->flushChanges();
    QCOMPARE(shownColumn(full, 5),
             QStringList({" IF-MIB::linkUp ifIndex.2=2 ifAdminStatus.2=up ifOperStatus.2=up",
                          " IF-MIB::linkDown ifIndex.3=3 ifAdminStatus.3=up ifOperStatus.3=down",
                          " \u00D72 IF-MIB::linkDown ifIndex.2=2 ifAdminStatus.2=up "
                          "ifOperStatus.2=down"}));
    const auto cleared = [&](int row) {
        const RowAlarm *alarm = full->table()->eventAt(row).alarm();
        return alarm && alarm->cleared;
    };
    QVERIFY(!cleared(1) && !cleared(2) && cleared(3));
    QVERIFY(full->table()->eventAt(3).toolTip().contains(
        QStringLiteral("by Trap from 127.0.0.1: IF-MIB::linkUp ifIndex.2=2")));
}

QTEST_MAIN(RulesTest)
#include "tst_rules.moc"
