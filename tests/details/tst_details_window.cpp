// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The details window as the operator opens it (the row menu, Ctrl+D) on
// events from real senders: snmptrap's SNMPv2c and SNMPv3 traps through the
// real decoder, a tagged text, logger's syslog on a real socket; and the
// bound on the bytes kept.

#include "tests/main_window/form_fixture.h"

#include "app/details_wiring.h"
#include "core/raw_keeper.h"
#include "details/details_window.h"
#include "snmp/net_snmp_decoder.h"

#include <QClipboard>
#include <QMenu>
#include <QNetworkDatagram>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QUdpSocket>

using namespace quorvik;
using namespace quorvik::testing;

namespace {

const QString kAuthPass = QStringLiteral("authSecret-4711");
const QString kPrivPass = QStringLiteral("privSecret-0815");

// One datagram as snmptrap sends it, caught on a loopback socket; sent to
// quorvik as from 192.0.2.7 port 40162.
RawMessage sentBySnmptrap(QStringList arguments) {
    QUdpSocket socket;
    if (!socket.bind(QHostAddress::LocalHost, 0))
        return {};
    arguments.replace(arguments.indexOf(QStringLiteral("@")),
                      QStringLiteral("udp:127.0.0.1:%1").arg(socket.localPort()));
    QTemporaryDir state; // net-snmp's persistent files, no MIBs read
    QProcess sender;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SNMP_PERSISTENT_DIR"), state.path());
    env.insert(QStringLiteral("SNMPCONFPATH"), state.path());
    sender.setProcessEnvironment(env);
    sender.start(QStringLiteral("snmptrap"),
                 QStringList{QStringLiteral("-m"), QString()} + arguments);
    sender.waitForFinished(15000);
    if (!socket.waitForReadyRead(5000))
        return {};
    const QNetworkDatagram datagram = socket.receiveDatagram();
    return {datagram.data().toStdString(), "192.0.2.7", 1'765'000'000, 40162};
}

// A linkDown trap, the options before it (version, community or user).
QStringList linkDown(QStringList options) {
    const QString destination = options.takeFirst();
    return options + QStringList{destination,
                                 QString(),
                                 QStringLiteral("1.3.6.1.6.3.1.1.5.3"),
                                 QStringLiteral("1.3.6.1.2.1.2.2.1.1.2"),
                                 QStringLiteral("i"),
                                 QStringLiteral("2"),
                                 QStringLiteral("1.3.6.1.2.1.2.2.1.8.2"),
                                 QStringLiteral("i"),
                                 QStringLiteral("2")};
}

void choose(QMenu *menu, const QString &text) {
    for (QAction *action : menu->actions())
        if (action->text() == text) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            return;
        }
    QFAIL(qPrintable(QStringLiteral("no menu entry ") + text));
}

void clickRow(EventGrid *grid, int viewRow) {
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, viewRow));
}

// A free UDP port on the loopback.
quint16 freeUdpPort() {
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

} // namespace

class DetailsWindowTest : public QObject {
    Q_OBJECT

private slots:
    // net-snmp keeps its state per process: one decoder serves every test.
    void initTestCase() { m_decoder = std::make_unique<NetSnmpDecoder>(QUORVIK_MIB_DIR); }
    void v2cTrapFromTheRowMenuThenFollowsATaggedText();
    void v3TrapByCtrlDShowsNoSecret();
    void syslogHeaderFieldsOneParameterALine();
    void bytesKeptWithinTheirBound();
    void historyCopyShowsItsLogLine();

private:
    std::unique_ptr<NetSnmpDecoder> m_decoder;
};

