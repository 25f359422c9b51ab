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
// children of `owner`, so they all go with the pool.
class MultimediaSoundPlayer::Pool {
public:
    QSoundEffect *effectFor(const QString &path);
    int size() const { return static_cast<int>(entries_.size()); }

private:
    struct Entry {
        QString path;
        QPointer<QSoundEffect> effect;
    };

    QSoundEffect *create(const QString &path);
    void dropUnusable();

    QObject owner_;
    std::vector<Entry> entries_;
};

QSoundEffect *MultimediaSoundPlayer::Pool::effectFor(const QString &path) {
    dropUnusable();
    auto found = std::find_if(entries_.begin(), entries_.end(),
                              [&path](const Entry &entry) { return entry.path == path; });
    if (found != entries_.end()) {
        Entry used = *found;
        entries_.erase(found);
        entries_.push_back(used);
        return used.effect;
    }
    if (size() >= kMaxEffects) {
        delete entries_.front().effect.data();
        entries_.erase(entries_.begin());
    }
    entries_.push_back({path, create(path)});
    return entries_.back().effect;
}

// The effect loads its file in the background and plays once it is ready.
// A file that can't be loaded deletes its effect, so a later call tries again.
QSoundEffect *MultimediaSoundPlayer::Pool::create(const QString &path) {
    auto *effect = new QSoundEffect(&owner_);
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

void MultimediaSoundPlayer::Pool::dropUnusable() {
    std::erase_if(entries_, [](const Entry &entry) {
        return entry.effect.isNull() || entry.effect->status() == QSoundEffect::Error;
    });
}

MultimediaSoundPlayer::MultimediaSoundPlayer() : pool_(std::make_unique<Pool>()) {}

MultimediaSoundPlayer::~MultimediaSoundPlayer() = default;

void MultimediaSoundPlayer::play(const QString &path) {
    if (!QFileInfo(path).isFile())
        return;
    QSoundEffect *effect = pool_->effectFor(path);
    // A new effect is still loading and plays when ready (see Pool::create).
    if (effect->status() == QSoundEffect::Ready)
        effect->play();
}

int MultimediaSoundPlayer::effectCount() const {
    return pool_->size();
}

namespace {

SoundPlayer *&installedPlayer() {
    static SoundPlayer *player = nullptr;
    return player;
}

std::unique_ptr<MultimediaSoundPlayer> &defaultPlayer() {
    static std::unique_ptr<MultimediaSoundPlayer> player;
    return player;
}

// The default player is created on first use and destroyed with the
// application object, while Qt Multimedia is still usable.
SoundPlayer &currentPlayer() {
    if (SoundPlayer *player = installedPlayer())
        return *player;
    std::unique_ptr<MultimediaSoundPlayer> &fallback = defaultPlayer();
    if (!fallback) {
        fallback = std::make_unique<MultimediaSoundPlayer>();
        qAddPostRoutine([] { defaultPlayer().reset(); });
    }
    return *fallback;
}

} // namespace

void setSoundPlayer(SoundPlayer *player) {
    installedPlayer() = player;
}

void PlaySoundFile(const QString &path) {
    if (!path.isEmpty())
        currentPlayer().play(path);
}

void PlayLevelSound(const std::array<std::string, kLevelCount> &levelSounds, int index) {
    if (index < 0 || index >= kLevelCount)
        return;
    const std::string &path = levelSounds[static_cast<std::size_t>(index)];
    if (!path.empty())
        PlaySoundFile(QString::fromLocal8Bit(path));
}

} // namespace quorvik
