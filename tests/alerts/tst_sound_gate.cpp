// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The level sounds of the real window under a flood of events, played
// through the sound gate by a player that holds on to each sound until the
// test lets it go, as a slow sound server or a player that returns at the end
// of its sound does.

#include "alerts/sound_gate.h"

#include "../main_window/form_fixture.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QScopeGuard>
#include <QThread>
#include <QWaitCondition>

using namespace quorvik;
using namespace quorvik::testing;

namespace {

// What the held players have been asked, shared with the test.
struct Held {
    QMutex mutex;
    QWaitCondition released;
    bool open = false; // play() returns at once
    QStringList played;
    QList<qint64> startedMs;
    bool onWindowThread = false;
    int playing = 0;
    int mostAtOnce = 0;
    QElapsedTimer clock;

    Held() { clock.start(); }
    QStringList playedSoFar() {
        const QMutexLocker lock(&mutex);
        return played;
    }
    void release() {
        const QMutexLocker lock(&mutex);
        open = true;
        released.wakeAll();
    }
};

class HeldPlayer : public SoundPlayer {
public:
    explicit HeldPlayer(Held &held) : m_held(held) {}
    void play(const QString &path) override {
        QMutexLocker lock(&m_held.mutex);
        m_held.played << path;
        m_held.startedMs << m_held.clock.elapsed();
        if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
            m_held.onWindowThread = true; // holding on here would hang the test
            return;
        }
        m_held.mostAtOnce = std::max(m_held.mostAtOnce, ++m_held.playing);
        while (!m_held.open)
            m_held.released.wait(&m_held.mutex);
        --m_held.playing;
    }

private:
    Held &m_held;
};

// A live window whose level sounds go through `gate`.
struct SoundFixture : FormFixture {
    explicit SoundFixture(SoundGate &gate) {
        writeConfig("[Global]\r\nPopuplevel=0\r\nLogfile=" + logPath().toLocal8Bit() +
                    "\r\n[Sound]\r\nS3=/s/alert.wav\r\nS4=/s/warn.wav\r\n");
        LiveSessionConfig c = windowConfig(dir.filePath(QStringLiteral("live.lock")));
        c.udpPort = 0;
        c.sounds = &gate;
        form.live(c);
        start();
    }
};

} // namespace

class SoundGateTest : public QObject {
    Q_OBJECT

private slots:
    void floodIsNotHeldUpByAPlayingSound();
    void aFewSoundsASecondAtMost();
};

// While the first sound plays, the window takes every further event; of the
// sounds asked for meanwhile only the newest plays, after the first.
void SoundGateTest::floodIsNotHeldUpByAPlayingSound() {
    Held held;
    {
        SoundGate gate([&held] { return std::make_unique<HeldPlayer>(held); });
        const auto letGo = qScopeGuard([&held] { held.release(); }); // before the gate ends
        SoundFixture f(gate);
        for (int i = 0; i < 500; ++i)
            f.send("$LEVL$:W$MSG$:flood " + QByteArray::number(i));
        f.send("$LEVL$:A$MSG$:last");
        f.settle();
        QCOMPARE(fullListOf(*f.form)->table()->eventCount(), 501);
        QTRY_COMPARE(held.playedSoFar(), QStringList{"/s/warn.wav"});
        QVERIFY(!held.onWindowThread);

        held.release();
        QTRY_COMPARE(held.playedSoFar(), (QStringList{"/s/warn.wav", "/s/alert.wav"}));
        QTest::qWait(3 * SoundGate::kMinGapMs);
        QCOMPARE(held.playedSoFar().size(), 2);
        QCOMPARE(held.mostAtOnce, 1);
    }
}

// Events for a second and more: the sounds start kMinGapMs apart or more.
void SoundGateTest::aFewSoundsASecondAtMost() {
    Held held;
    held.open = true;
    SoundGate gate([&held] { return std::make_unique<HeldPlayer>(held); });
    SoundFixture f(gate);
    QElapsedTimer flood;
    flood.start();
    for (int i = 0; flood.elapsed() < 1200; ++i) {
        f.send("$LEVL$:W$MSG$:flood " + QByteArray::number(i));
        QCoreApplication::processEvents();
    }
    QTest::qWait(2 * SoundGate::kMinGapMs);
    const QMutexLocker lock(&held.mutex);
    QVERIFY(held.played.size() >= 2);
    // To the millisecond the clock reads.
    for (qsizetype k = 1; k < held.startedMs.size(); ++k)
        QVERIFY2(held.startedMs[k] - held.startedMs[k - 1] >= SoundGate::kMinGapMs - 1,
                 qPrintable(QString::number(held.startedMs[k] - held.startedMs[k - 1])));
}

QTEST_MAIN(SoundGateTest)
#include "tst_sound_gate.moc"
