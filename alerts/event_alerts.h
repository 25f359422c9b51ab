// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "alerts/alert_popup.h"
#include "alerts/event_notifier.h"
#include "alerts/sound.h"
#include "core/event_sink.h"
#include "core/settings.h"

#include <functional>

namespace quorvik {

// The alerts' share of the road, on the window's thread: an event above the
// popup level opens the popup; while the operator is away every event counts
// in the tray and a serious one becomes a desktop notification; each level
// plays its sound. The rules' choices for an event (its actions) come
// first: a hidden event alerts in no way; a popup, notification or sound
// the rules chose replaces the level's (a notification still only while the
// operator is away).
class EventAlerts : public EventSink {
public:
    struct Seams {
        AlertDisplay *popup = nullptr;
        EventNotifier *notifier = nullptr;
        SoundPlayer *sounds = nullptr;
        // Whether the operator is away from the window (minimised, or no
        // window of the program active).
        std::function<bool()> away;
    };

    explicit EventAlerts(Seams seams) : m_seams(std::move(seams)) {}

    void setSettings(const Settings &settings) { m_settings = settings; }
    void take(const EventBatch &batch) override;

private:
    void alert(const Event &event);

    Seams m_seams;
    Settings m_settings;
};

} // namespace quorvik
