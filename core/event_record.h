// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "level.h"

#include <array>
#include <string>
#include <string_view>

namespace quorvik {

// Field tags in column order; the level tag is not one of them and never ends
// a field value.
inline constexpr std::array<std::string_view, 5> kFieldTags = {
    "$DATE$:", "$HOST$:", "$SOURCE$:", "$DEVC$:", "$MSG$:"};
inline constexpr std::string_view kLevelTag = "$LEVL$:";

// BER encoding of the OID 1.3.6.1.2.1.1.1.0 (sysDescr.0) followed by the
// OCTET STRING tag; the string's length follows the marker.
inline constexpr std::string_view kSysDescrMarker{"\x06\x08\x2B\x06\x01\x02\x01\x01\x01\x00\x04",
                                                  11};

// A broken-down local time, as the clock seam hands it to the parser.
struct LocalDateTime {
    int year = 2000;
    int month = 1; // 1..12
    int day = 1;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// One event. Texts are bytes as received (8-bit text); the message carries no
// leading blank.
struct EventRecord {
    const Level *level = nullptr;
    std::string date;
    std::string processor;
    std::string application;
    std::string object;
    std::string message;

    // Date, processor, application, object, message: the column order of the
    // level tables and of the log line after the level.
    std::array<const std::string *, 5> fields() const {
        return {&date, &processor, &application, &object, &message};
    }
};

// Reads one message text (a datagram's bytes, or a text rebuilt from a log
// line). Pure: the sender's dotted address fills an empty processor, `now`
// an empty date.
EventRecord parseEventMessage(std::string_view text, std::string_view senderAddress,
                              const LocalDateTime &now);

// The generated date: day.month.year HH:MM:SS, 24-hour clock, whatever the
// locale, e.g. "07.12.2026 20:41:05".
std::string formatGeneratedDate(const LocalDateTime &when);

} // namespace quorvik
