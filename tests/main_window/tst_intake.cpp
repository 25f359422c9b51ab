// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Events entering the real main window: tables, colours, message line, tabs,
// column growth, the log file and the UDP socket.

#include "form_fixture.h"
#include "tests/control.h"

#include "alerts/alert_popup.h"
#include "core/level.h"

#include <QLabel>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QTabWidget>
#include <QUdpSocket>

using namespace quorvik;
using namespace quorvik::testing;

class IntakeTest : public QObject {
    Q_OBJECT

private slots:
    void rowLimitCutsBeforeInsert_data();
    void rowLimitCutsBeforeInsert();
    void trapAndUnknownLandInWarningTable_data();
    void trapAndUnknownLandInWarningTable();
    void fullListRowsTakeConfiguredColours();
    void messageLineShowsNewestMessage();
    void tabFollowsEveryMessage();
    void hiddenTablesCatchUpWhenShown();
    void columnsGrowAndMessageWidthKeepsLargest();
    void emptyProcessorShowsSender();
    void receivedHtmlIsShownLiterally();
    void logLinesAppendedWithCrLf();
    void logFailureReportedOncePerRunOfFailures();
    void loggedEventsHandedOnAfterTheLog();
    void notForwardedCountAndFailingTargetsBesideTheLostCount();
    void notRunCountBesideTheLostCount();
    void historyModeWritesNoLogAndOpensNoPopup();
    void popupAndSoundFollowLevel();
    void socketDrainsEveryDatagram();
    void rejectionsCountedShownAndCleared();
};

namespace {

// Refuses every SNMPv3 message of "bob", stays silent on an engine
// discovery (no user name), names everything else.
class RefusingDecoder : public TrapDecoder {
public:
    Decoded decode(std::string_view datagram) override {
        if (datagram.find("bob") != std::string_view::npos)
            return Decoded{{}, "unknown user \"bob\"", false};
        if (datagram.find("discover") != std::string_view::npos)
            return Decoded{{}, {}, true};
        return Decoded{"IF-MIB::linkDown", {}, false};
    }
    std::optional<std::string> informResponse(std::string_view) override { return {}; }
    void setUsers(const std::vector<SnmpUser> &) override {}
};

// The start of an SNMPv3 message (version 3), then `tail`.
QByteArray v3(const QByteArray &tail) {
    return QByteArray("\x30\x30\x02\x01\x03", 5) + tail;
}

} // namespace

void IntakeTest::rowLimitCutsBeforeInsert_data() {
    QTest::addColumn<int>("rowsBefore");
    QTest::addColumn<int>("rowsAfter");
    QTest::newRow("1001 rows cut to 999, then 1000") << 1001 << 1000;
    QTest::newRow("1000 rows not cut, then 1001") << 1000 << 1001;
    QTest::newRow("few rows grow by one") << 20 << 21;
}

void IntakeTest::rowLimitCutsBeforeInsert() {
    QFETCH(int, rowsBefore);
    QFETCH(int, rowsAfter);
    FormFixture f("[Global]\r\nMaxLines=1000\r\n");
    f.start();
    EventTable *level = levelGridOf(*f.form, 4)->table();
    EventTable *full = fullListOf(*f.form)->table();
    level->setRows(rowsBefore);
    full->setRows(rowsBefore);
    f.send("$LEVL$:W$MSG$:newest");
    QCOMPARE(level->rows(), rowsAfter);
    QCOMPARE(full->rows(), rowsAfter);
    QCOMPARE(level->cellText(1, 4), QStringLiteral(" newest"));
    f.settle();
    QCOMPARE(level->rowCount(), rowsAfter - 1); // the view agrees after the batch
}

void IntakeTest::trapAndUnknownLandInWarningTable_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("X is a trap") << QByteArray("$LEVL$:X$MSG$:t") << "Trap"
                                 << " t";
    QTest::newRow("no level tag is a trap") << QByteArray("$MSG$:t") << "Trap"
                                            << " t";
    QTest::newRow("lower-case letter") << QByteArray("$LEVL$:e$MSG$:t") << "Unknown"
                                       << " t";
    QTest::newRow("tag at the end") << QByteArray("$MSG$:t$LEVL$:") << "Unknown"
                                    << " t$LEVL$:";
}

