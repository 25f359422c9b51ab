// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "alerts/sound.h"

#include <QAudioDevice>
#include <QDataStream>
#include <QFile>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using quorvik::kLevelCount;
using quorvik::MultimediaSoundPlayer;
using quorvik::playLevelSound;
using quorvik::playSoundFile;

namespace {

using LevelSounds = std::array<std::string, kLevelCount>;

class RecordingPlayer : public quorvik::SoundPlayer {
public:
    void play(const QString &path) override { played << path; }
    QStringList played;
};

LevelSounds allSounds() {
    LevelSounds sounds;
    for (int i = 0; i < kLevelCount; ++i)
        sounds[static_cast<std::size_t>(i)] = "/sounds/level" + std::to_string(i) + ".wav";
    return sounds;
}

// `tenths` tenths of a second of a quiet square wave, 8 kHz mono 16-bit PCM.
bool writeWave(const QString &path, quint32 tenths = 1) {
    constexpr quint32 kRate = 8000;
    const quint32 samples = kRate / 10 * tenths;
    const quint32 dataBytes = samples * 2;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << kRate << quint32(kRate * 2) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    for (quint32 i = 0; i < samples; ++i)
        out << qint16((i / 20) % 2 ? 2000 : -2000);
    return out.status() == QDataStream::Ok;
}

// The sound effects the player keeps: its children.
int effectCount(const MultimediaSoundPlayer &player) {
    return int(player.findChildren<QSoundEffect *>().size());
}

bool anyPlaying(const MultimediaSoundPlayer &player) {
    const QList<QSoundEffect *> effects = player.findChildren<QSoundEffect *>();
    return std::any_of(effects.begin(), effects.end(),
                       [](const QSoundEffect *effect) { return effect->isPlaying(); });
}

} // namespace

class SoundTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { recorder_.played.clear(); }
    void levelSoundPlaysThatLevelsFile_data();
    void levelSoundPlaysThatLevelsFile();
    void emptyEntryPlaysNothing();
    void indexOutOfRangePlaysNothing();
    void levelSoundPathIsConvertedFrom8BitText();
    void emptyPathPlaysNothing();
    void soundFileGoesToInstalledPlayer();
    void missingFileKeepsNoEffect();
    void realWaveFilePlays();
    void atMostMaxEffectsKept();

private:
    RecordingPlayer recorder_;
};

void SoundTest::levelSoundPlaysThatLevelsFile_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < kLevelCount; ++i)
        QTest::addRow("level %d", i) << i;
}

void SoundTest::levelSoundPlaysThatLevelsFile() {
    QFETCH(int, index);
    playLevelSound(recorder_, allSounds(), index);
    QCOMPARE(recorder_.played, QStringList{QString("/sounds/level%1.wav").arg(index)});
}

void SoundTest::emptyEntryPlaysNothing() {
    LevelSounds sounds = allSounds();
    sounds[3].clear();
    playLevelSound(recorder_, sounds, 3);
    QVERIFY(recorder_.played.isEmpty());
    playLevelSound(recorder_, LevelSounds{}, 0);
    QVERIFY(recorder_.played.isEmpty());
}

void SoundTest::indexOutOfRangePlaysNothing() {
    playLevelSound(recorder_, allSounds(), -1);
    playLevelSound(recorder_, allSounds(), kLevelCount);
    QVERIFY(recorder_.played.isEmpty());
}

void SoundTest::levelSoundPathIsConvertedFrom8BitText() {
    LevelSounds sounds;
    sounds[4] = QString::fromUtf16(u"/sounds/Gr\u00fcn.wav").toLocal8Bit().toStdString();
    playLevelSound(recorder_, sounds, 4);
    QCOMPARE(recorder_.played, QStringList{QString::fromUtf16(u"/sounds/Gr\u00fcn.wav")});
}

void SoundTest::emptyPathPlaysNothing() {
    playSoundFile(recorder_, QString());
    QVERIFY(recorder_.played.isEmpty());
}

void SoundTest::soundFileGoesToInstalledPlayer() {
    playSoundFile(recorder_, "/sounds/test.wav");
    playSoundFile(recorder_, "/sounds/test.wav");
    QCOMPARE(recorder_.played, QStringList({"/sounds/test.wav", "/sounds/test.wav"}));
}

void SoundTest::missingFileKeepsNoEffect() {
    MultimediaSoundPlayer player;
    player.play("/nonexistent/quorvik-test.wav");
    player.play(QString());
    QCOMPARE(effectCount(player), 0);
}

void SoundTest::realWaveFilePlays() {
    if (QMediaDevices::audioOutputs().isEmpty())
        QSKIP("no audio output device");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("beep.wav"));
    QVERIFY(writeWave(path, 50)); // long enough to be seen playing
    MultimediaSoundPlayer player;
    QVERIFY(!anyPlaying(player));
    player.play(path);
    QTRY_VERIFY(anyPlaying(player));
}

// One effect per file, the least recently used going first.
void SoundTest::atMostMaxEffectsKept() {
    if (QMediaDevices::audioOutputs().isEmpty())
        QSKIP("no audio output device");
    QTemporaryDir dir;
    MultimediaSoundPlayer player;
    for (int i = 0; i < MultimediaSoundPlayer::kMaxEffects + 2; ++i) {
        const QString path = dir.filePath(QString("beep%1.wav").arg(i));
        QVERIFY(writeWave(path));
        player.play(path);
        player.play(path);
        QCOMPARE(effectCount(player), std::min(i + 1, MultimediaSoundPlayer::kMaxEffects));
    }
}

QTEST_MAIN(SoundTest)
#include "tst_sound.moc"
