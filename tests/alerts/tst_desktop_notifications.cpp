// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Desktop notifications against a real notification server: dunst on a
// private session bus (see with_notification_server.sh), read back with its
// own dunstctl. The main window is real; the window is away when it is not
// shown or minimised.

#include "alerts/desktop_notifier.h"

#include "../main_window/form_fixture.h"

#include <QDBusConnection>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QTabWidget>

using namespace quorvik;
using namespace quorvik::testing;

namespace {

const QString kIcon = QStringLiteral(QUORVIK_ICON);

QByteArray dunstctl(const QStringList &arguments) {
    QProcess process;
    process.start(QStringLiteral("dunstctl"), arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        qWarning("dunstctl %s: %s", qPrintable(arguments.join(' ')),
                 process.readAllStandardError().constData());
    return process.readAllStandardOutput();
}

int displayed() {
    return dunstctl({QStringLiteral("count"), QStringLiteral("displayed")}).trimmed().toInt();
}

// What dunst received from quorvik, in the order sent (by id): "summary |
// body"; the notifications on screen are closed first, so that the history
// holds them.
QStringList received(QString *iconPath = nullptr, QStringList *urgencies = nullptr) {
    dunstctl({QStringLiteral("close-all")});
    const QJsonArray entries = QJsonDocument::fromJson(dunstctl({QStringLiteral("history")}))
                                   .object()[QStringLiteral("data")]
                                   .toArray()
                                   .first()
                                   .toArray();
    QMap<int, QString> texts, urgencyOf;
    for (const QJsonValue &entry : entries) {
        const QJsonObject o = entry.toObject();
        const auto field = [&o](const char *name) {
            return o[QLatin1String(name)].toObject()[QStringLiteral("data")].toVariant().toString();
        };
        if (field("appname") != QLatin1String("Quorvik"))
            continue;
        texts.insert(field("id").toInt(), field("summary") + QStringLiteral(" | ") + field("body"));
        // See dunstrc: only critical ones have no timeout.
        urgencyOf.insert(field("id").toInt(),
                         field("timeout") == QLatin1String("0") ? QStringLiteral("critical")
                                                                : QStringLiteral("normal"));
        if (iconPath)
            *iconPath = field("icon_path");
    }
    if (urgencies)
        *urgencies = urgencyOf.values();
    return texts.values();
}

DesktopNotifierOptions options(QStringList &reports) {
    DesktopNotifierOptions o;
    o.iconName = kIcon;
    o.trayIcon = QIcon(kIcon);
    o.report = [&reports](const QString &text) { reports << text; };
    return o;
}

struct NotifyFixture : FormFixture {
    explicit NotifyFixture(const QByteArray &global = {})
        : FormFixture(QByteArray()), notifier(options(reports)) {
        LiveSessionConfig c = windowConfig(dir.filePath(QStringLiteral("live.lock")));
        c.udpPort = 0;
        c.notifier = &notifier;
        form.live(c);
        writeConfig("[Global]\r\nPopuplevel=3\r\nLogfile=" + logPath().toLocal8Bit() + "\r\n" +
                    global);
        QVERIFY(load());
        received(); // what earlier tests left goes to the history
        before = received().size();
    }
    ~NotifyFixture() { form.reset(); }
    QStringList news() { return received().mid(before); }

    QStringList reports;
    DesktopNotifier notifier;
    qsizetype before = 0;
};

} // namespace

class TestDesktopNotifications : public QObject {
    Q_OBJECT

private slots:
    void onlyWhileAwayAndActivationShowsItsTab();
    void stormGivesOneASecondThenASummaryInItsPlace();
    void noSessionBusIsReportedOnce();
};

void TestDesktopNotifications::onlyWhileAwayAndActivationShowsItsTab() {
    NotifyFixture f; // loaded already: shown, not started a second time
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    f.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
    f.send("$LEVL$:E$HOST$:srv1$MSG$:seen on screen");

    f.form->showMinimized();
    QTRY_VERIFY(f.form->isMinimized());
    f.send("$LEVL$:P$HOST$:srv7$MSG$:disk <b>2</b> & full");
    QTRY_COMPARE(displayed(), 1);

    // Its default action, as a click on it does.
    dunstctl({QStringLiteral("action"), QStringLiteral("0")});
    QTRY_VERIFY(!f.form->isMinimized() && f.form->isActiveWindow());
    QCOMPARE(tabStripOf(*f.form)->currentIndex(), 1);

    QString icon;
    const QStringList got = f.news();
    received(&icon);
    QCOMPARE(got, QStringList{"Panic from srv7 | disk <b>2</b> & full"});
    QCOMPARE(icon, kIcon);
    QVERIFY(f.reports.isEmpty());
}

// The summary takes the place of the first notification, still shown: one
// on the screen, critical as the popup is.
void TestDesktopNotifications::stormGivesOneASecondThenASummaryInItsPlace() {
    NotifyFixture f;
    // Never shown: away. Alert is below the popup level, so not told.
    f.send("$LEVL$:C$HOST$:h0$MSG$:first");
    for (int i = 1; i <= 17; ++i)
        f.send("$LEVL$:" + QByteArray(i == 9 ? "E" : "C") + "$HOST$:h" + QByteArray::number(i) +
               "$MSG$:m" + QByteArray::number(i));
    f.send("$LEVL$:A$HOST$:h18$MSG$:below the popup level");
    QTRY_COMPARE(displayed(), 1);
    QTest::qWait(2 * NoticeThrottle::kIntervalMs); // the summary's time
    QCOMPARE(displayed(), 1);
    QCOMPARE(f.news(), QStringList{"17 more events | Emergency from h9: m9"});
    QCOMPARE(f.notifier.awayCount(), 19);

    // Once it is gone, the next one is a notification of its own. (The
    // popup goes too: this display activates every window it shows, and the
    // operator reading the popup is not away.)
    f.alerts.closeAll();
    QTRY_VERIFY(!QApplication::activeWindow());
    QTest::qWait(NoticeThrottle::kIntervalMs); // a quiet second: shown at once
    f.send("$LEVL$:C$HOST$:h19$MSG$:later");
    QTRY_COMPARE(displayed(), 1);
    QStringList urgencies;
    QCOMPARE(received(nullptr, &urgencies).mid(f.before),
             (QStringList{"17 more events | Emergency from h9: m9", "Critical from h19 | later"}));
    QCOMPARE(urgencies.mid(f.before), (QStringList{"critical", "critical"}));
}

void TestDesktopNotifications::noSessionBusIsReportedOnce() {
    QStringList reports;
    std::int64_t now = 0;
    DesktopNotifierOptions o = options(reports);
    o.bus = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                          QStringLiteral("no bus"));
    o.clock = [&now] { return now; };
    DesktopNotifier notifier(o);
    for (now = 0; now <= 4000; now += 2000)
        notifier.notify({0, QStringLiteral("Emergency"), QStringLiteral("h"), QStringLiteral("m")});
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports.first().startsWith("Desktop notifications are not shown: no session bus"),
             qPrintable(reports.first()));
}

QTEST_MAIN(TestDesktopNotifications)
#include "tst_desktop_notifications.moc"
