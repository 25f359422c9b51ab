// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/twips_rect.h"

#include "core/units.h"

#include <algorithm>

namespace quorvik {

QRect twipsRect(double left, double top, double width, double height) {
    return QRect(toPixels(left), toPixels(top), std::max(1, toPixels(width)),
                 std::max(1, toPixels(height)));
}

} // namespace quorvik
