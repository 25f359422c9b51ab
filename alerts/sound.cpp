// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "alerts/sound.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QObject>
#include <QPointer>
#include <QSoundEffect>

#include <QUrl>
#include <memory>

#include <algorithm>
#include <vector>

namespace quorvik {

SoundPlayer::~SoundPlayer() = default;

// One sound effect per path, the most recently used last. The effects are
// children of `owner`, so they all go with it.
class MultimediaSoundPlayer::Pool {
public:
    explicit Pool(QObject &owner) : m_owner(owner) {}
    QSoundEffect *effectFor(const QString &path);
    // Stops every effect but `keep`.
    void stopOthers(const QSoundEffect *keep);
    int size() const { return static_cast<int>(m_entries.size()); }

private:
    struct Entry {
        QString path;
        QPointer<QSoundEffect> effect;
    };

    QSoundEffect *create(const QString &path);
    void dropUnusable();

    QObject &m_owner;
    std::vector<Entry> m_entries;
};

QSoundEffect *MultimediaSoundPlayer::Pool::effectFor(const QString &path) {
    dropUnusable();
    auto found = std::find_if(m_entries.begin(), m_entries.end(),
                              [&path](const Entry &entry) { return entry.path == path; });
    if (found != m_entries.end()) {
        Entry used = *found;
        m_entries.erase(found);
        m_entries.push_back(used);
        return used.effect;
    }
    if (size() >= kMaxEffects) {
        delete m_entries.front().effect.data();
        m_entries.erase(m_entries.begin());
    }
    m_entries.push_back({path, create(path)});
    return m_entries.back().effect;
}

// The effect loads its file in the background and plays once it is ready.
// A file that can't be loaded deletes its effect, so a later call tries again.
QSoundEffect *MultimediaSoundPlayer::Pool::create(const QString &path) {
    auto *effect = new QSoundEffect(&m_owner);
    // Loading passes through other states first; play at the first Ready.
    auto playWhenReady = std::make_shared<bool>(true);
    QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect, playWhenReady] {
        if (effect->status() == QSoundEffect::Error) {
            effect->deleteLater();
        } else if (effect->status() == QSoundEffect::Ready && *playWhenReady) {
            *playWhenReady = false;
            effect->play();
        }
    });
    effect->setSource(QUrl::fromLocalFile(path));
    return effect;
}

void MultimediaSoundPlayer::Pool::stopOthers(const QSoundEffect *keep) {
    for (const Entry &entry : m_entries)
        if (entry.effect && entry.effect != keep && entry.effect->isPlaying())
            entry.effect->stop();
}

void MultimediaSoundPlayer::Pool::dropUnusable() {
    std::erase_if(m_entries, [](const Entry &entry) {
        return entry.effect.isNull() || entry.effect->status() == QSoundEffect::Error;
    });
}

MultimediaSoundPlayer::MultimediaSoundPlayer() : m_pool(std::make_unique<Pool>(*this)) {}

MultimediaSoundPlayer::~MultimediaSoundPlayer() = default;

void MultimediaSoundPlayer::play(const QString &path) {
    if (!QFileInfo(path).isFile())
        return;
    QSoundEffect *effect = m_pool->effectFor(path);
    // One sound at a time: another one stops; the same one, still playing,
    // plays on rather than starting over.
    m_pool->stopOthers(effect);
    // A new effect is still loading and plays when ready (see Pool::create).
    if (effect->status() == QSoundEffect::Ready && !effect->isPlaying())
        effect->play();
}

void playSoundFile(SoundPlayer &player, const QString &path) {
    if (!path.isEmpty())
        player.play(path);
}

void playLevelSound(SoundPlayer &player, const std::array<std::string, kLevelCount> &levelSounds,
                    int index) {
    if (index < 0 || index >= kLevelCount)
        return;
    const std::string &path = levelSounds[static_cast<std::size_t>(index)];
    if (!path.empty())
        playSoundFile(player, QString::fromLocal8Bit(path));
}

} // namespace quorvik