void DetailsWindowTest::v2cTrapFromTheRowMenuThenFollowsATaggedText() {
    FormFixture f;
    LiveSessionConfig config = f.windowConfig(f.dir.filePath(QStringLiteral("live.lock")));
    config.udpPort = 0;
    config.trapDecoder = m_decoder.get();
    f.form.live(config);
    f.start();
    const RawMessage trap =
        sentBySnmptrap(linkDown({QStringLiteral("@"), QStringLiteral("-v"), QStringLiteral("2c"),
                                 QStringLiteral("-c"), QStringLiteral("n0c-public")}));
    QVERIFY(!trap.bytes.empty());
    f.form.session()->take({trap});
    f.form->setViewMode(MainWindow::ViewMode::FullList);
    f.settle();
    EventGrid *full = fullListOf(*f.form);

    QMenu *menu = openMenu(full, 0);
    QVERIFY(menu);
    choose(menu, QStringLiteral("Details…"));
    auto *window = f.form->findChild<DetailsWindow *>(QStringLiteral("frmDetails"));
    QVERIFY(window);
    QSignalSpy shown(window, &DetailsWindow::detailsShown);
    QVERIFY(shown.wait());
    const QString text = window->text();
    for (const char *line :
         {"Level: Trap", "Processor: 192.0.2.7", "Kind: SNMP", "Sender: 192.0.2.7",
          "Sender port: 40162", "Version: SNMPv2c", "Community: n0c-public",
          "PDU type: SNMPv2-Trap", "Notification: IF-MIB::linkDown (1.3.6.1.6.3.1.1.5.3)",
          "Description: A communication link left the up state.",
          "Binding 1: SNMPv2-MIB::sysUpTime.0 (1.3.6.1.2.1.1.3.0) TimeTicks: ",
          "Binding 3: IF-MIB::ifIndex.2 (1.3.6.1.2.1.2.2.1.1.2) INTEGER: 2",
          "Binding 4: IF-MIB::ifOperStatus.2 (1.3.6.1.2.1.2.2.1.8.2) INTEGER: down",
          "Message: IF-MIB::linkDown ifIndex.2=2 ifOperStatus.2=down"})
        QVERIFY2(text.contains(QLatin1String(line)),
                 qPrintable(line + QStringLiteral("\n") + text));
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("Request id: \\d+"))));
    // The bytes in hex: a line for every 16, their ASCII column holds the
    // community.
    const QStringList hex = text.section(QStringLiteral("\nHex:\n"), 1).split(QLatin1Char('\n'));
    QCOMPARE(hex.size(), qsizetype(trap.bytes.size() + 15) / 16);
    QVERIFY2(hex[0].startsWith(QStringLiteral("    0000  30 ")), qPrintable(hex[0]));
    QString ascii;
    for (const QString &line : hex)
        ascii += line.mid(60);
    QVERIFY2(ascii.contains(QStringLiteral("n0c-public")), qPrintable(ascii));

    QPushButton *copy = control<QPushButton>(window, QStringLiteral("cmdCopy"));
    QTest::mouseClick(copy, Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->text(), text);

    // Open, the window follows the row chosen: a tagged text arrives on
    // top and the operator clicks it.
    f.send("$LEVL$:W$HOST$:srv7$SOURCE$:backup$DEVC$:disk_2$MSG$:quota reached");
    f.settle();
    shown.clear();
    clickRow(full, 0);
    QVERIFY(shown.wait());
    const QString tagged = window->text();
    for (const char *line :
         {"Level: Warning", "Processor: srv7", "Application: backup", "Object: disk 2",
          "Message: quota reached", "Kind: tagged or plain text", "Sender: 10.0.0.9",
          "Text: $LEVL$:W$HOST$:srv7$SOURCE$:backup$DEVC$:disk_2$MSG$:quota "
          "reached"})
        QVERIFY2(tagged.contains(QLatin1String(line)),
                 qPrintable(line + QStringLiteral("\n") + tagged));
    QVERIFY(!tagged.contains(QStringLiteral("SNMP")));

    // Asked again, the one window comes forward on the row asked for (the
    // right click chose it already: the window may show it at once).
    shown.clear();
    menu = openMenu(full, 1);
    QVERIFY(menu);
    choose(menu, QStringLiteral("Details…"));
    if (shown.isEmpty())
        QVERIFY(shown.wait());
    QCOMPARE(f.form->findChildren<DetailsWindow *>().size(), 1);
    QVERIFY(window->text().contains(QStringLiteral("Community: n0c-public")));

    // It follows the view too: the trap chosen in its level table, then the
    // full list shown again, whose chosen row is the tagged text.
    clickRow(full, 0);
    QVERIFY(shown.wait());
    auto *viewButton = control<QPushButton>(f.form.get(), QStringLiteral("viewschalt"));
    QTest::mouseClick(viewButton, Qt::LeftButton);
    EventGrid *warnings = levelGridOf(*f.form, 4);
    QTRY_VERIFY(warnings->isVisible());
    clickRow(warnings, 1);
    QVERIFY(shown.wait());
    QVERIFY(window->text().contains(QStringLiteral("Community: n0c-public")));
    QTest::mouseClick(viewButton, Qt::LeftButton);
    QVERIFY(shown.wait());
    QVERIFY(window->text().contains(QStringLiteral("Processor: srv7")));
}

