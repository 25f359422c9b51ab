// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Small text rules shared by the parsers of the core.

#include <cstdint>
#include <functional>
#include <optional>
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

// Removes `c` from the front of `text`; false when it is not there.
inline bool takeChar(std::string_view &text, char c) {
    if (text.empty() || text.front() != c)
        return false;
    text.remove_prefix(1);
    return true;
}

// Reads 1..maxDigits decimal digits from the front of `text`; the count
// read goes to `digits`.
inline std::optional<int> takeNumber(std::string_view &text, std::size_t maxDigits,
                                     std::size_t &digits) {
    digits = 0;
    int value = 0;
    while (digits < text.size() && digits < maxDigits && text[digits] >= '0' && text[digits] <= '9')
        value = value * 10 + (text[digits++] - '0');
    if (digits == 0)
        return std::nullopt;
    text.remove_prefix(digits);
    return value;
}

// `text` without the line ends (LF, CR LF, NUL) a sender put after it.
inline std::string_view withoutLineEnd(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '\0'))
        text.remove_suffix(1);
    return text;
}

// `text` as a decimal number from `low` to `high`, nothing else around it.
std::optional<int> wholeNumber(std::string_view text, int low, int high);

// 1234567 as "1,234,567", whatever the locale.
std::string withThousands(std::uint64_t value);

// The system's words for an error number ("Permission denied").
std::string errorText(int error);

} // namespace quorvik
