// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/settings.h"

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

namespace quorvik {

// Where the window goes when its stored outer geometry is `stored` and the
// screens offer the areas `available` (the primary screen's first). The size
// is bounded to the available desktop; a window that would lie wholly off
// every screen is moved onto the primary one (and fitted to it); a window
// that is partly visible keeps its stored position.
QRect placeOnScreens(const QRect &stored, const QList<QRect> &available);

// The window's outer geometry in twips, as the configuration keeps it.
WindowGeometry outerGeometry(const QWidget &window);

// Moves and sizes `window` to `stored`, kept on the screens. Returns the outer
// size, to be applied again with resizeToOuter once the frame is known.
QSize placeAtStoredGeometry(QWidget &window, const WindowGeometry &stored);

class ProfileStore;

// Writes the outer geometry of `window` into the configuration; the reason
// when it can't be written, else empty.
QString storeOuterGeometry(ProfileStore &store, const QWidget &window);

// Sizes `window` so that with its frame it is `outer` large (stored sizes are
// outer sizes; the frame is whatever the window system adds).
void resizeToOuter(QWidget &window, const QSize &outer);

// Whether `window` is neither minimised, maximised nor full screen: only
// then is its geometry worth storing.
bool isNormalState(const QWidget &window);

// A window's stored outer geometry, put in force in two steps: placed at
// load, then sized once more when the window manager has framed the shown
// window (it tells with a move or a resize), since only then is the frame
// known.
class StoredPlacement {
public:
    void place(QWidget &window, const WindowGeometry &stored);
    // At each move or resize: sizes the window, frame included, once.
    void fitOnceFramed(QWidget &window);

private:
    QSize m_outerSize; // valid until applied to the framed window
};

} // namespace quorvik
