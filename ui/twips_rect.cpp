#include "ui/twips_rect.h"

#include "core/units.h"

#include <algorithm>

namespace quorvik {

QRect twipsRect(double left, double top, double width, double height) {
    return QRect(toPixels(left), toPixels(top), std::max(1, toPixels(width)),
                 std::max(1, toPixels(height)));
}

} // namespace quorvik
