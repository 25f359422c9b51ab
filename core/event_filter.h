// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/level.h"
#include "core/text_rules.h"

#include <array>
#include <bitset>
#include <string>
#include <string_view>
#include <vector>

namespace quorvik {

// The fields of one event as the filter reads them, in the log's order:
// level name, date, processor (host), application, object, message.
using FilterFields = std::array<std::string_view, 6>;

// What the operator typed into the filter bar, parsed once: words separated
// by blanks ("a phrase" in double quotes is one word; within it \" is a
// quote and \\ a backslash), each of which must occur in some field as the
// operator reads it (visibleText: "[U+202E]" finds the control shown so),
// letter case ignored. "host:", "app:", "obj:" and "msg:" before a word
// restrict it to that field; "level:" with one letter means the level of
// that letter ("level:E" Emergency, "level:X" Trap), with more the level
// whose name starts so ("level:warn"). "-" before a word (or a restricted word) excludes the events
// that match it. A word with nothing after its prefix is ignored (the
// operator is still typing). Besides the words, whole levels (by table
// index) can be hidden.
class EventFilter {
public:
    static constexpr int kLevelField = 0; // index of the level name in FilterFields

    EventFilter() = default;
    explicit EventFilter(std::string_view query, WideSearch wideSearch = {});

    void setLevelShown(int levelIndex, bool shown);
    bool levelShown(int levelIndex) const;

    // No words and no level hidden: every event passes.
    bool isEmpty() const { return m_terms.empty() && m_hiddenLevels.none(); }

    // Whether an event of `level` with these fields passes. `withLevel`:
    // whether a word without prefix looks in the level name too (the full
    // list shows it; a level table does not).
    bool matches(const Level &level, const FilterFields &fields, bool withLevel = true) const;

private:
    struct Term {
        int field = -1; // index into FilterFields; -1: any field
        bool exclude = false;
        bool ascii = true;
        std::string folded; // ASCII letters in lower case
        std::string text;   // as typed, for the wide search
    };
    bool contains(std::string_view text, const Term &term) const;
    bool found(const Term &term, const Level &level, const FilterFields &fields,
               bool withLevel) const;

    std::vector<Term> m_terms;
    std::bitset<kLevelCount> m_hiddenLevels;
    WideSearch m_wideSearch;
};

// A word for the filter that finds `value` in one field ("host", "app",
// "obj", "msg"): quoted, with its quotes and backslashes escaped, when it
// holds a blank or a quote.
std::string filterWord(std::string_view prefix, std::string_view value);

} // namespace quorvik
