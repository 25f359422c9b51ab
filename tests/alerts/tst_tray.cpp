// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The tray icon in a real system tray: trayer on a private Xvfb display (see
// with_notification_server.sh --tray); this test runs on that display, so the
// icon is embedded by the tray host and read back from the screen.

#include "alerts/desktop_notifier.h"

#include "../main_window/form_fixture.h"

#include <QApplication>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>

using namespace quorvik;
using namespace quorvik::testing;

namespace {

// Emergency in a colour that the program's icon does not use.
constexpr QRgb kEmergency = qRgb(255, 0, 255);

DesktopNotifierOptions trayOptions() {
    DesktopNotifierOptions o;
    o.iconName = QStringLiteral(QUORVIK_ICON);
    o.trayIcon = QIcon(QStringLiteral(QUORVIK_ICON));
    o.report = [](const QString &) {}; // a tray test: notifications may go unseen
    return o;
}

struct TrayFixture : FormFixture {
    TrayFixture() : FormFixture(QByteArray()), notifier(trayOptions()) {
        LiveSessionConfig c = windowConfig(dir.filePath(QStringLiteral("live.lock")));
        c.udpPort = 0;
        c.notifier = &notifier;
        form.live(c);
        writeConfig("[Global]\r\nPopuplevel=0\r\nLogfile=" + logPath().toLocal8Bit() +
                    "\r\n[Color]\r\nC0=16711935\r\n");
    }
    ~TrayFixture() { form.reset(); }
    DesktopNotifier notifier;
};

// How many pixels of the icon, as the tray host shows it, have `colour`.
int pixelsOf(const QSystemTrayIcon &tray, QRgb colour) {
    const QRect where = tray.geometry();
    const QImage shown = QGuiApplication::primaryScreen()
                             ->grabWindow(0, where.x(), where.y(), where.width(), where.height())
                             .toImage();
    int count = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            count += (shown.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return count;
}

// The icon's own window, which the tray host embeds and which receives the
// clicks on the icon.
QWidget *iconWindow(const QSystemTrayIcon &tray) {
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->geometry().size() == tray.geometry().size() &&
            widget->mapToGlobal(QPoint()) == tray.geometry().topLeft())
            return widget;
    return nullptr;
}

} // namespace

class TestTray : public QObject {
    Q_OBJECT

private slots:
    void countInTheMostSeriousColourThenShowFromItsMenu();
};

void TestTray::countInTheMostSeriousColourThenShowFromItsMenu() {
    TrayFixture f;
    QVERIFY(f.load());
    QSystemTrayIcon *tray = f.notifier.trayIcon();
    QVERIFY2(tray, "no system tray found on the test's display");
    QTRY_VERIFY(tray->geometry().isValid() && iconWindow(*tray));
    QTRY_COMPARE(pixelsOf(*tray, kEmergency), 0);

    // Never shown, so away: the count in the disc of the most serious level.
    f.send("$LEVL$:W$HOST$:srv1$MSG$:first");
    f.send("$LEVL$:E$HOST$:srv2$MSG$:second");
    f.send("$LEVL$:N$HOST$:srv3$MSG$:third");
    QCOMPARE(f.notifier.awayCount(), 3);
    QTRY_VERIFY(pixelsOf(*tray, kEmergency) > 20);
    QCOMPARE(tray->toolTip(), QStringLiteral("Quorvik: 3 new events"));

    // A right-click on the icon opens its menu; "Show" brings the window.
    QWidget *icon = iconWindow(*tray);
    QTest::mouseClick(icon, Qt::RightButton, {}, icon->rect().center());
    QMenu *menu = tray->contextMenu();
    QTRY_VERIFY(menu->isVisible());
    QAction *show = menu->actions().value(0);
    QCOMPARE(show->text(), QStringLiteral("Show"));
    QCOMPARE(menu->actions().value(1)->text(), QStringLiteral("Exit"));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(show).center());
    QTRY_VERIFY(f.form->isVisible() && f.form->isActiveWindow());

    // Seen: the count goes, the plain icon comes back.
    QTRY_COMPARE(f.notifier.awayCount(), 0);
    QTRY_COMPARE(pixelsOf(*tray, kEmergency), 0);
    QCOMPARE(tray->toolTip(), QStringLiteral("Quorvik"));
}

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