void IntakeTest::trapAndUnknownLandInWarningTable() {
    QFETCH(QByteArray, text);
    QFETCH(QString, name);
    QFETCH(QString, message);
    FormFixture f;
    f.start();
    f.send(text);
    QCOMPARE(levelGridOf(*f.form, 4)->table()->cellText(1, 4), message);
    QCOMPARE(fullListOf(*f.form)->table()->cellText(1, 0), name);
    QCOMPARE(fullListOf(*f.form)->table()->background(1), std::optional<Colour>(16776960));
    for (int i = 0; i < 7; ++i)
        if (i != 4)
            QVERIFY(levelGridOf(*f.form, i)->table()->eventAt(1).isNull());
}

void IntakeTest::fullListRowsTakeConfiguredColours() {
    FormFixture f("[Color]\r\nC0=&HFF00\r\nC3=*none\r\nC6=oops\r\n");
    f.start();
    f.send("$LEVL$:E$MSG$:a");
    f.send("$LEVL$:A$MSG$:b");
    f.send("$LEVL$:N$MSG$:c");
    EventTable *full = fullListOf(*f.form)->table();
    QCOMPARE(full->background(3), std::optional<Colour>(0xFF00));   // configured
    QCOMPARE(full->background(2), std::optional<Colour>(65535));    // *none: built-in
    QCOMPARE(full->background(1), std::optional<Colour>(14737632)); // not a number: built-in
    // Level tables keep the ordinary background.
    QCOMPARE(levelGridOf(*f.form, 0)->table()->background(1), std::nullopt);
    f.settle();
    const QVariant brush = full->data(full->index(0, 2), Qt::BackgroundRole);
    QCOMPARE(brush.value<QBrush>().color(), QColor(0xE0, 0xE0, 0xE0));
}

void IntakeTest::messageLineShowsNewestMessage() {
    FormFixture f;
    f.start();
    QCOMPARE(f.form->messageLine()->text(), QStringLiteral(" "));
    f.send("$LEVL$:I$MSG$:disk full");
    QCOMPARE(f.form->messageLine()->text(), QStringLiteral("Actual Message: disk full"));
    // A sender can't reorder what is read; the log keeps the bytes.
    f.send("$LEVL$:I$MSG$:\u202Edesrever");
    QCOMPARE(f.form->messageLine()->text(), QStringLiteral("Actual Message: [U+202E]desrever"));
    QVERIFY(f.readFile(f.logPath()).endsWith("\u202Edesrever\r\n"));

    // A start-up notice, longer than the line, stays whole in a box after
    // the next event took the message line.
    const QString notice = QStringLiteral("SNMPv3 user 2 skipped: AuthPass2 is shorter than 8 "
                                          "characters; ") +
                           QString(300, QLatin1Char('x'));
    f.form->showNotice(notice);
    f.send("$LEVL$:I$MSG$:next");
    QCOMPARE(f.form->messageLine()->text(), QStringLiteral("Actual Message: next"));
    QCOMPARE(f.boxes.reports.size(), 1);
    QCOMPARE(f.boxes.reports[0].text, notice);
}

void IntakeTest::tabFollowsEveryMessage() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    f.start();
    const QByteArray letters = "EPCAWINXq";
    const int expected[] = {0, 1, 2, 3, 4, 5, 6, 4, 4};
    for (int k = 0; k < letters.size(); ++k) {
        f.send("$LEVL$:" + letters.mid(k, 1) + "$MSG$:m");
        QCOMPARE(tabStripOf(*f.form)->currentIndex(), expected[k]);
    }
    QVERIFY(fullListOf(*f.form)->isVisible()); // switching tabs keeps the view
}

