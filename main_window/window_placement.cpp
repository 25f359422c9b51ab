#include "main_window/window_placement.h"

#include <algorithm>

namespace quorvik {

namespace {

QSize boundedTo(const QSize &size, const QSize &bound) {
    return {std::clamp(size.width(), 1, std::max(1, bound.width())),
            std::clamp(size.height(), 1, std::max(1, bound.height()))};
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

} // namespace quorvik
