// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The "--key value" command lines of the benchmark helpers.

#include <string_view>

// Hands each "--key value" pair of the command line to `take`, which returns
// false for a key it does not know; a key without a value and an unknown key
// end the program through `usage`.
template <typename Take>
void takeOptions(int argc, char **argv, void (*usage)(const char *why), Take take) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view key = argv[i];
        if (i + 1 >= argc)
            usage("missing value");
        const char *value = argv[++i];
        if (!take(key, value))
            usage("unknown option");
    }
}
