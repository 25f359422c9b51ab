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

// The texts of column `column` in the rows the grid shows, top down.
QStringList shownColumn(EventGrid *grid, int column) {
    QStringList texts;
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        texts << grid->model()->index(row, column).data().toString();
    return texts;
}

} // namespace

class RulesTest : public QObject {
    Q_OBJECT

private slots:
    void rulesDecideWhatEachEventDoes();
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
    QCOMPARE(fullListOf(*f.form)->model()->rowCount(), 0);
    QCOMPARE(levelGridOf(*f.form, 3)->model()->rowCount(), 0);

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

QTEST_MAIN(RulesTest)
#include "tst_rules.moc"
