// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/text_rules.h"

#include <charconv>
#include <cstring>

namespace quorvik {

std::optional<int> wholeNumber(std::string_view text, int low, int high) {
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc{} || result.ptr != text.data() + text.size() ||
        value < low || value > high)
        return std::nullopt;
    return value;
}

std::string withThousands(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (std::ptrdiff_t at = std::ptrdiff_t(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(std::size_t(at), 1, ',');
    return digits;
}

// strerror_r, as the receiver thread reports errors too (strerror's buffer
// is shared); glibc's variant returns its text rather than an int.
std::string errorText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
}

} // namespace quorvik
