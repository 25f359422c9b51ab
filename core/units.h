// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Units of the window layouts and the one rounding rule for whole numbers.

namespace quorvik {

// Rounds to the nearest whole number, halves to even.
double roundToEven(double value);
// The same as an int, saturating at the bounds of int; not-a-number gives 0.
int roundHalfEven(double value);

// Layouts are given in twips: 15 to the device-independent pixel.
inline constexpr int kTwipsPerPixel = 15;

// Twips to the nearest pixel, halves away from zero for positive sizes
// (the rounding every layout of the program was drawn with).
inline int toPixels(double twips) {
    return int(twips / kTwipsPerPixel + 0.5);
}
inline int toTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}

} // namespace quorvik
