#pragma once

#include <QRect>

namespace quorvik {

// A rectangle given in twips, in pixels; sizes are at least one pixel.
QRect twipsRect(double left, double top, double width, double height);

} // namespace quorvik