void DetailsWindowTest::v3TrapByCtrlDShowsNoSecret() {
    FormFixture f;
    NetSnmpDecoder &decoder = *m_decoder;
    decoder.setUsers(
        {SnmpUser{"opsUser", "SHA", kAuthPass.toStdString(), "AES", kPrivPass.toStdString(), {}}});
    LiveSessionConfig config = f.windowConfig(f.dir.filePath(QStringLiteral("live.lock")));
    config.udpPort = 0;
    config.trapDecoder = &decoder;
    f.form.live(config);
    f.start();
    const RawMessage trap = sentBySnmptrap(linkDown(
        {QStringLiteral("@"), QStringLiteral("-v"), QStringLiteral("3"), QStringLiteral("-u"),
         QStringLiteral("opsUser"), QStringLiteral("-e"), QStringLiteral("0x8000000001020304"),
         QStringLiteral("-l"), QStringLiteral("authPriv"), QStringLiteral("-a"),
         QStringLiteral("SHA"), QStringLiteral("-A"), kAuthPass, QStringLiteral("-x"),
         QStringLiteral("AES"), QStringLiteral("-X"), kPrivPass}));
    QVERIFY(!trap.bytes.empty());
    f.form.session()->take({trap});
    f.settle();
    EventGrid *grid = levelGridOf(*f.form, 4);
    QCOMPARE(grid->table()->cellText(1, 4),
             QStringLiteral(" IF-MIB::linkDown ifIndex.2=2 ifOperStatus.2=down"));
    clickRow(grid, 0);
    QVERIFY(grid->hasFocus());
    QTest::keyClick(grid, Qt::Key_D, Qt::ControlModifier);
    auto *window = f.form->findChild<DetailsWindow *>(QStringLiteral("frmDetails"));
    QVERIFY(window);
    QSignalSpy shown(window, &DetailsWindow::detailsShown);
    QVERIFY(shown.wait());
    const QString text = window->text();
    for (const char *line : {"Version: SNMPv3", "User: opsUser", "Security level: authPriv",
                             "Engine ID: 8000000001020304", "PDU type: SNMPv2-Trap",
                             "Binding 3: IF-MIB::ifIndex.2 (1.3.6.1.2.1.2.2.1.1.2) INTEGER: 2",
                             "Description: A communication link left the up state."})
        QVERIFY2(text.contains(QLatin1String(line)),
                 qPrintable(line + QStringLiteral("\n") + text));
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("Request id: \\d+"))));
    // No password, in any spelling.
    for (const QString &secret : {kAuthPass, kPrivPass}) {
        QVERIFY(!text.contains(secret, Qt::CaseInsensitive));
        QVERIFY(!text.contains(QString::fromLatin1(secret.toLatin1().toHex())));
    }
}

void DetailsWindowTest::syslogHeaderFieldsOneParameterALine() {
    const quint16 port = freeUdpPort();
    FormFixture f("[Syslog]\r\nUDP=" + QByteArray::number(port) + "\r\nTCP=0\r\nTLS=0\r\n");
    LiveSessionConfig config = f.windowConfig(f.dir.filePath(QStringLiteral("live.lock")));
    config.udpPort = 0;
    config.listenForSyslog = true;
    f.form.live(config);
    f.start();
    QVERIFY2(f.form.session()->syslogProblems().isEmpty(),
             qPrintable(f.form.session()->syslogProblems().join(QLatin1Char('\n'))));
    QProcess logger;
    logger.start(QStringLiteral("logger"), {QStringLiteral("--rfc5424"),
                                            QStringLiteral("--udp"),
                                            QStringLiteral("-n"),
                                            QStringLiteral("127.0.0.1"),
                                            QStringLiteral("-P"),
                                            QString::number(port),
                                            QStringLiteral("-p"),
                                            QStringLiteral("local4.err"),
                                            QStringLiteral("-t"),
                                            QStringLiteral("backupd"),
                                            QStringLiteral("--id=4242"),
                                            QStringLiteral("--msgid"),
                                            QStringLiteral("ID47"),
                                            QStringLiteral("--sd-id"),
                                            QStringLiteral("job@32473"),
                                            QStringLiteral("--sd-param"),
                                            QStringLiteral("name=\"nightly\""),
                                            QStringLiteral("--sd-param"),
                                            QStringLiteral("path=\"/srv/a \\\"b\\\"\""),
                                            QStringLiteral("backup failed")});
    QVERIFY(logger.waitForFinished(15000));
    QCOMPARE(logger.exitCode(), 0);
    QTRY_COMPARE(f.form->eventsHeld(), 1);
    f.settle();
    EventGrid *grid = levelGridOf(*f.form, 3);
    clickRow(grid, 0);
    QTest::keyClick(grid, Qt::Key_D, Qt::ControlModifier);
    auto *window = f.form->findChild<DetailsWindow *>(QStringLiteral("frmDetails"));
    QVERIFY(window);
    QSignalSpy shown(window, &DetailsWindow::detailsShown);
    QVERIFY(shown.wait());
    const QString text = window->text();
    for (const char *line :
         {"Level: Alert", "Kind: syslog", "Sender: 127.0.0.1", "PRI: <163>",
          "Facility: local4 (20)", "Severity: err (3)", "Format: RFC 5424", "APP-NAME: backupd",
          "PROCID: 4242", "MSGID: ID47", "[job@32473] name: nightly",
          "[job@32473] path: /srv/a \"b\"", "MSG: backup failed"})
        QVERIFY2(text.contains(QLatin1String(line)),
                 qPrintable(line + QStringLiteral("\n") + text));
    // The timestamp as logger wrote it: with its fraction and zone.
    QVERIFY2(text.contains(QRegularExpression(QStringLiteral(
                 "Timestamp as sent: \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d+"))),
             qPrintable(text));
    QVERIFY(f.form.session()->rawKeeper().heldBytes() > 0);
}

