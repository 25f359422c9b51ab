// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "alerts/desktop_notifier.h"

#include "ui/colour.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>

namespace quorvik {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr int kTrayRefreshMs = 250;

QDBusMessage serviceCall(const QString &method) {
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

} // namespace

DesktopNotifier::DesktopNotifier(DesktopNotifierOptions options, QObject *parent)
    : QObject(parent), m_options(std::move(options)) {
    if (!m_options.report)
        m_options.report = [](const QString &text) { qWarning("%s", qPrintable(text)); };
    m_elapsed.start();
    m_dueTimer.setSingleShot(true);
    connect(&m_dueTimer, &QTimer::timeout, this, &DesktopNotifier::showDue);
    m_trayTimer.setSingleShot(true);
    connect(&m_trayTimer, &QTimer::timeout, this, &DesktopNotifier::paintTray);

    QDBusConnection &bus = m_options.bus;
    if (bus.isConnected()) {
        bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                    SLOT(actionInvoked(uint, QString)));
        bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                    SLOT(notificationClosed(uint, uint)));
        learnCapabilities();
    }
    if (QSystemTrayIcon::isSystemTrayAvailable())
        createTray();
}

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::setHandlers(Handlers handlers) {
    m_handlers = std::move(handlers);
}

void DesktopNotifier::setLevelColours(const LevelColours &colours) {
    m_colours = colours;
}

void DesktopNotifier::notify(const Notice &notice) {
    const std::int64_t at = now();
    if (const std::optional<ShownNotice> shown = m_throttle.offer(notice, at))
        show(*shown);
    else if (!m_dueTimer.isActive())
        m_dueTimer.start(int(std::max<std::int64_t>(0, *m_throttle.dueAt() - at)));
}

std::int64_t DesktopNotifier::now() const {
    return m_options.clock ? m_options.clock() : m_elapsed.elapsed();
}

void DesktopNotifier::showDue() {
    if (const std::optional<ShownNotice> shown = m_throttle.takeDue(now()))
        show(*shown);
    else if (const std::optional<std::int64_t> due = m_throttle.dueAt())
        m_dueTimer.start(int(std::max<std::int64_t>(0, *due - now())));
}

void DesktopNotifier::learnCapabilities() {
    auto *watcher = new QDBusPendingCallWatcher(
        m_options.bus.asyncCall(serviceCall(QStringLiteral("GetCapabilities"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        const QDBusPendingReply<QStringList> reply = *watcher;
        m_markup = reply.isValid() && reply.value().contains(QStringLiteral("body-markup"));
        m_capabilitiesKnown = true;
        for (const ShownNotice &notice : std::exchange(m_waiting, {}))
            send(notice);
        watcher->deleteLater();
    });
}

void DesktopNotifier::show(const ShownNotice &notice) {
    if (m_options.bus.isConnected() && !m_capabilitiesKnown)
        m_waiting.push_back(notice);
    else
        send(notice);
}

void DesktopNotifier::send(const ShownNotice &notice) {
    if (!m_options.bus.isConnected()) {
        reportOnce(QStringLiteral("Desktop notifications are not shown: no session bus (%1)")
                       .arg(m_options.bus.lastError().message()));
        return;
    }
    QDBusMessage call = serviceCall(QStringLiteral("Notify"));
    // Every notice is of a level that opens the popup: critical, as the popup
    // is. So that they don't pile up, each takes the place of the one before
    // while that one is still shown.
    const uchar critical = 2;
    const QVariantMap hints{
        {QStringLiteral("urgency"), QVariant::fromValue(critical)},
        {QStringLiteral("desktop-entry"), QStringLiteral("org.quorvik.Quorvik")}};
    const uint replaces = m_levelOf.contains(m_lastId) ? m_lastId : 0;
    call << QStringLiteral("Quorvik") << replaces << m_options.iconName << notice.summary
         << (m_markup ? notice.body.toHtmlEscaped() : notice.body)
         << QStringList{QStringLiteral("default"), QStringLiteral("Show")} << hints << -1;
    auto *watcher = new QDBusPendingCallWatcher(m_options.bus.asyncCall(call), this);
    const int level = notice.level;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, level] {
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isValid()) {
            m_levelOf.insert(reply.value(), level);
            m_lastId = reply.value();
        } else {
            reportOnce(QStringLiteral("Desktop notifications are not shown: %1")
                           .arg(reply.error().message()));
        }
        watcher->deleteLater();
    });
}

