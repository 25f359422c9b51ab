// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Levels by the names a log line starts with, for tests and fuzzers that read
// logs back (the program itself reads a logged level by its letter).

#include "core/level.h"

#include <string_view>

namespace quorvik::testing {

// The level whose name is `name` (Emergency ... Note, Trap, Unknown), or
// nullptr for any other text.
inline const Level *levelForName(std::string_view name) {
    for (int i = 0; i < kLevelCount; ++i)
        if (levelByIndex(i).name == name)
            return &levelByIndex(i);
    for (const Level *level : {&trapLevel(), &unknownLevel()})
        if (level->name == name)
            return level;
    return nullptr;
}

} // namespace quorvik::testing
