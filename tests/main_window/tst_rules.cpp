// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The rules in the live copy: the rules of its configuration decide what
// reaches the log, the tables, the popup and the sounds.

#include "form_fixture.h"

#include "alerts/alert_popup.h"

#include <QLabel>

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

// The [Rules] blocks of the README's "Rules" section, in order.
QList<QByteArray> readmeRules() {
    QFile file(QStringLiteral(QUORVIK_SOURCE_DIR "/README.md"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray readme = file.readAll();
    const qsizetype section = readme.indexOf("\n## Rules\n");
    const qsizetype sectionEnd = readme.indexOf("\n#", section + 1);
    QList<QByteArray> blocks;
    for (qsizetype start = readme.indexOf("```ini\n[Rules]\n", section);
         section >= 0 && start >= 0 && start < sectionEnd;
         start = readme.indexOf("```ini\n[Rules]\n", start + 1)) {
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

QTEST_MAIN(RulesTest)
#include "tst_rules.moc"
