// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/level.h"

namespace quorvik {

namespace {

constexpr std::array<Level, kLevelCount> kLevels = {{
    {0, 'E', "Emergency"},
    {1, 'P', "Panic"},
    {2, 'C', "Critical"},
    {3, 'A', "Alert"},
    {4, 'W', "Warning"},
    {5, 'I', "Information"},
    {6, 'N', "Note"},
}};

constexpr Level kTrap{4, 'X', "Trap"};
constexpr Level kUnknown{4, '\0', "Unknown"};

} // namespace

const Level &levelByIndex(int index) {
    if (index < 0 || index >= kLevelCount)
        return kUnknown;
    return kLevels[index];
}

const Level &trapLevel() {
    return kTrap;
}

const Level &unknownLevel() {
    return kUnknown;
}

const Level &levelForLetter(std::string_view letter) {
    if (letter.size() != 1)
        return kUnknown;
    if (letter[0] == kTrap.letter)
        return kTrap;
    for (const Level &level : kLevels) {
        if (level.letter == letter[0])
            return level;
    }
    return kUnknown;
}

LevelColours defaultLevelColours() {
    return {255, 8421631, 33023, 65535, 16776960, 8454016, 14737632};
}

const Level *levelByName(std::string_view name) {
    for (int i = 0; i < kLevelCount; ++i)
        if (levelByIndex(i).name == name)
            return &levelByIndex(i);
    for (const Level *level : {&trapLevel(), &unknownLevel()})
        if (level->name == name)
            return level;
    return nullptr;
}

} // namespace quorvik
