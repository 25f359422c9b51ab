// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Acknowledging rows in the live copy's window: the row menu's
// "Acknowledge…" and Ctrl+K on the selected rows, with a note or without;
// the rows' look and tool tip in the full list and the level table, and the
// Note each acknowledgement writes to the log. A history copy takes none.
// Two consoles behind the README's rsyslog relay (a real rsyslogd): one's
// acknowledgement marks the row on the other.

#include "form_fixture.h"

#include "core/acknowledgement.h"
#include "core/forward_target.h"
#include "forward/forwarder.h"
#include "rsyslog_process.h"

#include <QMenu>
#include <QProcess>
#include <QSysInfo>
#include <QTcpServer>
#include <QUdpSocket>

using namespace quorvik;
using namespace quorvik::testing;

namespace {

QStringList entries(const QMenu *menu) {
    QStringList texts;
    for (QAction *action : menu->actions())
        if (!action->isSeparator())
            texts << action->text();
    return texts;
}

void choose(QMenu *menu, const QString &text) {
    for (QAction *action : menu->actions())
        if (action->text() == text) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            return;
        }
    QFAIL(qPrintable(QStringLiteral("no entry ") + text));
}

// How view row `row` looks: "ack" with the tick and dimmed, else "plain",
// then its tool tip.
QString lookOf(EventGrid *grid, int row) {
    const QAbstractItemModel *model = grid->model();
    const int last = model->columnCount() - 1;
    const bool tick = !model->data(model->index(row, 0), Qt::DecorationRole).isNull();
    const QVariant colour = model->data(model->index(row, last), Qt::ForegroundRole);
    const bool dimmed = colour.value<QBrush>().color() == acknowledgedColour();
    return QString(tick && dimmed ? QStringLiteral("ack") : QStringLiteral("plain")) +
           QStringLiteral(" | ") + model->data(model->index(row, last), Qt::ToolTipRole).toString();
}

// The log's acknowledgement lines with their date as {DATE}; the dates in `dates`.
QStringList acknowledgements(const QByteArray &log, QStringList *dates) {
    QStringList lines;
    for (const QByteArray &line : log.split('\n'))
        if (line.contains(";quorvik;acknowledged;")) {
            QString text = QString::fromUtf8(line.trimmed());
            *dates << text.section(u';', 1, 1);
            lines << text.replace(dates->constLast(), QStringLiteral("{DATE}"));
        }
    return lines;
}

// Ports nobody holds now.
quint16 freeTcpPort() {
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0;
}
quint16 freeUdpPort() {
    QUdpSocket socket;
    return socket.bind(QHostAddress::LocalHost) ? socket.localPort() : 0;
}

// A live copy whose syslog listener takes TCP on `port` alone, forwarding
// to the targets of `forward` (a [Forward] section) when given.
struct Console {
    Forwarder forwarder;
    FormFixture f;
    Console(quint16 port, const QByteArray &forward = {})
        : f("[Global]\r\nIniGrid=1\r\n[Syslog]\r\nUDP=0\r\nTCP=" + QByteArray::number(port) +
            "\r\n" + forward) {
        LiveSessionConfig c = f.windowConfig(f.dir.filePath(QStringLiteral("live.lock")));
        c.udpPort = 0;
        c.listenForSyslog = true;
        f.form.live(c);
        forwarder.setTargets(forwardTargetsFromProfile(f.profile()).targets);
        f.form.session()->setForwarder(&forwarder);
        f.start();
    }
    ~Console() { f.form.reset(); } // before the forwarder
};

// The view row whose message ends in `message` (structured data, as the
// relay's logger sends, goes before it); -1: none.
int rowOf(EventGrid *grid, const QString &message) {
    const QAbstractItemModel *model = grid->model();
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->data(model->index(row, model->columnCount() - 1)).toString().endsWith(message))
            return row;
    return -1;
}

} // namespace

