#include "core/visible_text.h"

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

std::string codeOf(std::string_view control) {
    const auto second = static_cast<unsigned char>(control[1]);
    const auto third = static_cast<unsigned char>(control[2]);
    const unsigned code = 0x2000u | ((second & 0x3Fu) << 6) | (third & 0x3Fu);
    char name[16];
    std::snprintf(name, sizeof name, "[U+%04X]", code);
    return name;
}

} // namespace

bool hasBidiControls(std::string_view utf8) {
    for (std::size_t at = utf8.find('\xE2'); at != std::string_view::npos;
         at = utf8.find('\xE2', at + 1))
        if (bidiControlAt(utf8, at) != 0)
            return true;
    return false;
}

std::string visibleText(std::string_view utf8) {
    std::string shown;
    shown.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        if (const std::size_t length = bidiControlAt(utf8, at)) {
            shown += codeOf(utf8.substr(at, length));
            at += length;
        } else {
            shown += utf8[at++];
        }
    }
    return shown;
}

} // namespace quorvik
