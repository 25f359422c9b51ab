// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "date_time.h"
#include "text_rules.h"

#include <array>
#include <string>
#include <string_view>

namespace quorvik {

// What a history load lets through: lines dated within [from, to] that
// contain `search` without regard to letter case. A range from the zero
// date-time, or one that holds all of kNoLowerBound to kNoUpperBound ("All"),
// tests no date: every line is let through, whatever its date field holds.
struct HistoryFilter {
    DateTime from;
    DateTime to;
    std::string search;
};

// The level letter a log line's first field stands for: "X" for Trap,
// nothing for Unknown and for an empty field, else its first character.
std::string_view levelLetterOf(std::string_view levelName);

// What ends the message of a log line that was cut for its length.
inline constexpr std::string_view kEllipsis = "\u2026";

// The event a log line's six fields stand for: the level by its letter, as
// the intake reads the rebuilt message (so that Unknown comes back as Trap),
// and the field values exactly as logged, since the log holds them after the
// intake's rules (underscores, blanks, tags) have been applied once already.
// The date is the logged one: an empty or unreadable date stays as it is.
// A line that was `cut` for its length has a message ending in kEllipsis.
Event replayedEvent(const std::array<std::string_view, 6> &fields, bool cut = false);
// The level of that event alone: by the letter of a log line's first field.
const Level &replayedLevel(std::string_view levelName);

// Whether `line` has the six fields of a log line (five ";" at least).
bool hasLogFields(std::string_view line);
// The event of a line that has not: an Unknown event with the whole line as
// its message, so that its text is shown.
Event unsplitLineEvent(std::string_view line, bool cut = false);

// The line filter of a history load, for lines without their line end.
class HistoryLineFilter {
public:
    explicit HistoryLineFilter(HistoryFilter filter, WideSearch wideSearch = {});

    // The date test and the search.
    bool passes(std::string_view line) const;

    // For a line that passes and is no header line ("Level" in its first
    // field): its six fields, and true.
    bool accept(std::string_view line, std::array<std::string_view, 6> &fields) const;

    const HistoryFilter &filter() const { return m_filter; }

private:
    bool passesDate(std::string_view line) const;
    bool contains(std::string_view line) const;
    bool containsAscii(std::string_view line) const;

    HistoryFilter m_filter;
    bool m_dateTest = true;
    WideSearch m_wideSearch;
    std::string m_folded;                  // the search text, ASCII letters in lower case
    std::array<std::size_t, 256> m_skip{}; // shift by the byte under the window's last place
    bool m_asciiSearch = true;
};

} // namespace quorvik
