// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A level's sound file is played by the real program on a real audio server
// (PulseAudio with a null sink, private to the test), and the program keeps
// taking events while it plays.
#include "../wave_file.h"
#include "quorvik_process.h"

#include <QStandardPaths>
#include <QtTest>

class LevelSoundTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        E2E_REQUIRE_TRAP_PORT();
        if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty())
            QSKIP("needs an audio server: Debian packages pulseaudio and pulseaudio-utils");
    }
    void init() { E2E_REQUIRE_FREE_TRAP_PORT(); }

    void soundPlaysWhileEventsGoOn() {
        e2e::QuorvikEnv env;
        const QString wave = env.root() + QStringLiteral("/warning.wav");
        QVERIFY(e2e::writeFile(wave, quorvik::testing::waveFile(4.0)));
        QVERIFY(e2e::writeFile(env.configPath(),
                               "[Global]\r\nLogfile=" + QFile::encodeName(env.logPath()) +
                                   "\r\nPopuplevel=0\r\n[Sound]\r\nS4=" + QFile::encodeName(wave) +
                                   "\r\nS6=\r\n"));
        QProcess *audio = startAudioServer(env);
        QVERIFY(audio);
        QVERIFY2(e2e::waitFor([&] { return pactl(env, {"info"}).contains("Server Name"); }, 10000),
                 "the audio server did not come up");

        QProcess *live = nullptr;
        const QString problem = env.startLive(&live);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));

        // A Note has no sound: nothing plays.
        QVERIFY(env.logsNote("silent"));
        QTest::qWait(500);
        QCOMPARE(playingStreams(env), 0);

        const QByteArray warning = "$LEVL$:W$HOST$:e2e$MSG$:with sound";
        QCOMPARE(e2e::sendDatagram(warning), warning.size());
        QVERIFY2(e2e::waitFor([&] { return playingStreams(env) > 0; }, 10000),
                 "no sound reached the audio server");
        // While it plays, the next events are taken in and logged.
        for (int k = 0; k < 5; ++k)
            QVERIFY(env.logsNote("during the sound " + QByteArray::number(k)));
        QVERIFY(playingStreams(env) > 0);
        QVERIFY(env.log().contains("Warning;"));
        e2e::QuorvikEnv::stop(audio);
    }

private:
    static QProcessEnvironment audioEnvironment(const e2e::QuorvikEnv &env) {
        QProcessEnvironment e = env.environment();
        e.insert(QStringLiteral("HOME"), env.root());
        return e;
    }
    QProcess *startAudioServer(const e2e::QuorvikEnv &env) {
        m_audio = std::make_unique<QProcess>();
        m_audio->setProcessEnvironment(audioEnvironment(env));
        m_audio->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_audio->start(QStringLiteral("pulseaudio"),
                       {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                        QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--log-level=error"),
                        QStringLiteral("--load=module-null-sink sink_name=e2e_null"),
                        QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1")});
        return m_audio->waitForStarted(10000) ? m_audio.get() : nullptr;
    }
    static QByteArray pactl(const e2e::QuorvikEnv &env, const QStringList &arguments) {
        QProcess process;
        process.setProcessEnvironment(audioEnvironment(env));
        process.start(QStringLiteral("pactl"), arguments);
        process.waitForFinished(5000);
        return process.readAllStandardOutput();
    }
    // Streams the audio server is playing (not corked).
    static int playingStreams(const e2e::QuorvikEnv &env) {
        const QList<QByteArray> blocks = pactl(env, {"list", "sink-inputs"}).split('\n');
        int playing = 0;
        for (const QByteArray &line : blocks)
            if (line.trimmed() == "Corked: no")
                ++playing;
        return playing;
    }

    std::unique_ptr<QProcess> m_audio;
};

E2E_TEST_MAIN(LevelSoundTest)
#include "tst_level_sound.moc"