void IntakeTest::hiddenTablesCatchUpWhenShown() {
    FormFixture f;
    f.start();
    for (int k = 0; k < 30; ++k)
        f.send("$LEVL$:E$MSG$:e" + QByteArray::number(k));
    f.send("$LEVL$:N$MSG$:last");
    auto shows = [](EventTable *table, int row, const QString &text) {
        return table->rowCount() == table->rows() - 1 &&
               table->data(table->index(row, table->messageColumn()), Qt::DisplayRole) == text;
    };
    QVERIFY(shows(levelGridOf(*f.form, 6)->table(), 0, QStringLiteral(" last")));
    tabStripOf(*f.form)->setCurrentIndex(0);
    QVERIFY(shows(levelGridOf(*f.form, 0)->table(), 0, QStringLiteral(" e29")));
    QVERIFY(shows(levelGridOf(*f.form, 0)->table(), 29, QStringLiteral(" e0")));
    f.form->setViewMode(MainWindow::ViewMode::FullList);
    QVERIFY(shows(fullListOf(*f.form)->table(), 0, QStringLiteral(" last")));
}

void IntakeTest::columnsGrowAndMessageWidthKeepsLargest() {
    FormFixture f;
    f.start();
    EventGrid *level = levelGridOf(*f.form, 5);
    EventGrid *full = fullListOf(*f.form);
    const int applicationBefore = level->colWidth(2);
    const int messageBefore = f.form->messageColumnWidth();
    f.send("$LEVL$:I$SOURCE$:" + QByteArray(80, 'a') + "$MSG$:" + QByteArray(300, 'm'));
    QVERIFY(level->colWidth(2) > applicationBefore);
    QCOMPARE(full->colWidth(3), level->colWidth(2));
    QVERIFY(full->colWidth(5) >= level->colWidth(4));
    const int grown = f.form->messageColumnWidth();
    QVERIFY(grown > messageBefore);
    QCOMPARE(grown, full->colWidth(5));
    // A short message shrinks nothing.
    f.send("$LEVL$:I$SOURCE$:b$MSG$:m");
    QCOMPARE(level->colWidth(2) > applicationBefore, true);
    QCOMPARE(f.form->messageColumnWidth(), grown);
    // A narrow window keeps the Message columns at least that wide.
    f.form->resize(200, 200);
    f.form->layoutControls();
    QVERIFY(level->colWidth(4) >= grown);
    QCOMPARE(full->colWidth(5), level->colWidth(4) + 200);
}

void IntakeTest::emptyProcessorShowsSender() {
    FormFixture f;
    f.start();
    f.send("$LEVL$:C$HOST$:   $MSG$:x", QStringLiteral("192.0.2.7"));
    QCOMPARE(levelGridOf(*f.form, 2)->table()->cellText(1, 1), QStringLiteral("192.0.2.7"));
    QCOMPARE(fullListOf(*f.form)->table()->cellText(1, 2), QStringLiteral("192.0.2.7"));
    QCOMPARE(levelGridOf(*f.form, 2)->table()->cellText(1, 0),
             QStringLiteral("07.12.2026 20:41:05"));
}

void IntakeTest::receivedHtmlIsShownLiterally() {
    FormFixture f;
    f.start();
    const QByteArray html = "<img src=\"http://192.0.2.1/x.png\"><b>bold</b>";
    f.send("$LEVL$:E$MSG$:" + html);
    QLabel *label = f.form->messageLine();
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QCOMPARE(label->text(), QStringLiteral("Actual Message: ") + QString::fromLatin1(html));
}

void IntakeTest::logLinesAppendedWithCrLf() {
    FormFixture f;
    QFile existing(f.logPath());
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("old content\r\n");
    existing.close();
    f.start();
    f.send("$LEVL$:N$HOST$:srv7$MSG$:a;b");
    f.send("$LEVL$:X$HOST$:srv7$SOURCE$:x;y$MSG$:t");
    QCOMPARE(f.readFile(f.logPath()),
             QByteArray("old content\r\n"
                        "Note;07.12.2026 20:41:05;srv7;;;a;b\r\n"
                        "Trap;07.12.2026 20:41:05;srv7;x[U+003B]y;;t\r\n"));
}

