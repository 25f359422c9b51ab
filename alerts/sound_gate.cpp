// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "alerts/sound_gate.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <optional>

namespace quorvik {

// What the caller and the gate's thread share: whether a sound is under way
// (being played, or its gap not yet over) and the one waiting for it.
struct SoundGate::Queue {
    QMutex mutex;
    bool busy = false;
    bool closing = false;
    std::optional<QString> waiting;
};

// Plays one sound after the other on the gate's thread.
class SoundGate::Worker : public QObject {
public:
    Worker(MakePlayer makePlayer, std::shared_ptr<Queue> queue)
        : m_makePlayer(std::move(makePlayer)), m_queue(std::move(queue)) {}

    void playNow(const QString &path) {
        if (!m_player)
            m_player = m_makePlayer();
        QElapsedTimer started;
        started.start();
        if (m_player)
            m_player->play(path);
        // The next one after the gap, counted from this one's start; through
        // the event loop, so the player's own events are seen to meanwhile.
        const qint64 left = kMinGapMs - started.elapsed();
        QTimer::singleShot(int(std::max<qint64>(0, left)), Qt::PreciseTimer, this,
                           [this] { playNext(); });
    }

private:
    void playNext() {
        QString path;
        {
            const QMutexLocker lock(&m_queue->mutex);
            if (!m_queue->waiting || m_queue->closing) {
                m_queue->busy = false;
                return;
            }
            path = *std::exchange(m_queue->waiting, std::nullopt);
        }
        playNow(path);
    }

    MakePlayer m_makePlayer;
    std::shared_ptr<Queue> m_queue;
    std::unique_ptr<SoundPlayer> m_player;
};

SoundGate::SoundGate()
    : SoundGate([] { return std::make_unique<MultimediaSoundPlayer>(); }) {}

SoundGate::SoundGate(MakePlayer makePlayer)
    : m_queue(std::make_shared<Queue>()), m_thread(std::make_unique<QThread>()) {
    m_thread->setObjectName(QStringLiteral("sounds"));
    m_worker = new Worker(std::move(makePlayer), m_queue);
    m_worker->moveToThread(m_thread.get());
    // The worker, and with it the player, goes on its own thread.
    QObject::connect(m_thread.get(), &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
}

SoundGate::~SoundGate() {
    {
        const QMutexLocker lock(&m_queue->mutex);
        m_queue->closing = true;
        m_queue->waiting.reset();
    }
    m_thread->quit();
    // A player that never returns (a sound server that hangs) must not keep
    // the program from ending: its thread is then left to the process's end.
    if (!m_thread->wait(QDeadlineTimer(kEndWaitMs)))
        (void)m_thread.release();
}

void SoundGate::play(const QString &path) {
    {
        const QMutexLocker lock(&m_queue->mutex);
        if (m_queue->closing)
            return;
        if (m_queue->busy) {
            m_queue->waiting = path;
            return;
        }
        m_queue->busy = true;
    }
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, path] { worker->playNow(path); }, Qt::QueuedConnection);
}

} // namespace quorvik
