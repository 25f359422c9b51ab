// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "alerts/event_notifier.h"
#include "alerts/notice_throttle.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QMenu;
class QSystemTrayIcon;

namespace quorvik {

struct DesktopNotifierOptions {
    QString iconName; // notifications' icon: a themed name or a file's path
    QIcon trayIcon;   // what the tray shows, its count drawn over it
    // Told once, the first time the notification service can't be reached.
    std::function<void(const QString &)> report;
    QDBusConnection bus = QDBusConnection::sessionBus();
    std::function<std::int64_t()> clock; // steady milliseconds; empty: the monotonic clock
};

// The desktop's notification service (org.freedesktop.Notifications over
// D-Bus) and, where the desktop has one, an icon in its system tray with the
// count of events since the window was last active. Without a service or a
// tray it does nothing; a call the service refuses is reported once.
class DesktopNotifier : public QObject, public EventNotifier {
    Q_OBJECT

public:
    explicit DesktopNotifier(DesktopNotifierOptions options, QObject *parent = nullptr);
    ~DesktopNotifier() override;

    void setHandlers(Handlers handlers) override;
    void setLevelColours(const LevelColours &colours) override;
    void countAway(int level) override;
    void notify(const Notice &notice) override;
    void windowActivated() override;
    void closeAll() override;

    // The tray icon, or nullptr where the desktop has no tray.
    QSystemTrayIcon *trayIcon() const { return m_tray; }
    int awayCount() const { return m_awayCount; }

private slots:
    void actionInvoked(uint id, const QString &action);
    void notificationClosed(uint id, uint reason);

private:
    void show(const ShownNotice &notice);
    void send(const ShownNotice &notice);
    void learnCapabilities();
    void showDue();
    void reportOnce(const QString &text);
    void createTray();
    void paintTray();
    std::int64_t now() const;

    DesktopNotifierOptions m_options;
    Handlers m_handlers;
    NoticeThrottle m_throttle;
    QElapsedTimer m_elapsed;
    QTimer m_dueTimer;
    QHash<uint, int> m_levelOf; // open notifications by id: their level
    uint m_lastId = 0;          // the latest one, replaced by the next while open
    // Whether the service reads the body as markup (and so must have the
    // event's text escaped); notices wait until it has said.
    bool m_markup = false;
    bool m_capabilitiesKnown = false;
    std::vector<ShownNotice> m_waiting;
    bool m_reported = false;
    LevelColours m_colours = defaultLevelColours();
    int m_awayCount = 0;
    int m_highestAway = kLevelCount; // most serious level since active
    QSystemTrayIcon *m_tray = nullptr;
    std::unique_ptr<QMenu> m_trayMenu;
    QTimer m_trayTimer; // the tray is repainted at most every 250 ms
};

} // namespace quorvik