// The forward queues get each batch's events with their senders once the
// batch is in the log.
void IntakeTest::loggedEventsHandedOnAfterTheLog() {
    {
        FormFixture f;
        QList<Event> handed;
        QByteArray logAtHandOver;
        struct Recorder : EventSink {
            std::function<void(const EventBatch &)> onTake;
            void take(const EventBatch &batch) override { onTake(batch); }
        } recorder;
        recorder.onTake = [&](const EventBatch &batch) {
            handed.append(QList<Event>(batch->begin(), batch->end()));
            logAtHandOver = f.readFile(f.logPath());
        };
        f.form.session()->setForwarder(&recorder);
        f.start();
        f.send("$LEVL$:W$HOST$:srv7$SOURCE$:backup$MSG$:quota", QStringLiteral("192.0.2.7"));
        f.send("$LEVL$:X$MSG$:trap", QStringLiteral("192.0.2.8"));
        QCOMPARE(handed.size(), 2);
        QCOMPARE(handed[0].level->name, std::string_view("Warning"));
        QCOMPARE(handed[0].application, std::string("backup"));
        QCOMPARE(handed[0].sender, std::string("192.0.2.7"));
        QCOMPARE(handed[1].host, std::string("192.0.2.8"));
        QVERIFY(logAtHandOver.endsWith("Trap;07.12.2026 20:41:05;192.0.2.8;;;trap\r\n"));
    }
}

void IntakeTest::notForwardedCountAndFailingTargetsBesideTheLostCount() {
    FormFixture f;
    f.start();
    QLabel *label = labelOf(*f.form, "notForwardedCount");
    QVERIFY(label->isHidden());
    f.form->showNotForwarded(1234, {}, QStringLiteral("tcp://logs:514: Connection refused"));
    QVERIFY(label->isVisible());
    QCOMPARE(label->text(), QStringLiteral("1,234 not forwarded"));
    QVERIFY(label->toolTip().contains(QStringLiteral("tcp://logs:514: Connection refused")));
    QCOMPARE(label->pos(), labelOf(*f.form, "lostCount")->pos()); // the lost count is hidden
    QCOMPARE(label->styleSheet(), labelOf(*f.form, "lostCount")->styleSheet());
    f.form->showNotForwarded(0, {}, QString());
    QVERIFY(label->isHidden());
    // A failing target shows at once, before anything is dropped, and goes
    // when it works again.
    const QString failing = QStringLiteral("tls://siem:6514: certificate refused, 3 waiting");
    f.form->showNotForwarded(0, failing, failing);
    QVERIFY(label->isVisible());
    QCOMPARE(label->text(), failing);
    f.form->showNotForwarded(7, failing, failing);
    QCOMPARE(label->text(), QStringLiteral("7 not forwarded; ") + failing);
    f.form->showNotForwarded(0, {}, QString());
    QVERIFY(label->isHidden());

    // What quitting would lose is said in the quit question.
    f.form->setQuitWarning(QStringLiteral("Not yet forwarded: 3 events for tls://siem:6514"));
    f.boxes.answers = {false};
    QVERIFY(!f.form->close());
    QCOMPARE(f.boxes.questions.size(), 1);
    QCOMPARE(f.boxes.questions[0].text,
             QStringLiteral("Really quit Quorvik ?\n\nNot yet forwarded: 3 events for "
                            "tls://siem:6514"));
}

void IntakeTest::notRunCountBesideTheLostCount() {
    FormFixture f;
    f.start();
    QLabel *notRun = labelOf(*f.form, "notRunCount");
    QLabel *notForwarded = labelOf(*f.form, "notForwardedCount");
    QLabel *lost = labelOf(*f.form, "lostCount");
    QVERIFY(notRun->isHidden());
    f.form->showNotRun(1234, QStringLiteral("Rule 2 (Core links): 1,234 not run"));
    QVERIFY(notRun->isVisible());
    QCOMPARE(notRun->text(), QStringLiteral("1,234 not run"));
    QVERIFY(notRun->toolTip().contains(QStringLiteral("\nRule 2 (Core links): 1,234 not run\n")));
    QCOMPARE(notRun->styleSheet(), lost->styleSheet());
    QCOMPARE(notRun->pos(), lost->pos()); // the lost count is hidden
    f.form->showNotForwarded(3, {}, QString());
    QVERIFY(notForwarded->x() > notRun->x() + notRun->width());
    f.form->showNotRun(0, QString());
    QVERIFY(notRun->isHidden());
    QCOMPARE(notForwarded->pos(), lost->pos());
}

