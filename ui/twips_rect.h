// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QRect>

namespace quorvik {

// A rectangle given in twips, in pixels; sizes are at least one pixel.
QRect twipsRect(double left, double top, double width, double height);

} // namespace quorvik
