// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/date_time.h"

#include "core/text_rules.h"

#include <cstdio>

namespace quorvik {

namespace {

constexpr std::int64_t kDay = 86400;

// Days since 1.1.1970 of a civil date (proleptic Gregorian).
constexpr std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = y - era * 400;
    const int mp = (m + 9) % 12;
    const auto doy = (153 * mp + 2) / 5 + d - 1;
    const auto doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

constexpr std::int64_t kZeroDay = daysFromCivil(1899, 12, 30);

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// "hh:mm[:ss]", the whole text.
std::optional<std::int64_t> readTime(std::string_view text) {
    std::size_t digits = 0;
    const auto hour = takeNumber(text, 2, digits);
    if (!hour || *hour > 23 || !takeChar(text, ':'))
        return std::nullopt;
    const auto minute = takeNumber(text, 2, digits);
    if (!minute || *minute > 59)
        return std::nullopt;
    int second = 0;
    if (takeChar(text, ':')) {
        const auto s = takeNumber(text, 2, digits);
        if (!s || *s > 59)
            return std::nullopt;
        second = *s;
    }
    if (!text.empty())
        return std::nullopt;
    return *hour * 3600 + *minute * 60 + second;
}

// "dd.mm.yy[yy]" at the front of `text`, as days since the zero day.
std::optional<std::int64_t> takeDate(std::string_view &text) {
    std::size_t digits = 0;
    const auto day = takeNumber(text, 2, digits);
    if (!day || !takeChar(text, '.'))
        return std::nullopt;
    const auto month = takeNumber(text, 2, digits);
    if (!month || !takeChar(text, '.'))
        return std::nullopt;
    auto year = takeNumber(text, 4, digits);
    if (!year || (digits != 2 && digits != 4))
        return std::nullopt;
    if (digits == 2)
        *year += *year <= 68 ? 2000 : 1900;
    if (*year < 100 || *month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month))
        return std::nullopt;
    return daysFromCivil(*year, *month, *day) - kZeroDay;
}

// "dd.mm.yyyy hh:mm:ss" exactly, as the log writes every date: read in one
// go, with the checks of the general rule. Nothing when the text has another
// shape.
std::optional<std::optional<DateTime>> readLogDate(std::string_view t) {
    static constexpr std::string_view kShape = "00.00.0000 00:00:00";
    if (t.size() != kShape.size())
        return std::nullopt;
    for (std::size_t k = 0; k < kShape.size(); ++k)
        if (kShape[k] == '0' ? t[k] < '0' || t[k] > '9' : t[k] != kShape[k])
            return std::nullopt;
    const auto number = [t](std::size_t at, std::size_t digits) {
        int value = 0;
        for (std::size_t k = at; k < at + digits; ++k)
            value = value * 10 + (t[k] - '0');
        return value;
    };
    const int day = number(0, 2), month = number(3, 2), year = number(6, 4);
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (year < 100 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59)
        return std::optional<DateTime>();
    return DateTime{(daysFromCivil(year, month, day) - kZeroDay) * kDay + hour * 3600 +
                    minute * 60 + second};
}

} // namespace

DateTime toDateTime(const LocalDateTime &parts) {
    const std::int64_t days = daysFromCivil(parts.year, parts.month, parts.day) - kZeroDay;
    return {days * kDay + parts.hour * 3600 + parts.minute * 60 + parts.second};
}

LocalDateTime partsOf(DateTime value) {
    std::int64_t days = value.seconds / kDay;
    std::int64_t rest = value.seconds % kDay;
    if (rest < 0) {
        rest += kDay;
        --days;
    }
    // Civil date of a day count (the inverse of daysFromCivil).
    const std::int64_t z = days + kZeroDay + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = z - era * 146097;
    const auto yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const auto doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const auto mp = (5 * doy + 2) / 153;
    const auto day = doy - (153 * mp + 2) / 5 + 1;
    const auto month = mp < 10 ? mp + 3 : mp - 9;
    const auto year = yoe + era * 400 + (month <= 2);
    return {int(year), int(month), int(day), int(rest / 3600), int(rest / 60 % 60), int(rest % 60)};
}

std::optional<DateTime> readDateTime(std::string_view text) {
    if (const auto logDate = readLogDate(text))
        return *logDate;
    text = trimBlanks(text);
    if (const auto time = readTime(text))
        return DateTime{*time};
    const auto days = takeDate(text);
    if (!days)
        return std::nullopt;
    std::int64_t time = 0;
    if (!text.empty()) {
        if (kBlanks.find(text.front()) == std::string_view::npos)
            return std::nullopt;
        const auto read = readTime(trimBlanks(text));
        if (!read)
            return std::nullopt;
        time = *read;
    }
    return DateTime{*days * kDay + time};
}

std::string showDateTime(DateTime value) {
    const LocalDateTime p = partsOf(value);
    char buffer[64];
    if (p.hour == 0 && p.minute == 0 && p.second == 0)
        std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d", p.day, p.month, p.year);
    else
        std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d %02d:%02d:%02d", p.day, p.month,
                      p.year, p.hour, p.minute, p.second);
    return buffer;
}

DateTime completeUpperBound(DateTime value) {
    const LocalDateTime p = partsOf(value);
    if (p.hour == 0)
        value.seconds += 23 * 3600;
    if (p.minute == 0)
        value.seconds += 59 * 60;
    if (p.second == 0)
        value.seconds += 59;
    return value;
}

DateRange yesterdayAndToday(const LocalDateTime &now) {
    const DateTime today = toDateTime({now.year, now.month, now.day, 0, 0, 0});
    return {{today.seconds - kDay}, {today.seconds + kDay - 1}};
}

} // namespace quorvik
