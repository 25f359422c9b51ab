// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// Stops the run with a finding when an invariant doesn't hold.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", #condition, __FILE__,           \
                         __LINE__);                                                                \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// The fuzzer's bytes as N fields between NUL bytes; the last takes the rest,
// NULs included.
template <std::size_t N> std::array<std::string, N> fieldsBetweenNuls(std::string_view input) {
    std::array<std::string, N> fields;
    std::size_t field = 0;
    for (const char c : input) {
        if (c == '\0' && field < N - 1)
            ++field;
        else
            fields[field] += c;
    }
    return fields;
}
