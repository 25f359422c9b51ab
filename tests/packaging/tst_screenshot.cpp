// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tests/main_window/form_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QtTest>

using namespace quorvik;
using namespace quorvik::testing;

// The AppStream screenshot: the real main window, widened, with a
// few events of every kind, in the colour-coded full list, saved where the
// packaging folder of the build keeps it (packaging/screenshots/ holds the copy
// made here).
class ScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void mainWindowWithSampleEvents() {
        FormFixture f;
        f.start();
        f.form->resize(900, 520); // wide enough for whole messages
        const char *const events[] = {
            "$LEVL$:I$HOST$:srv7$SOURCE$:backup$DEVC$:disk_2$MSG$:nightly backup finished",
            "$LEVL$:N$HOST$:desk12$SOURCE$:login$DEVC$:console$MSG$:operator signed in",
            "$LEVL$:W$HOST$:srv7$SOURCE$:backup$DEVC$:disk_2$MSG$:quota reached (91 %)",
            "$LEVL$:A$HOST$:gw1$SOURCE$:ups$DEVC$:battery$MSG$:on battery power",
            "$LEVL$:C$HOST$:db3$SOURCE$:postgres$DEVC$:wal$MSG$:archive command failing",
            "$LEVL$:E$HOST$:core1$SOURCE$:router$DEVC$:eth0$MSG$:link down",
            "$LEVL$:P$HOST$:srv2$SOURCE$:kernel$DEVC$:cpu0$MSG$:machine check exception",
        };
        for (const char *event : events)
            f.send(event);
        f.form->setViewMode(MainWindow::ViewMode::FullList);
        f.settle();

        const QImage shot = f.form->grab().toImage();
        QCOMPARE(shot.size(), f.form->size() * f.form->devicePixelRatio());
        // Rows in their level colours: far more than the few colours of an
        // empty window.
        QSet<QRgb> colours;
        for (int y = 0; y < shot.height(); y += 2)
            for (int x = 0; x < shot.width(); x += 2)
                colours.insert(shot.pixel(x, y));
        QVERIFY2(colours.size() > 20, "the full list shows no coloured rows");

        const QString path = QStringLiteral(QUORVIK_SCREENSHOT_FILE);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QVERIFY(shot.save(path));
    }
};

QTEST_MAIN(ScreenshotTest)
#include "tst_screenshot.moc"
