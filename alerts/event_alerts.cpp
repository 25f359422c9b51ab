// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "alerts/event_alerts.h"

#include "core/visible_text.h"

namespace quorvik {

namespace {

QString shown(std::string_view bytes) {
    const std::string text = visibleText(bytes);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

void EventAlerts::take(const EventBatch &batch) {
    for (const Event &event : *batch) {
        const EventActions &actions = event.actions;
        if (!actions.shown) // hidden by a rule: logged and forwarded only
            continue;
        const Level &level = *event.level;
        const bool serious = level.index < m_settings.popupLevel;
        if (actions.popup.value_or(serious) && m_seams.popup)
            alert(event);
        if (m_seams.notifier && m_seams.away && m_seams.away()) {
            m_seams.notifier->countAway(level.index);
            if (actions.notify.value_or(serious && m_settings.notify))
                m_seams.notifier->notify(
                    {level.index, shown(level.name), shown(event.host), shown(event.message)});
        }
        if (!m_seams.sounds)
            continue;
        if (actions.sound)
            playSoundFile(*m_seams.sounds, QString::fromLocal8Bit(*actions.sound));
        else
            playLevelSound(*m_seams.sounds, m_settings.levelSounds, level.index);
    }
}

void EventAlerts::alert(const Event &event) {
    QStringList fields;
    for (const std::string *field : event.fields())
        fields << shown(*field);
    m_seams.popup->show(shown(event.level->name), fields);
}

} // namespace quorvik