void IntakeTest::logFailureReportedOncePerRunOfFailures() {
    FormFixture f;
    const QString blocked = f.dir.filePath(QStringLiteral("no/such/folder/q.log"));
    f.writeConfig("[Global]\r\nPopuplevel=0\r\nLogfile=" + blocked.toLocal8Bit() + "\r\n");
    f.start();
    QCOMPARE(f.boxes.reports.size(), 1); // creating it failed at start-up
    QVERIFY(f.boxes.reports[0].text.contains(blocked));
    f.send("$LEVL$:W$MSG$:1");
    f.send("$LEVL$:W$MSG$:2");
    QCOMPARE(f.boxes.reports.size(), 1);
    QCOMPARE(levelGridOf(*f.form, 4)->table()->cellText(1, 4), QStringLiteral(" 2")); // kept
    // A success, then a new failure: reported again.
    Settings s = f.form->settings();
    s.logFile = f.logPath().toStdString();
    f.form.session()->setSettings(s);
    f.send("$LEVL$:W$MSG$:3");
    QCOMPARE(f.boxes.reports.size(), 1);
    s.logFile = blocked.toStdString();
    f.form.session()->setSettings(s);
    f.send("$LEVL$:W$MSG$:4");
    QCOMPARE(f.boxes.reports.size(), 2);
}

// A history copy's rows come by the bulk path: shown, never logged, alerted
// or played.
void IntakeTest::historyModeWritesNoLogAndOpensNoPopup() {
    FormFixture f({}, true);
    f.writeConfig("[Global]\r\nPopuplevel=7\r\nLogfile=" + f.logPath().toLocal8Bit() +
                  "\r\n[Sound]\r\nS4=/tmp/w.wav\r\n");
    f.start();
    const QByteArray before = f.readFile(f.logPath());
    Event replayed = parseEventMessage("$LEVL$:W$MSG$:replayed", "10.0.0.9", LocalDateTime{});
    f.form->takeHistoryRows({EventRow(replayed)});
    f.settle();
    QCOMPARE(f.readFile(f.logPath()), before);
    QVERIFY(!shownWindow<AlertPopup>());
    QVERIFY(f.sounds.played.isEmpty());
    QCOMPARE(tabStripOf(*f.form)->currentIndex(), 4);
}

void IntakeTest::popupAndSoundFollowLevel() {
    FormFixture f;
    f.writeConfig("[Global]\r\nPopuplevel=4\r\nLogfile=" + f.logPath().toLocal8Bit() +
                  "\r\n[Sound]\r\nS3=/s/alert.wav\r\nS4=/s/warn.wav\r\nS5=\r\n");
    f.start();
    f.send("$LEVL$:W$MSG$:not due");
    QVERIFY(!shownWindow<AlertPopup>());
    f.send("$LEVL$:X$MSG$:trap");
    QVERIFY(!shownWindow<AlertPopup>());
    f.send("$LEVL$:I$MSG$:silent");
    f.send("$LEVL$:A$HOST$:h$MSG$:due");
    const AlertPopup *popup = shownWindow<AlertPopup>();
    QVERIFY(popup);
    QCOMPARE(control<QLabel>(popup, "warnstufe")->text(), QStringLiteral("Alert"));
    QCOMPARE(control<QLabel>(popup, "popmeld_4")->text(), QStringLiteral("due"));
    QCOMPARE(f.sounds.played, (QStringList{"/s/warn.wav", "/s/warn.wav", "/s/alert.wav"}));
    f.alerts.closeAll();
}

