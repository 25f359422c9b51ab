// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Small text rules shared by the parsers of the core.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quorvik {

inline constexpr std::string_view kBlanks = " \t";

// Whether `search` occurs in `line` without regard to letter case, for
// texts with bytes beyond ASCII: their letters depend on how the window
// decodes the bytes, which the caller knows.
using WideSearch = std::function<bool(std::string_view line, std::string_view search)>;

// `text` without its leading blanks and tabs.
inline std::string_view skipBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

// `text` without its surrounding blanks and tabs.
inline std::string_view trimBlanks(std::string_view text) {
    text = skipBlanks(text);
    return text.substr(0, text.find_last_not_of(kBlanks) + 1);
}

// `c` folded for comparisons that ignore letter case: A-Z as a-z, other
// bytes unchanged.
constexpr char foldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `text` folded by foldAscii.
inline std::string lowerAscii(std::string_view text) {
    std::string result(text);
    for (char &c : result)
        c = foldAscii(c);
    return result;
}

// Removes a leading "+" or "-" from `text`; true when it was "-".
inline bool takeSign(std::string_view &text) {
    if (text.empty() || (text.front() != '-' && text.front() != '+'))
        return false;
    const bool negative = text.front() == '-';
    text.remove_prefix(1);
    return negative;
}

// 1234567 as "1,234,567", whatever the locale.
std::string withThousands(std::uint64_t value);

// The system's words for an error number ("Permission denied").
std::string errorText(int error);

} // namespace quorvik