void DesktopNotifier::reportOnce(const QString &text) {
    if (!std::exchange(m_reported, true))
        m_options.report(text);
}

void DesktopNotifier::actionInvoked(uint id, const QString &action) {
    const auto found = m_levelOf.constFind(id);
    if (found == m_levelOf.constEnd() || action != QLatin1String("default"))
        return;
    if (m_handlers.showWindow)
        m_handlers.showWindow(*found);
}

void DesktopNotifier::notificationClosed(uint id, uint) {
    m_levelOf.remove(id);
}

void DesktopNotifier::countAway(int level) {
    ++m_awayCount;
    m_highestAway = std::min(m_highestAway, level);
    if (m_tray && !m_trayTimer.isActive())
        m_trayTimer.start(m_awayCount == 1 ? 0 : kTrayRefreshMs);
}

void DesktopNotifier::windowActivated() {
    m_awayCount = 0;
    m_highestAway = kLevelCount;
    if (m_tray)
        paintTray();
}

void DesktopNotifier::closeAll() {
    for (auto it = m_levelOf.constBegin(); it != m_levelOf.constEnd(); ++it)
        m_options.bus.asyncCall(serviceCall(QStringLiteral("CloseNotification")) << it.key());
    m_levelOf.clear();
    m_dueTimer.stop();
    if (m_tray)
        m_tray->hide();
}

void DesktopNotifier::createTray() {
    m_tray = new QSystemTrayIcon(m_options.trayIcon, this);
    m_tray->setObjectName(QStringLiteral("trayIcon"));
    m_trayMenu = std::make_unique<QMenu>();
    m_trayMenu->setObjectName(QStringLiteral("trayMenu"));
    m_trayMenu->addAction(QStringLiteral("Show"), this, [this] {
        if (m_handlers.showWindow)
            m_handlers.showWindow(-1);
    });
    m_trayMenu->addAction(QStringLiteral("Exit"), this, [this] {
        if (m_handlers.quit)
            m_handlers.quit();
    });
    m_tray->setContextMenu(m_trayMenu.get());
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger && m_handlers.showWindow)
            m_handlers.showWindow(-1);
    });
    paintTray();
    m_tray->show();
}

// The program's icon, with the count of events since the window was last
// active in a disc of the most serious level's colour.
void DesktopNotifier::paintTray() {
    m_trayTimer.stop();
    m_tray->setToolTip(m_awayCount == 0
                           ? QStringLiteral("Quorvik")
                           : QStringLiteral("Quorvik: %1 new events").arg(m_awayCount));
    if (m_awayCount == 0) {
        m_tray->setIcon(m_options.trayIcon);
        return;
    }
    QPixmap pixmap = m_options.trayIcon.pixmap(64, 64);
    if (pixmap.isNull())
        pixmap = QPixmap(64, 64), pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor disc = toQColor(m_colours[std::size_t(m_highestAway)]);
    painter.setBrush(disc);
    painter.setPen(Qt::black);
    const QRectF badge(20, 20, 43, 43);
    painter.drawEllipse(badge);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(m_awayCount > 99 ? 18 : 26);
    painter.setFont(font);
    painter.setPen(disc.lightness() > 128 ? Qt::black : Qt::white);
    painter.drawText(badge, Qt::AlignCenter,
                     m_awayCount > 999 ? QStringLiteral("999+") : QString::number(m_awayCount));
    painter.end();
    m_tray->setIcon(QIcon(pixmap));
}

} // namespace quorvik
