// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>

namespace quorvik {

// Whether `window` is open: it exists and has not been closed. A window
// closed with Qt::WA_DeleteOnClose stays hidden until it is deleted; it no
// longer counts.
bool isOpen(const QWidget *window);

// Shows `window` and brings it forward: raised and activated.
void bringForward(QWidget *window);

// Shows the window `open` holds and brings it forward (raised, activated);
// when none is open, `create` makes one first. The window is destroyed when
// it closes, so there is never more than one.
template <typename Window, typename Create>
Window *showOnce(QPointer<Window> &open, Create create) {
    if (!isOpen(open))
        open = create();
    open->setAttribute(Qt::WA_DeleteOnClose);
    bringForward(open);
    return open;
}

// The top left that centres a frame of `size` over `area`, halves rounded
// away from zero.
QPoint centredTopLeft(const QRect &area, const QSize &size);

// Centres `window` over the frame of `over`, or over its screen when `over`
// is null, whenever it becomes active and when it is shown (a window manager
// may not activate a new window).
void centreWhenActive(QWidget *window, QWidget *over);

} // namespace quorvik
