// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/level.h"

#include <QColor>

namespace quorvik {

// Colour values are stored 0x00BBGGRR (red in the low byte).
inline QColor toQColor(Colour colour) {
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

inline Colour fromQColor(const QColor &colour) {
    return Colour(colour.red()) | Colour(colour.green()) << 8 | Colour(colour.blue()) << 16;
}

} // namespace quorvik
