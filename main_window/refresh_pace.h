// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>

namespace quorvik {

// When the views catch up with the events taken. A batch after a quiet spell
// is shown at once; while events stream in (the sources hand them on every
// HandOnPace::kStreamMs), the views catch up every 250 ms: painting is most
// of the cost of a stream, and four updates a second read well. A flood,
// more events between two updates than a table shows rows, replaces every
// row seen at each update however often it comes: then the views catch up
// once a second, and the CPU a repaint takes stays with the intake.
class RefreshPace {
public:
    // `count` events went into the tables.
    void shown(int count = 1) { m_shownSinceRefresh += count; }
    // Whether the last update came after a flood: more events than a
    // table shows rows arrived since the one before.
    bool flooding() const { return m_flooded; }
    // A batch was taken: the milliseconds until the views should catch up.
    int delayAfterBatch();
    // The views caught up now.
    void refreshed();

private:
    QElapsedTimer m_lastRefresh, m_lastBatch;
    int m_shownSinceRefresh = 0;
    bool m_flooded = false; // the last update came after a flood
};

} // namespace quorvik
