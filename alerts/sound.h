// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/level.h"

#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <string>

namespace quorvik {

// Plays one sound file; the seam between the program and the audio device.
class SoundPlayer {
public:
    virtual ~SoundPlayer();
    virtual void play(const QString &path) = 0;
};

// Plays wave files asynchronously with Qt Multimedia. One sound at a time: a
// new file stops the one playing, the file that is playing plays on to its
// end. A file that can't be played plays nothing and reports nothing. Keeps
// one sound effect per path, at most kMaxEffects of them, as its children.
// Starting a sound may wait for the sound server: the program plays through
// a SoundGate, on a thread of the gate's.
class MultimediaSoundPlayer : public QObject, public SoundPlayer {
public:
    static constexpr int kMaxEffects = 8;

    MultimediaSoundPlayer();
    ~MultimediaSoundPlayer() override;
    MultimediaSoundPlayer(const MultimediaSoundPlayer &) = delete;
    MultimediaSoundPlayer &operator=(const MultimediaSoundPlayer &) = delete;

    void play(const QString &path) override;

private:
    class Pool;
    std::unique_ptr<Pool> m_pool;
};

// Plays one sound file through `player`; an empty path plays nothing.
void playSoundFile(SoundPlayer &player, const QString &path);

// Plays the sound file of level `index` (0..6) from `levelSounds` (8-bit
// text paths) through `player`. An empty entry or an index out of range
// plays nothing.
void playLevelSound(SoundPlayer &player, const std::array<std::string, kLevelCount> &levelSounds,
                    int index);

} // namespace quorvik
