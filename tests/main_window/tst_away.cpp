// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the window tells its notifier: events while it is away, none while
// the operator is at it, and coming forward when a notification or the tray
// asks.

#include "form_fixture.h"

#include <QApplication>
#include <QTabWidget>

using namespace quorvik;
using namespace quorvik::testing;

namespace {

class RecordingNotifier : public EventNotifier {
public:
    Handlers handlers;
    QList<int> counted;
    QList<Notice> notices;
    int activations = 0;

    void setHandlers(Handlers h) override { handlers = std::move(h); }
    void setLevelColours(const LevelColours &) override {}
    void countAway(int level) override { counted << level; }
    void notify(const Notice &notice) override { notices << notice; }
    void windowActivated() override { ++activations; }
    void closeAll() override {}
};

struct AwayFixture : FormFixture {
    explicit AwayFixture(const QByteArray &global, bool historyMode = false)
        : FormFixture({}, historyMode) {
        LiveSessionConfig c = windowConfig(dir.filePath(QStringLiteral("live.lock")));
        c.udpPort = 0;
        c.notifier = &notifier;
        if (!historyMode)
            form.live(c);
        writeConfig("[Global]\r\nPopuplevel=2\r\nLogfile=" + logPath().toLocal8Bit() + "\r\n" +
                    global);
        QVERIFY(load());
        // The windows of the test before have gone: none of the program's is active.
        QTRY_VERIFY(!QApplication::activeWindow());
    }
    void activate() {
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    RecordingNotifier notifier;
};

} // namespace

class TestAway : public QObject {
    Q_OBJECT

private slots:
    void awayEventsAreCountedSeriousOnesNotified_data();
    void awayEventsAreCountedSeriousOnesNotified();
    void nothingWhileActive();
    void notificationBringsTheWindowForwardOnItsTab();
    void trayExitAsksTheQuitQuestion();
};

void TestAway::awayEventsAreCountedSeriousOnesNotified_data() {
    QTest::addColumn<QByteArray>("global");
    QTest::addColumn<bool>("history");
    QTest::addColumn<int>("counted");
    QTest::addColumn<int>("notified");
    QTest::newRow("notifications on") << QByteArray() << false << 3 << 1;
    QTest::newRow("Notify=0") << QByteArray("Notify=0\r\n") << false << 3 << 0;
    QTest::newRow("history copy") << QByteArray() << true << 0 << 0;
}

void TestAway::awayEventsAreCountedSeriousOnesNotified() {
    QFETCH(QByteArray, global);
    QFETCH(bool, history);
    AwayFixture f(global, history);
    // Never shown: no window of the program is active.
    f.send("$LEVL$:N$HOST$:srv1$MSG$:note");
    f.send("$LEVL$:P$HOST$:srv7$MSG$:disk \xe2\x80\xae full");
    f.send("$LEVL$:C$HOST$:srv2$MSG$:below the popup level");
    QTEST(int(f.notifier.counted.size()), "counted");
    QTEST(int(f.notifier.notices.size()), "notified");
    if (f.notifier.counted.size() == 3)
        QCOMPARE(f.notifier.counted, (QList<int>{6, 1, 2}));
    if (!f.notifier.notices.isEmpty()) {
        const Notice &n = f.notifier.notices.first();
        QCOMPARE(n.level, 1);
        QCOMPARE(n.levelName, QStringLiteral("Panic"));
        QCOMPARE(n.host, QStringLiteral("srv7"));
        QCOMPARE(n.message, QStringLiteral("disk [U+202E] full"));
    }
}

void TestAway::nothingWhileActive() {
    AwayFixture f({});
    f.activate();
    QVERIFY(f.notifier.activations > 0);
    f.send("$LEVL$:E$HOST$:srv1$MSG$:seen on screen");
    QVERIFY(f.notifier.counted.isEmpty());
    QVERIFY(f.notifier.notices.isEmpty());

    f.form->showMinimized();
    QTRY_VERIFY(f.form->isMinimized());
    f.send("$LEVL$:E$HOST$:srv1$MSG$:while minimised");
    QCOMPARE(f.notifier.notices.size(), 1);
}

void TestAway::notificationBringsTheWindowForwardOnItsTab() {
    AwayFixture f({});
    f.send("$LEVL$:P$HOST$:srv7$MSG$:panic");
    f.send("$LEVL$:N$HOST$:srv1$MSG$:a later note");
    QCOMPARE(f.notifier.notices.size(), 1);
    f.notifier.handlers.showWindow(f.notifier.notices.first().level);
    QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
    QCOMPARE(tabStripOf(*f.form)->currentIndex(), 1);
    QCOMPARE(levelGridOf(*f.form, 1)->table()->cellText(1, 4), QStringLiteral(" panic"));
}

void TestAway::trayExitAsksTheQuitQuestion() {
    AwayFixture f({});
    f.activate();
    f.boxes.answers = {false};
    f.notifier.handlers.quit();
    QCOMPARE(f.boxes.questions.size(), 1);
    QCOMPARE(f.boxes.questions.first().text, QStringLiteral("Really quit Quorvik ?"));
    QVERIFY(f.form->isVisible());
}

QTEST_MAIN(TestAway)
#include "tst_away.moc"
