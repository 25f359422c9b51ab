// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event.h"
#include "core/level.h"
#include "core/text_rules.h"

#include <array>
#include <bitset>
#include <memory>
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
// whose name starts so ("level:warn"). "source:" names what the event was
// made from: "trap", "syslog", "text" or "quorvik" (the program's own).
// A regular expression between slashes, "/link (up|down)/" or
// "msg:/^disk [0-9]+/", may hold blanks: it runs from its slash to the next
// slash that ends a word (a blank or the end follows it); it looks in the
// bytes as received, letter case ignored (PCRE2, compiled once, with JIT
// where the machine has it). A word that starts with a slash but has no
// such end is an ordinary word ("/srv" finds "/srv"). "-" before a word (or
// a restricted word) excludes the events that match it. A word with
// nothing after its prefix is ignored (the operator is still typing).
// Besides the words, whole levels (by table index) can be hidden.
//
// A word that can't be read (a regular expression that doesn't compile,
// "source:" with another name) is left out and named in problems(): the
// filter bar goes on without it while the operator types, a rule refuses
// the whole match.
class EventFilter {
public:
    static constexpr int kLevelField = 0; // index of the level name in FilterFields

    EventFilter() = default;
    explicit EventFilter(std::string_view query, WideSearch wideSearch = {});

    void setLevelShown(int levelIndex, bool shown);
    bool levelShown(int levelIndex) const;

    // No words and no level hidden: every event passes.
    bool isEmpty() const { return m_terms.empty() && m_hiddenLevels.none(); }

    // The words left out, one text each, naming the word and what is wrong:
    // "/link (up/: missing closing parenthesis at offset 8".
    const std::vector<std::string> &problems() const { return m_problems; }

    // Whether an event of `level` with these fields, made from `source`,
    // passes. `withLevel`: whether a word without prefix looks in the level
    // name too (the full list shows it; a level table does not).
    bool matches(const Level &level, const FilterFields &fields, bool withLevel = true,
                 Source source = Source::Text) const;

private:
    class Pattern;
    struct Term {
        enum class Kind : std::uint8_t { Word, Level, Source, Pattern };
        Kind kind = Kind::Word;
        int field = -1; // index into FilterFields; -1: any field
        bool exclude = false;
        bool ascii = true;
        bool meetsCodes = true; // may be found only in a control's shown code
        Source source = Source::Text;
        std::string folded; // ASCII letters in lower case
        std::string text;   // as typed, for the wide search
        std::shared_ptr<const Pattern> pattern;
    };
    bool contains(std::string_view text, const Term &term) const;
    bool found(const Term &term, const Level &level, const FilterFields &fields, bool withLevel,
               Source source) const;

    std::vector<Term> m_terms;
    std::vector<std::string> m_problems;
    std::bitset<kLevelCount> m_hiddenLevels;
    WideSearch m_wideSearch;
};

// A word for the filter that finds `value` in one field ("host", "app",
// "obj", "msg"): quoted, with its quotes and backslashes escaped, when it
// holds a blank or a quote.
std::string filterWord(std::string_view prefix, std::string_view value);

} // namespace quorvik
