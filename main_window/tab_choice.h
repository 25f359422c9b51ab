// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>

namespace quorvik {

// The tab the operator chose ("Show in its tab", a notification): new
// events of other levels don't take the view from it until the operator
// leaves it or a minute has passed.
class TabChoice {
public:
    void choose(int tab) {
        m_tab = tab;
        m_since.start();
    }

    // Whether the chosen tab still holds: the tabs are shown, `current` is
    // the chosen one and it is not yet old. Once left, it is forgotten.
    bool holds(bool tabsShown, int current) {
        if (m_tab >= 0 && (!tabsShown || current != m_tab || m_since.elapsed() >= kHoldMs))
            m_tab = -1;
        return m_tab >= 0;
    }

private:
    static constexpr int kHoldMs = 60000;
    int m_tab = -1;
    QElapsedTimer m_since;
};

} // namespace quorvik