void IntakeTest::socketDrainsEveryDatagram() {
    // A real socket on a loopback port of its own.
    QUdpSocket probe;
    QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
    const quint16 port = probe.localPort();
    probe.close();

    FormFixture f;
    LiveSessionConfig c = f.windowConfig(f.dir.filePath(QStringLiteral("socket.lock")));
    c.udpPort = port;
    LiveSession session(c);
    MainWindow &form = session.window();
    QVERIFY(session.start(f.profile()));
    QVERIFY(f.boxes.reports.isEmpty());

    QUdpSocket sender;
    const int count = 200;
    for (int k = 0; k < count; ++k)
        sender.writeDatagram("$LEVL$:N$MSG$:" + QByteArray::number(k), QHostAddress::LocalHost,
                             port);
    sender.writeDatagram(QByteArray("\x30\x00trap", 6), QHostAddress::LocalHost, port);
    QTRY_COMPARE(fullListOf(form)->table()->cellText(1, 0), QStringLiteral("Trap"));
    QCOMPARE(levelGridOf(form, 6)->table()->cellText(1, 4), QStringLiteral(" 199"));
    QCOMPARE(fullListOf(form)->table()->cellText(1, 2), QStringLiteral("127.0.0.1"));
    QCOMPARE(f.readFile(f.logPath()).count("\r\n"), count + 2); // header + every datagram

    // A backlog far longer than one batch, then quiet: what comes after the
    // backlog still arrives. (The system may drop some of the backlog when
    // its receive buffer is small; none of what follows.)
    for (int k = 0; k < 5000; ++k)
        sender.writeDatagram("$LEVL$:I$MSG$:backlog", QHostAddress::LocalHost, port);
    QTest::qWait(500);
    for (int k = 0; k < 10; ++k)
        sender.writeDatagram("$LEVL$:E$MSG$:after " + QByteArray::number(k),
                             QHostAddress::LocalHost, port);
    QTRY_COMPARE(levelGridOf(form, 0)->table()->cellText(1, 4), QStringLiteral(" after 9"));
    QCOMPARE(levelGridOf(form, 0)->table()->cellText(10, 4), QStringLiteral(" after 0"));
}

// Refused messages are counted beside the lost count, the latest reason
// per sender in the tool tip; one row per sender and reason a minute; a
// discovery makes none. Delete clears the count.
void IntakeTest::rejectionsCountedShownAndCleared() {
    FormFixture f;
    RefusingDecoder decoder;
    LiveSessionConfig c = f.windowConfig(f.dir.filePath(QStringLiteral("own.lock")));
    c.udpPort = 0;
    c.trapDecoder = &decoder;
    f.form.live(c);
    f.start();
    QLabel *rejected = labelOf(*f.form, "rejectedCount");
    QVERIFY(rejected->isHidden());
    for (int i = 0; i < 3; ++i)
        f.send(v3("bob"), QStringLiteral("192.0.2.7"));
    f.send(v3("bob"), QStringLiteral("192.0.2.8"));
    f.send(v3("discover"), QStringLiteral("192.0.2.9"));
    f.send(v3("alice"), QStringLiteral("192.0.2.9"));
    f.settle();
    QVERIFY(rejected->isVisible());
    QCOMPARE(rejected->text(), QStringLiteral("4 rejected"));
    QCOMPARE(rejected->styleSheet(), labelOf(*f.form, "lostCount")->styleSheet());
    QVERIFY(rejected->toolTip().contains(QStringLiteral("192.0.2.7: unknown user \"bob\"")));
    QVERIFY(rejected->toolTip().contains(QStringLiteral("192.0.2.8: unknown user \"bob\"")));
    QCOMPARE(fullListOf(*f.form)->table()->cellText(1, 5), QStringLiteral(" IF-MIB::linkDown"));
    QCOMPARE(fullListOf(*f.form)->table()->cellText(2, 5),
             QStringLiteral(" SNMPv3 message rejected: unknown user \"bob\""));
    QCOMPARE(fullListOf(*f.form)->table()->cellText(2, 2), QStringLiteral("192.0.2.8"));
    QCOMPARE(fullListOf(*f.form)->table()->cellText(3, 2), QStringLiteral("192.0.2.7"));
    QCOMPARE(fullListOf(*f.form)->table()->cellText(4, 5), QString());

    QTest::mouseClick(f.form->findChild<QPushButton *>(QStringLiteral("tabclear")), Qt::LeftButton);
    QVERIFY(rejected->isHidden());
}

QTEST_MAIN(IntakeTest)
#include "tst_intake.moc"
