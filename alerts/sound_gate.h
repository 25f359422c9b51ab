// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "alerts/sound.h"

#include <QString>

#include <functional>
#include <memory>

class QThread;

namespace quorvik {

// Plays sounds on a thread of its own, so that a player which takes its time
// (a sound server that answers slowly, a player that returns only when its
// sound is over) never holds up the caller: play() returns at once.
//
// One sound at a time: a sound asked for while another is being played waits
// in the place of the one that waited before (the newest waits, the older is
// dropped), and a sound starts no sooner than kMinGapMs after the one before.
// A flood of events thus gives a few sounds a second at most, and the caller
// pays for each request no more than a lock.
class SoundGate : public SoundPlayer {
public:
    static constexpr int kMinGapMs = 250;
    // How long the end waits for a sound being handed to the device.
    static constexpr int kEndWaitMs = 2000;
    // Makes the player, on the gate's thread, when the first sound is due;
    // the player lives and dies there.
    using MakePlayer = std::function<std::unique_ptr<SoundPlayer>()>;

    // The sounds through Qt Multimedia (MultimediaSoundPlayer).
    SoundGate();
    explicit SoundGate(MakePlayer makePlayer);
    // Drops a waiting sound and waits for the one being played to be handed
    // to the device, kEndWaitMs at most.
    ~SoundGate() override;
    SoundGate(const SoundGate &) = delete;
    SoundGate &operator=(const SoundGate &) = delete;

    void play(const QString &path) override;

private:
    class Worker;
    struct Queue;
    std::shared_ptr<Queue> m_queue;
    std::unique_ptr<QThread> m_thread;
    Worker *m_worker = nullptr; // lives on m_thread
};

} // namespace quorvik