class AcknowledgeTest : public QObject {
    Q_OBJECT

private slots:
    void rowMenuAndCtrlK();
    void historyCopyTakesNone();
    void otherConsoleBehindRelaySeesIt();
};

void AcknowledgeTest::rowMenuAndCtrlK() {
    FormFixture f("[Global]\r\nIniGrid=1\r\n");
    f.start();
    f.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
    f.send("$LEVL$:W$HOST$:core-router-1$SOURCE$:IF-MIB$DEVC$:linkDown$MSG$:Interface 2 down");
    f.send("$LEVL$:W$HOST$:core-router-2$SOURCE$:IF-MIB$DEVC$:linkDown$MSG$:Interface 3 down");
    f.send("$LEVL$:N$HOST$:srv7$MSG$:backup done");
    f.settle();
    EventGrid *full = fullListOf(*f.form);
    EventGrid *warnings = levelGridOf(*f.form, 4);
    const QString user = QString::fromStdString(loginName());
    const QString console = QSysInfo::machineHostName();

    f.boxes.texts = {QStringLiteral("new optic")};
    QMenu *menu = openMenu(full, 2); // core-router-1
    QVERIFY(menu);
    QVERIFY(entries(menu).contains(QStringLiteral("Acknowledge\u2026")));
    choose(menu, QStringLiteral("Acknowledge\u2026"));
    QCOMPARE(f.boxes.textQuestions, QStringList("Acknowledge this event. Note (may stay empty):"));
    f.settle();
    QStringList dates;
    QCOMPARE(acknowledgements(f.readFile(f.logPath()), &dates),
             QStringList("Note;{DATE};" + console + ";quorvik;acknowledged;" + user +
                         " acknowledged Warning 07.12.2026 20:41:05, host core-router-1, "
                         "application IF-MIB, object linkDown: Interface 2 down. Note: new optic"));
    // The Note is a row of its own, on top; the acknowledged row is marked in
    // both tables that show it, the others are not.
    QCOMPARE(full->table()->eventCount(), 4);
    const QString taken = "ack | Acknowledged by " + user + " at " + dates[0] + ": new optic";
    QCOMPARE(lookOf(full, 3), taken);
    QCOMPARE(lookOf(warnings, 1), taken);
    QCOMPARE(lookOf(full, 2), QStringLiteral("plain | "));
    QCOMPARE(lookOf(full, 1), QStringLiteral("plain | "));

    // Ctrl+K on two rows selected in the full list, without a note.
    f.boxes.texts = {QString()};
    QTest::mouseClick(full->viewport(), Qt::LeftButton, {}, cellCentre(full, 2));
    QTest::mouseClick(full->viewport(), Qt::LeftButton, Qt::ShiftModifier, cellCentre(full, 3));
    QTest::keyClick(full, Qt::Key_K, Qt::ControlModifier);
    QCOMPARE(f.boxes.textQuestions.constLast(),
             QStringLiteral("Acknowledge 2 events. Note (may stay empty):"));
    f.settle();
    // Two more Notes on top: the rows are 5 (core-router-1, its latest
    // acknowledgement shown) and 4 (core-router-2).
    QCOMPARE(acknowledgements(f.readFile(f.logPath()), &(dates = {})).size(), 3);
    QCOMPARE(lookOf(full, 4), "ack | Acknowledged by " + user + " at " + dates[1]);
    QCOMPARE(lookOf(full, 5), "ack | Acknowledged by " + user + " at " + dates[2]);
    QCOMPARE(lookOf(warnings, 0), "ack | Acknowledged by " + user + " at " + dates[1]);

    // Cancel: nothing is acknowledged.
    f.boxes.texts = {std::nullopt};
    QTest::mouseClick(full->viewport(), Qt::LeftButton, {}, cellCentre(full, 0));
    QTest::keyClick(full, Qt::Key_K, Qt::ControlModifier);
    QCOMPARE(f.boxes.textQuestions.size(), 3);
    f.settle();
    QCOMPARE(acknowledgements(f.readFile(f.logPath()), &(dates = {})).size(), 3);
    QCOMPARE(lookOf(full, 0), QStringLiteral("plain | "));
}

