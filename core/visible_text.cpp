// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/visible_text.h"

#include <array>
#include <cstdio>

namespace quorvik {

namespace {

// The length of the bidirectional control that starts at `at` (3 bytes in
// UTF-8), or 0.
std::size_t bidiControlAt(std::string_view text, std::size_t at) {
    if (at + 2 >= text.size() || text[at] != '\xE2')
        return 0;
    const auto second = static_cast<unsigned char>(text[at + 1]);
    const auto third = static_cast<unsigned char>(text[at + 2]);
    const bool embedding = second == 0x80 && third >= 0xAA && third <= 0xAE; // U+202A..202E
    const bool isolate = second == 0x81 && third >= 0xA6 && third <= 0xA9;   // U+2066..2069
    return embedding || isolate ? 3 : 0;
}

char32_t codeOf(std::string_view control) {
    const auto second = static_cast<unsigned char>(control[1]);
    const auto third = static_cast<unsigned char>(control[2]);
    return 0x2000u | ((second & 0x3Fu) << 6) | (third & 0x3Fu);
}

bool isLineBreak(char c) {
    return c == '\r' || c == '\n';
}

void appendUtf8(std::string &out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Windows-1252 at 0x80..0x9F; its five unassigned bytes stay the C1
// controls of the same value. Every other byte is its Latin-1 character.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The length of the well-formed UTF-8 sequence at `at`, or 0.
std::size_t utf8SequenceAt(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong form
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

} // namespace

std::string windows1252ToUtf8(std::string_view bytes) {
    std::string utf8;
    utf8.reserve(bytes.size() + bytes.size() / 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        appendUtf8(utf8, byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte);
    }
    return utf8;
}

bool isValidUtf8(std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = utf8SequenceAt(bytes, at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

std::string visibleCode(char32_t code) {
    char name[16];
    std::snprintf(name, sizeof name, "[U+%04X]", static_cast<unsigned>(code));
    return name;
}

bool changedWhenShown(std::string_view bytes) {
    if (bytes.find_first_of("\r\n") != std::string_view::npos || !isValidUtf8(bytes))
        return true;
    for (std::size_t at = bytes.find('\xE2'); at != std::string_view::npos;
         at = bytes.find('\xE2', at + 1))
        if (bidiControlAt(bytes, at) != 0)
            return true;
    return false;
}

std::string visibleText(std::string_view bytes) {
    const std::string decoded = isValidUtf8(bytes) ? std::string() : windows1252ToUtf8(bytes);
    const std::string_view utf8 = decoded.empty() ? bytes : std::string_view(decoded);
    std::string shown;
    shown.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        if (const std::size_t length = bidiControlAt(utf8, at)) {
            shown += visibleCode(codeOf(utf8.substr(at, length)));
            at += length;
        } else if (isLineBreak(utf8[at])) {
            shown += visibleCode(static_cast<unsigned char>(utf8[at++]));
        } else {
            shown += utf8[at++];
        }
    }
    return shown;
}

} // namespace quorvik
