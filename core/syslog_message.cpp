// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/syslog_message.h"

#include "core/date_time.h"
#include "core/visible_text.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace quorvik {

namespace {

void appendTwoDigits(std::string &out, int value) {
    out += char('0' + value / 10);
    out += char('0' + value % 10);
}

// The zone's offset at `instant`, in seconds east of UTC.
long offsetAt(std::time_t instant) {
    std::tm parts{};
    return ::localtime_r(&instant, &parts) ? parts.tm_gmtoff : 0;
}

// The zone offset that applies at a local time, "+01:00" or "Z". A time
// the clock skipped (the gap when it is put forward) takes the offset from
// before the gap, as a clock not yet put forward would show it.
std::string zoneOffset(const LocalDateTime &local) {
    std::tm parts{};
    parts.tm_year = local.year - 1900;
    parts.tm_mon = local.month - 1;
    parts.tm_mday = local.day;
    parts.tm_hour = local.hour;
    parts.tm_min = local.minute;
    parts.tm_sec = local.second;
    parts.tm_isdst = -1;
    std::tm asUtc = parts;
    if (std::mktime(&parts) == std::time_t(-1) && parts.tm_gmtoff == 0)
        return "Z";
    long offset = parts.tm_gmtoff;
    if (parts.tm_hour != local.hour || parts.tm_min != local.minute || parts.tm_mday != local.day) {
        // In a gap: the offsets half a day either side are those before and
        // after it; the one before is the smaller.
        const std::time_t fields = ::timegm(&asUtc);
        offset = std::min(offsetAt(fields - 43'200), offsetAt(fields + 43'200));
    }
    if (offset == 0)
        return "Z";
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    std::string text(1, offset < 0 ? '-' : '+');
    appendTwoDigits(text, int(minutes / 60 % 100));
    text += ':';
    appendTwoDigits(text, int(minutes % 60));
    return text;
}

// Appends `bytes` as UTF-8 (see toUtf8), with `"`, `\` and `]` escaped
// when `escape` is set; UTF-8 text, the usual case, is copied as it is.
void appendUtf8(std::string &out, std::string_view bytes, bool escape) {
    std::string decoded;
    if (!isValidUtf8(bytes)) {
        decoded = windows1252ToUtf8(bytes);
        bytes = decoded;
    }
    for (const char c : bytes) {
        if (escape && (c == '"' || c == '\\' || c == ']'))
            out += '\\';
        out += c;
    }
}

void appendParam(std::string &out, std::string_view name, std::string_view value) {
    out += ' ';
    out += name;
    out += "=\"";
    appendUtf8(out, value, true);
    out += '"';
}

// HOSTNAME is printable US-ASCII, at most 255 bytes, or the nil value.
std::string hostName(std::string_view processor) {
    if (processor.empty())
        return "-";
    std::string name(processor.substr(0, 255));
    for (char &c : name)
        if (c < 33 || c > 126)
            c = '_';
    return name;
}

} // namespace

int syslogSeverity(const Level &level) {
    // The seven levels fall on severities 0 to 6 in their order; Trap and
    // Unknown share the Warning table's index, 4.
    return level.index;
}

std::string toUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    appendUtf8(out, bytes, false);
    return out;
}

std::string escapeParamValue(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    appendUtf8(out, utf8, true);
    return out;
}

const std::string &SyslogFormatter::timestamp(std::string_view eventDate) {
    if (eventDate == m_lastDate) // a burst shares its second
        return m_lastStamp;
    m_lastDate = eventDate;
    m_lastStamp = readTimestamp(eventDate);
    return m_lastStamp;
}

std::string SyslogFormatter::readTimestamp(std::string_view eventDate) {
    const std::optional<DateTime> when = readDateTime(eventDate);
    if (!when || when->seconds < 86400) // a time alone names no day
        return "-";
    const LocalDateTime local = partsOf(*when);
    const std::int64_t minute = when->seconds / 60;
    if (minute != m_minute) {
        m_offset = zoneOffset(local);
        m_minute = minute;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", local.year % 10000,
                  local.month, local.day, local.hour, local.minute, local.second);
    return text + m_offset;
}

std::string SyslogFormatter::format(const Event &event, int facility) {
    const Event &record = event;
    const Level &level = *record.level;
    std::string out;
    out.reserve(160 + record.message.size());
    out += '<';
    out += std::to_string(facility * 8 + syslogSeverity(level));
    out += ">1 ";
    out += timestamp(record.date);
    out += ' ';
    out += hostName(record.host);
    out += " quorvik - ";
    out += level.name;
    out += " [quorvik@32473";
    appendParam(out, "level", level.name);
    appendParam(out, "host", record.host);
    appendParam(out, "application", record.application);
    appendParam(out, "object", record.object);
    appendParam(out, "sender", event.sender);
    if (const Acknowledgement *ack = event.acknowledges.get()) {
        // The acknowledged event, so that a console receiving this finds
        // its rows: the date as a timestamp where it reads as one, so that
        // a console in another zone finds it too.
        appendParam(out, "ackUser", ack->user);
        appendParam(out, "ackNote", ack->note);
        appendParam(out, "ackLevel", ack->level);
        const std::string &stamp = timestamp(ack->date);
        appendParam(out, "ackDate", stamp == "-" ? ack->date : stamp);
        appendParam(out, "ackHost", ack->host);
        appendParam(out, "ackApplication", ack->application);
        appendParam(out, "ackObject", ack->object);
        appendParam(out, "ackMessage", ack->message);
    }
    out += ']';
    if (!record.message.empty()) {
        out += ' ';
        appendUtf8(out, record.message, false);
    }
    return out;
}

std::string_view cutForDatagram(std::string_view message, std::size_t limit) {
    if (message.size() <= limit)
        return message;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(message[end]) & 0xC0) == 0x80)
        --end; // back to the start of the character that did not fit
    return message.substr(0, end);
}

void appendOctetCounted(std::string &out, std::string_view message) {
    out += std::to_string(message.size());
    out += ' ';
    out += message;
}

} // namespace quorvik