void AcknowledgeTest::historyCopyTakesNone() {
    FormFixture f({}, true);
    f.start();
    f.send("$LEVL$:W$HOST$:core-router-1$MSG$:Interface 2 down");
    f.settle();
    EventGrid *full = fullListOf(*f.form);
    f.form->setViewMode(MainWindow::ViewMode::FullList);
    QMenu *menu = openMenu(full, 0);
    QVERIFY(menu);
    QVERIFY(!entries(menu).contains(QStringLiteral("Acknowledge\u2026")));
    menu->close();
    QTest::mouseClick(full->viewport(), Qt::LeftButton, {}, cellCentre(full, 0));
    QTest::keyClick(full, Qt::Key_K, Qt::ControlModifier);
    QVERIFY(f.boxes.textQuestions.isEmpty());
}

// Console A forwards to the relay; the relay sends everything to A and B.
// logger's event shows on both; A acknowledges it with Ctrl+K; the Note
// comes back through the relay and B marks its row with who and the note.
void AcknowledgeTest::otherConsoleBehindRelaySeesIt() {
    const quint16 relayPort = freeUdpPort();
    const quint16 portA = freeTcpPort(), portB = freeTcpPort();
    QString relay = forwardtest::readmeRelay(QStringLiteral(QUORVIK_SOURCE_DIR "/README.md"));
    QVERIFY2(relay.contains(QLatin1String("192.0.2.11")), "no relay configuration in README.md");
    relay
        .replace(QStringLiteral("target=\"192.0.2.10\" port=\"514\""),
                 QStringLiteral("target=\"127.0.0.1\" port=\"%1\"").arg(portA))
        .replace(QStringLiteral("target=\"192.0.2.11\" port=\"514\""),
                 QStringLiteral("target=\"127.0.0.1\" port=\"%1\"").arg(portB));
    QTemporaryDir dir;
    forwardtest::Rsyslog rsyslog(dir.path());
    QCOMPARE(rsyslog.start(forwardtest::Rsyslog::Input::Udp, relayPort, {}, relay), QString());
    Console a(portA,
              "[Forward]\r\nTarget1=udp://127.0.0.1:" + QByteArray::number(relayPort) + "\r\n");
    Console b(portB);
    EventGrid *fullA = fullListOf(*a.f.form), *fullB = fullListOf(*b.f.form);

    const QString down = QStringLiteral("Interface 2 down");
    QCOMPARE(QProcess::execute(QStringLiteral("logger"),
                               {"-n", "127.0.0.1", "-P", QString::number(relayPort), "-d", "-p",
                                "local0.err", "-t", "ifmon", down}),
             0);
    QTRY_VERIFY_WITH_TIMEOUT(rowOf(fullA, down) >= 0 && rowOf(fullB, down) >= 0, 15000);

    a.f.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(a.f.form.get()));
    a.f.boxes.texts = {QStringLiteral("new optic")};
    QTest::mouseClick(fullA->viewport(), Qt::LeftButton, {}, cellCentre(fullA, rowOf(fullA, down)));
    QTest::keyClick(fullA, Qt::Key_K, Qt::ControlModifier);
    const QString user = QString::fromStdString(loginName());
    QTRY_VERIFY_WITH_TIMEOUT(
        lookOf(fullB, rowOf(fullB, down)).startsWith("ack | Acknowledged by " + user), 15000);
    QVERIFY2(lookOf(fullB, rowOf(fullB, down)).endsWith(QStringLiteral(": new optic")),
             qPrintable(lookOf(fullB, rowOf(fullB, down))));
}

QTEST_MAIN(AcknowledgeTest)
#include "tst_acknowledge.moc"
