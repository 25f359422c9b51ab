// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/level.h"

#include <QString>

#include <functional>

namespace quorvik {

// One serious event as a desktop notification shows it.
struct Notice {
    int level = 0; // index 0..6; the tab activating the notification shows
    QString levelName;
    QString host;
    QString message;
};

// Tells the operator of events while the main window is minimised or not
// active: the seam between the main window and the desktop's notification
// service and system tray, so that tests can record or replace it.
class EventNotifier {
public:
    struct Handlers {
        // Brings the window forward on the tab of `level`, or as it was for -1.
        std::function<void(int level)> showWindow;
        // The tray's Exit: the window's own quitting road, question and all.
        std::function<void()> quit;
    };

    virtual ~EventNotifier();
    virtual void setHandlers(Handlers handlers) = 0;
    virtual void setLevelColours(const LevelColours &colours) = 0;
    // Any event that arrived while the window was away, for the tray's count.
    virtual void countAway(int level) = 0;
    // An event of a level that opens the popup, arrived while away.
    virtual void notify(const Notice &notice) = 0;
    // The operator is back at the window: the count starts again.
    virtual void windowActivated() = 0;
    // The window is going: open notifications and the tray icon go with it.
    virtual void closeAll() = 0;
};

} // namespace quorvik
