// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvik {

// Number of level tables, tabs, colours and sounds.
inline constexpr int kLevelCount = 7;

// One row of the level table. Trap and Unknown share index 4 (the Warning
// table, colour and sound) but keep their own name.
struct Level {
    int index;             // 0..6: table, tab, colour and sound index
    char letter;           // the wire letter; '\0' for Unknown
    std::string_view name; // Emergency ... Note, Trap, Unknown

    // The first field of a log line: the name followed by ";".
    std::string logLabel() const { return std::string(name) + ';'; }
};

// Index 0..6 = Emergency, Panic, Critical, Alert, Warning, Information, Note;
// any other index gives Unknown.
const Level &levelByIndex(int index);
const Level &trapLevel();
const Level &unknownLevel();

// Exact, case-sensitive lookup of one level letter. "X" gives Trap, an empty
// text or any other letter gives Unknown.
const Level &levelForLetter(std::string_view letter);

// The level whose name is `name` (Emergency ... Note, Trap, Unknown), or
// nullptr for any other text.
const Level *levelByName(std::string_view name);

// Background colours as 24-bit values 0x00BBGGRR (red in the low byte).
using Colour = std::uint32_t;
using LevelColours = std::array<Colour, kLevelCount>;
LevelColours defaultLevelColours();

} // namespace quorvik
