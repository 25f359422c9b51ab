// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window on a desktop with a real window manager
// (with_window_manager.sh), which frames its windows and decides where the
// keyboard goes, as on the operator's desktop.

#include "form_fixture.h"

#include "alerts/alert_popup.h"
#include "core/profile.h"

#include <QProcess>
#include <QScreen>
#include <QTimer>

using namespace quorvik;
using namespace quorvik::testing;

namespace {

// The stored geometry: top, left, height, width in twips.
QList<std::string> storedGeometry(const FormFixture &f) {
    const Profile profile = Profile::parse(f.readFile(f.configPath()).toStdString());
    QList<std::string> values;
    for (const char *key : {"WinTop", "WinLeft", "WinHeight", "WinWidth"})
        values << profile.value("Global", key, "<none>");
    return values;
}

// Input through the X server, as a real keyboard or mouse gives it.
bool xdotool(const QStringList &arguments) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    return process.waitForFinished(10000) && process.exitCode() == 0;
}

} // namespace

class WindowManagerTest : public QObject {
    Q_OBJECT

private slots:
    void geometryStaysTheSameAcrossStarts();
    void popupLeavesTheKeyboardWhereItIs();
};

// Quit and start again, twice: the window comes back where it was, as large
// as it was, frame included.
void WindowManagerTest::geometryStaysTheSameAcrossStarts() {
    FormFixture f("[Global]\r\nWinTop=1500\r\nWinLeft=3000\r\nWinHeight=6000\r\nWinWidth=9000\r\n");
    QList<std::string> stored;
    for (int start = 0; start < 3; ++start) {
        if (start > 0) { // the next start of the program
            LiveSessionConfig c = f.windowConfig(f.dir.filePath(QStringLiteral("live.lock")));
            c.udpPort = 0;
            f.form.live(c);
        }
        f.start();
        // Framed by the window manager.
        QTRY_VERIFY(f.form->frameGeometry().size() != f.form->size());
        QTRY_COMPARE(f.form->frameGeometry(), QRect(200, 100, 600, 400));
        QVERIFY(f.form->close());
        if (start > 0)
            QCOMPARE(storedGeometry(f), stored);
        stored = storedGeometry(f);
    }
    QCOMPARE(stored, (QList<std::string>{"1500", "3000", "6000", "9000"}));
}

// Typing into the filter bar while a serious event arrives: the popup comes
// forward without the keyboard, blinks and sits centred at once, and takes
// Return only once the operator has clicked it.
void WindowManagerTest::popupLeavesTheKeyboardWhereItIs() {
    FormFixture f;
    f.writeConfig("[Global]\r\nPopuplevel=3\r\nLogfile=" + f.logPath().toLocal8Bit() + "\r\n");
    f.start();
    f.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
    QLineEdit *query = queryEditOf(filterBarOf(*f.form));
    QVERIFY(xdotool({"key", "ctrl+shift+f"}));
    QTRY_VERIFY(query->hasFocus());
    QVERIFY(xdotool({"type", "disk"}));
    QTRY_COMPARE(query->text(), QStringLiteral("disk"));

    f.send("$LEVL$:C$HOST$:srv1$MSG$:serious");
    auto *popup = shownWindow<AlertPopup>();
    QVERIFY(popup);
    QVERIFY(QTest::qWaitForWindowExposed(popup));
    QVERIFY(control<QTimer>(popup, QStringLiteral("Timer1"))->isActive());
    const QPoint screenCentre = popup->screen()->geometry().center();
    QTRY_VERIFY2((popup->frameGeometry().center() - screenCentre).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("%1,%2 %3x%4 in %5,%6 %7x%8")
                                .arg(popup->frameGeometry().x())
                                .arg(popup->frameGeometry().y())
                                .arg(popup->frameGeometry().width())
                                .arg(popup->frameGeometry().height())
                                .arg(popup->geometry().x())
                                .arg(popup->geometry().y())
                                .arg(popup->width())
                                .arg(popup->height())));

    // What the operator goes on typing, Return included, stays in the bar.
    QVERIFY(xdotool({"type", " full"}));
    QVERIFY(xdotool({"key", "Return"}));
    QVERIFY(xdotool({"type", "!"}));
    QTRY_COMPARE(query->text(), QStringLiteral("disk full!"));
    QVERIFY(f.form->isActiveWindow());
    QVERIFY(popup->isVisible());

    // A click chooses the popup; now Return is its OK.
    const QPoint inside = popup->mapToGlobal(popup->rect().center());
    QVERIFY(xdotool({"mousemove", QString::number(inside.x()), QString::number(inside.y()),
                     "click", "1"}));
    QTRY_VERIFY(popup->isActiveWindow());
    QPointer<AlertPopup> chosen = popup;
    QVERIFY(xdotool({"key", "Return"}));
    QTRY_VERIFY(chosen.isNull());
    QCOMPARE(query->text(), QStringLiteral("disk full!"));
}

QTEST_MAIN(WindowManagerTest)
#include "tst_window_manager.moc"
