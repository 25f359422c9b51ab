// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window on a desktop with a real window manager
// (with_window_manager.sh), which frames its windows and decides where the
// keyboard goes, as on the operator's desktop.

#include "form_fixture.h"

#include "core/profile.h"

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

} // namespace

class WindowManagerTest : public QObject {
    Q_OBJECT

private slots:
    void geometryStaysTheSameAcrossStarts();
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

QTEST_MAIN(WindowManagerTest)
#include "tst_window_manager.moc"
