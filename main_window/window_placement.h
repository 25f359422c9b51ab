#pragma once

#include <QList>
#include <QRect>

namespace quorvik {

// Where the window goes when its stored outer geometry is `stored` and the
// screens offer the areas `available` (the primary screen's first). The size
// is bounded to the available desktop; a window that would lie wholly off
// every screen is moved onto the primary one (and fitted to it); a window
// that is partly visible keeps its stored position.
QRect placeOnScreens(const QRect &stored, const QList<QRect> &available);

} // namespace quorvik