void DetailsWindowTest::bytesKeptWithinTheirBound() {
    // Messages of 1 MiB: the oldest go once 64 MiB would be passed, the
    // newest stay, whole.
    RawKeeper keeper;
    const std::string big(std::size_t(1) << 20, 'x');
    std::uint64_t first = 0, last = 0;
    for (int i = 0; i < 80; ++i) {
        std::string bytes = big;
        bytes[0] = char('A' + i % 26);
        last = keeper.keep(bytes, i == 79 ? std::string_view("plain") : std::string_view());
        if (i == 0)
            first = last;
        QVERIFY(keeper.heldBytes() <= RawKeeper::kDefaultBound);
    }
    QVERIFY(!keeper.find(first));
    const std::optional<RawKeeper::Kept> newest = keeper.find(last);
    QVERIFY(newest);
    QCOMPARE(newest->bytes.size(), big.size());
    QCOMPARE(newest->bytes[0], char('A' + 79 % 26));
    QCOMPARE(newest->decrypted, std::string("plain"));
    QVERIFY(keeper.find(last - 60)); // 61 of them fit
    QVERIFY(!keeper.find(last + 1));

    // A row whose bytes are gone says so in its details.
    FormFixture f;
    f.start();
    f.send("$LEVL$:N$MSG$:the first");
    // 60,000 bytes each, most of them before the tags (not shown anywhere).
    const std::string filler = std::string(60000, 'f') + "$LEVL$:I$MSG$:filler";
    std::vector<RawMessage> batch;
    for (int i = 0; i < 1200; ++i)
        batch.push_back({filler, "10.0.0.8", 1'765'000'000, 514});
    f.form.session()->take(batch);
    f.send("$LEVL$:N$MSG$:the newest");
    f.settle();
    QVERIFY(f.form.session()->rawKeeper().heldBytes() <= RawKeeper::kDefaultBound);
    EventGrid *note = levelGridOf(*f.form, 6);
    tabStripOf(*f.form)->setCurrentIndex(6);
    clickRow(note, 1);
    QTest::keyClick(note, Qt::Key_D, Qt::ControlModifier);
    auto *window = f.form->findChild<DetailsWindow *>(QStringLiteral("frmDetails"));
    QVERIFY(window);
    QSignalSpy shown(window, &DetailsWindow::detailsShown);
    QVERIFY(shown.wait());
    QVERIFY2(window->text().contains(QStringLiteral("Message: the first")),
             qPrintable(window->text()));
    QVERIFY(window->text().contains(QStringLiteral("Received bytes: no longer kept")));
    shown.clear();
    clickRow(note, 0);
    QVERIFY(shown.wait());
    QVERIFY(window->text().contains(QStringLiteral("Text: $LEVL$:N$MSG$:the newest")));
}

// A history copy, wired as the program wires it, has only the log line's
// fields to show, and says so.
void DetailsWindowTest::historyCopyShowsItsLogLine() {
    FormFixture f({}, true);
    wireDetails(*f.form, DetailsConfig{RowOrigin::History, nullptr, {}});
    f.start();
    f.send("$LEVL$:W$HOST$:srv7$SOURCE$:backup$DEVC$:disk_2$MSG$:quota reached");
    f.settle();
    EventGrid *grid = levelGridOf(*f.form, 4);
    clickRow(grid, 0);
    QTest::keyClick(grid, Qt::Key_D, Qt::ControlModifier);
    auto *window = f.form->findChild<DetailsWindow *>(QStringLiteral("frmDetails"));
    QVERIFY(window);
    QSignalSpy shown(window, &DetailsWindow::detailsShown);
    QVERIFY(shown.wait());
    const QString text = window->text();
    for (const char *line :
         {"Level: Warning", "Processor: srv7", "Object: disk 2", "Message: quota reached",
          "Received bytes: none: the log line holds only the fields above"})
        QVERIFY2(text.contains(QLatin1String(line)),
                 qPrintable(line + QStringLiteral("\n") + text));
    QVERIFY(!text.contains(QStringLiteral("Sender")));
}

QTEST_MAIN(DetailsWindowTest)
#include "tst_details_window.moc"
