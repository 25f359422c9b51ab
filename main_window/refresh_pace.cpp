// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "main_window/refresh_pace.h"

#include "core/hand_on_pace.h"

#include <algorithm>
#include <utility>

namespace quorvik {

namespace {

constexpr int kQuietMs = HandOnPace::kStreamMs * 3 / 2; // above the stream's pace
constexpr int kStreamRefreshMs = 250;
constexpr int kFloodRefreshMs = 1000;
constexpr int kFloodEvents = 100;

} // namespace

int RefreshPace::delayAfterBatch() {
    const bool quiet = !m_lastBatch.isValid() || m_lastBatch.elapsed() >= kQuietMs;
    m_lastBatch.start();
    if (quiet)
        return 0;
    const int pace = m_flooded ? kFloodRefreshMs : kStreamRefreshMs;
    const qint64 since = m_lastRefresh.isValid() ? m_lastRefresh.elapsed() : pace;
    return int(std::clamp<qint64>(pace - since, 0, pace));
}

void RefreshPace::refreshed() {
    m_lastRefresh.start();
    m_flooded = std::exchange(m_shownSinceRefresh, 0) > kFloodEvents;
}

} // namespace quorvik
