// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "main_window/window_placement.h"

#include "core/profile.h"
#include "core/units.h"
#include "ui/profile_store.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace quorvik {

namespace {

QSize boundedTo(const QSize &size, const QSize &bound) {
    return {std::clamp(size.width(), 1, std::max(1, bound.width())),
            std::clamp(size.height(), 1, std::max(1, bound.height()))};
}

// The screens' areas free for windows, the primary screen's first.
QList<QRect> availableScreenAreas() {
    QList<QRect> areas;
    if (const QScreen *primary = QGuiApplication::primaryScreen())
        areas << primary->availableGeometry();
    for (const QScreen *screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen())
            areas << screen->availableGeometry();
    return areas;
}

} // namespace

QRect placeOnScreens(const QRect &stored, const QList<QRect> &available) {
    if (available.isEmpty())
        return stored;
    QRect desktop;
    for (const QRect &area : available)
        desktop |= area;
    const QRect placed(stored.topLeft(), boundedTo(stored.size(), desktop.size()));
    for (const QRect &area : available)
        if (area.intersects(placed))
            return placed;
    const QRect &primary = available.front();
    QRect moved(QPoint(), boundedTo(placed.size(), primary.size()));
    moved.moveCenter(primary.center());
    return moved;
}

WindowGeometry outerGeometry(const QWidget &window) {
    const QRect frame = window.frameGeometry();
    return {toTwips(frame.top()), toTwips(frame.left()), toTwips(frame.height()),
            toTwips(frame.width())};
}

QSize placeAtStoredGeometry(QWidget &window, const WindowGeometry &stored) {
    const QRect placed =
        placeOnScreens(QRect(toPixels(double(stored.left)), toPixels(double(stored.top)),
                             toPixels(double(stored.width)), toPixels(double(stored.height))),
                       availableScreenAreas());
    window.move(placed.topLeft());
    resizeToOuter(window, placed.size());
    return placed.size();
}

QString storeOuterGeometry(ProfileStore &store, const QWidget &window) {
    const WindowGeometry geometry = outerGeometry(window);
    return store.update([&](const std::string &old) {
        Profile profile = Profile::parse(old);
        writeGeometry(profile, geometry);
        return profile.text();
    });
}

void resizeToOuter(QWidget &window, const QSize &outer) {
    const QSize extra = window.frameGeometry().size() - window.size();
    window.resize(std::max(1, outer.width() - extra.width()),
                  std::max(1, outer.height() - extra.height()));
}

bool isNormalState(const QWidget &window) {
    return !(window.windowState() &
             (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

void StoredPlacement::place(QWidget &window, const WindowGeometry &stored) {
    m_outerSize = placeAtStoredGeometry(window, stored);
}

void StoredPlacement::fitOnceFramed(QWidget &window) {
    if (!m_outerSize.isValid() || !window.isVisible() ||
        window.frameGeometry().size() == window.size())
        return;
    resizeToOuter(window, std::exchange(m_outerSize, QSize()));
}

} // namespace quorvik
