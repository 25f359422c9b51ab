// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "event.h"

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvik {

// A date-time to the second, counted from the zero date-time 30.12.1899
// 00:00:00. A time read without a date lies on that zero day.
struct DateTime {
    std::int64_t seconds = 0;

    auto operator<=>(const DateTime &) const = default;
    bool isZero() const { return seconds == 0; }
};

// The date-time of the given parts (proleptic Gregorian calendar); the
// parts are not checked.
DateTime toDateTime(const LocalDateTime &parts);
LocalDateTime partsOf(DateTime value);

// The bounds that stand for "no lower limit" and "no upper limit".
inline constexpr LocalDateTime kNoLowerBound{1900, 2, 1, 0, 0, 0};
inline constexpr LocalDateTime kNoUpperBound{2100, 12, 31, 23, 59, 59};

// Reads "dd.mm.yy[yy] [hh:mm[:ss]]" (day, month and hour with one or two
// digits, the year with two or four) or a time alone "hh:mm[:ss]". A
// missing time is 00:00:00, missing seconds are :00; two-digit years 00-68
// are 2000-2068, 69-99 are 1969-1999. Blanks around the text are ignored.
// nullopt for any other text and for dates that don't exist (31.04.,
// 29.02. outside leap years).
std::optional<DateTime> readDateTime(std::string_view text);

// dd.mm.yyyy, followed by " hh:mm:ss" (24-hour clock) when the time is not
// 00:00:00.
std::string showDateTime(DateTime value);

// Completes an upper bound towards the end of its period: an hour of 0 gets
// 23 hours added, a minute of 0 gets 59 minutes, a second of 0 gets 59
// seconds, each decided on the value as read.
DateTime completeUpperBound(DateTime value);

// The default history range: yesterday 00:00:00 to today 23:59:59.
struct DateRange {
    DateTime from;
    DateTime to;
};
DateRange yesterdayAndToday(const LocalDateTime &now);

} // namespace quorvik
