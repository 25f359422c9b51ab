// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "alerts/event_notifier.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace quorvik {

// One desktop notification as shown: its summary line, its body and the
// level whose tab activating it brings forward.
struct ShownNotice {
    QString summary;
    QString body;
    int level = 0;
};

// At most one notification a second: the first event after a quiet second
// is shown at once; those that follow within the second are gathered and
// shown together when it is over ("17 more events", with the most serious
// of them). Times are milliseconds of a steady clock, handed in.
class NoticeThrottle {
public:
    static constexpr std::int64_t kIntervalMs = 1000;

    // What to show now for `notice` arriving at `nowMs`; nothing when it
    // joins the gathered ones.
    std::optional<ShownNotice> offer(const Notice &notice, std::int64_t nowMs);
    // When the gathered ones are to be shown; nothing while none are.
    std::optional<std::int64_t> dueAt() const;
    // The gathered ones as one notification, once due at `nowMs`.
    std::optional<ShownNotice> takeDue(std::int64_t nowMs);

    // The summary and body of one event.
    static ShownNotice single(const Notice &notice);

private:
    std::optional<std::int64_t> m_lastShown;
    int m_gathered = 0;
    Notice m_mostSerious; // of the gathered ones; the earliest of its level
};

} // namespace quorvik
