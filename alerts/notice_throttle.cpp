// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "alerts/notice_throttle.h"

namespace quorvik {

namespace {

QString describe(const Notice &notice) {
    return QStringLiteral("%1 from %2").arg(notice.levelName, notice.host);
}

} // namespace

ShownNotice NoticeThrottle::single(const Notice &notice) {
    return {describe(notice), notice.message, notice.level};
}

std::optional<ShownNotice> NoticeThrottle::offer(const Notice &notice, std::int64_t nowMs) {
    if (m_gathered == 0 && (!m_lastShown || nowMs - *m_lastShown >= kIntervalMs)) {
        m_lastShown = nowMs;
        return single(notice);
    }
    if (m_gathered == 0 || notice.level < m_mostSerious.level)
        m_mostSerious = notice;
    ++m_gathered;
    return std::nullopt;
}

std::optional<std::int64_t> NoticeThrottle::dueAt() const {
    if (m_gathered == 0)
        return std::nullopt;
    return *m_lastShown + kIntervalMs;
}

std::optional<ShownNotice> NoticeThrottle::takeDue(std::int64_t nowMs) {
    const std::optional<std::int64_t> due = dueAt();
    if (!due || nowMs < *due)
        return std::nullopt;
    const int count = std::exchange(m_gathered, 0);
    m_lastShown = nowMs;
    const QString summary =
        count == 1 ? QStringLiteral("1 more event") : QStringLiteral("%1 more events").arg(count);
    return ShownNotice{summary,
                       describe(m_mostSerious) + QStringLiteral(": ") + m_mostSerious.message,
                       m_mostSerious.level};
}

} // namespace quorvik
