// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/syslog_parser.h"

#include "core/date_time.h"
#include "core/forward_target.h"
#include "core/text_rules.h"

#include <array>
#include <cstdlib>
#include <optional>

namespace quorvik {

namespace {

// Days from the zero date-time (30.12.1899) to 01.01.1970.
constexpr std::int64_t kUnixEpochSeconds = 25569LL * 86400;
constexpr std::string_view kOwnElement = "quorvik@32473";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr int kNoPriority = 13; // user.notice

// A timestamp as written: its fields, and its zone when it names one.
struct Stamp {
    LocalDateTime parts;
    bool hasYear = true;
    std::optional<int> offset; // seconds east of UTC
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads exactly `count` digits; leaves `text` as it was when they are not there.
bool readNumber(std::string_view &text, std::size_t count, int &value) {
    std::string_view rest = text;
    std::size_t digits = 0;
    const std::optional<int> number = takeNumber(rest, count, digits);
    if (!number || digits != count)
        return false;
    value = *number;
    text = rest;
    return true;
}

void skipFraction(std::string_view &text) {
    if (text.size() > 1 && text[0] == '.' && isDigit(text[1])) {
        text.remove_prefix(1);
        while (!text.empty() && isDigit(text.front()))
            text.remove_prefix(1);
    }
}

// "+hh:mm", "+hhmm" or "+hh" (or "-"): the offset in seconds.
bool readNumericOffset(std::string_view &text, int &offset) {
    std::string_view at = text;
    if (at.empty() || (at[0] != '+' && at[0] != '-'))
        return false;
    const int sign = at[0] == '-' ? -1 : 1;
    at.remove_prefix(1);
    int hours = 0, minutes = 0;
    if (!readNumber(at, 2, hours) || hours > 23)
        return false;
    takeChar(at, ':');
    if (!at.empty() && isDigit(at[0]) && (!readNumber(at, 2, minutes) || minutes > 59))
        return false;
    offset = sign * (hours * 3600 + minutes * 60);
    text = at;
    return true;
}

// hh:mm:ss with an optional fraction.
bool readClock(std::string_view &text, LocalDateTime &parts) {
    return readNumber(text, 2, parts.hour) && takeChar(text, ':') &&
           readNumber(text, 2, parts.minute) && takeChar(text, ':') &&
           readNumber(text, 2, parts.second) && (skipFraction(text), true);
}

// RFC 3339: yyyy-mm-ddThh:mm:ss[.frac](Z|+hh:mm).
std::optional<Stamp> readIsoStamp(std::string_view &text) {
    std::string_view at = text;
    Stamp stamp;
    LocalDateTime &p = stamp.parts;
    if (!readNumber(at, 4, p.year) || !takeChar(at, '-') || !readNumber(at, 2, p.month) ||
        !takeChar(at, '-') || !readNumber(at, 2, p.day) || at.empty() ||
        (at[0] != 'T' && at[0] != 't' && at[0] != ' '))
        return std::nullopt;
    at.remove_prefix(1);
    if (!readClock(at, p))
        return std::nullopt;
    int offset = 0;
    if (takeChar(at, 'Z') || takeChar(at, 'z'))
        stamp.offset = 0;
    else if (readNumericOffset(at, offset))
        stamp.offset = offset;
    text = at;
    return stamp;
}

int monthOf(std::string_view name) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (name.size() != 3)
        return 0;
    char lower[3];
    for (int i = 0; i < 3; ++i)
        lower[i] = char(name[std::size_t(i)] | 0x20);
    for (std::size_t i = 0; i < kMonths.size(); ++i)
        if (std::string_view(lower, 3) == kMonths[i])
            return int(i) + 1;
    return 0;
}

// " yyyy" followed by a blank, a colon or the end.
bool readYear(std::string_view &text, int &year) {
    std::string_view at = text;
    if (!takeChar(at, ' ') || !readNumber(at, 4, year))
        return false;
    if (!at.empty() && at[0] != ' ' && at[0] != ':')
        return false;
    text = at;
    return true;
}

// A zone after the time: a numeric offset, UTC or GMT (known offsets), or
// another name of capitals followed by a colon (kept as local time).
void readZone(std::string_view &text, Stamp &stamp) {
    std::string_view at = text;
    if (!takeChar(at, ' '))
        return;
    int offset = 0;
    if (readNumericOffset(at, offset)) {
        stamp.offset = offset;
        text = at;
        return;
    }
    std::size_t length = 0;
    while (length < at.size() && at[length] >= 'A' && at[length] <= 'Z')
        ++length;
    const std::string_view name = at.substr(0, length);
    const bool ends = length == at.size() || at[length] == ' ' || at[length] == ':';
    if (ends && (name == "UTC" || name == "GMT" || name == "Z")) {
        stamp.offset = 0;
        text = at.substr(length);
    } else if (length >= 3 && length <= 5 && length < at.size() && at[length] == ':') {
        text = at.substr(length);
    }
}

// Mmm dd [yyyy] hh:mm:ss[.frac] [yyyy] [zone]; the day may be padded with a
// blank ("Apr  5").
std::optional<Stamp> readLegacyStamp(std::string_view &text) {
    std::string_view at = text;
    Stamp stamp;
    LocalDateTime &p = stamp.parts;
    if (at.size() < 4 || (p.month = monthOf(at.substr(0, 3))) == 0 || at[3] != ' ')
        return std::nullopt;
    at.remove_prefix(4);
    if (takeChar(at, ' ')) {
        if (!readNumber(at, 1, p.day))
            return std::nullopt;
    } else if (!readNumber(at, 2, p.day) && !readNumber(at, 1, p.day)) {
        return std::nullopt;
    }
    stamp.hasYear = readYear(at, p.year);
    if (!takeChar(at, ' ') || !readClock(at, p))
        return std::nullopt;
    if (!stamp.hasYear)
        stamp.hasYear = readYear(at, p.year);
    readZone(at, stamp);
    text = at;
    return stamp;
}

// A timestamp at the start of `text`, after Cisco's `*` (clock not set) or
// `.` (not in sync); `text` then starts after it.
std::optional<Stamp> readStamp(std::string_view &text) {
    std::string_view at = text;
    if (!at.empty() && (at[0] == '*' || at[0] == '.'))
        at.remove_prefix(1);
    std::optional<Stamp> stamp = readIsoStamp(at);
    if (!stamp)
        stamp = readLegacyStamp(at);
    if (stamp)
        text = at;
    return stamp;
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool isRealDate(const LocalDateTime &p) {
    static constexpr std::array<int, 12> kDays = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (p.month < 1 || p.month > 12 || p.day < 1 || p.day > kDays[std::size_t(p.month - 1)])
        return false;
    if (p.month == 2 && p.day == 29 && !isLeapYear(p.year))
        return false;
    // Years of four digits, as the log's dates are read back.
    return p.year >= 100 && p.year <= 9999 && p.hour <= 23 && p.minute <= 59 && p.second <= 60;
}

// The year that puts a year-less date closest to its receipt: Dec 31 read
// on Jan 1 is last year's, Jan 1 read on Dec 31 next year's.
bool guessYear(LocalDateTime &parts, const LocalDateTime &received) {
    const std::int64_t receipt = toDateTime(received).seconds;
    std::optional<std::int64_t> best;
    int bestYear = 0;
    for (int year = received.year - 1; year <= received.year + 1; ++year) {
        LocalDateTime candidate = parts;
        candidate.year = year;
        if (!isRealDate(candidate))
            continue;
        const std::int64_t distance = std::llabs(toDateTime(candidate).seconds - receipt);
        if (!best || distance < *best) {
            best = distance;
            bestYear = year;
        }
    }
    parts.year = bestYear;
    return best.has_value();
}

// The local date text of a stamp; empty when it names no real date-time.
std::string localDateOf(Stamp stamp, const LocalDateTime &received, LocalTimeCache &zone) {
    LocalDateTime &p = stamp.parts;
    if (!stamp.hasYear && !guessYear(p, received))
        return {};
    if (!isRealDate(p))
        return {};
    if (p.second == 60)
        p.second = 59; // a leap second shows as the second before it
    if (stamp.offset) {
        const std::int64_t utc = toDateTime(p).seconds - kUnixEpochSeconds - *stamp.offset;
        p = zone.at(utc);
        if (!isRealDate(p))
            return {};
    }
    return formatGeneratedDate(p);
}

// localDateOf, remembered for the last stamp with a year (a year-less one
// depends on the receipt too).
std::string datedOnce(const Stamp &stamp, const LocalDateTime &received, LocalTimeCache &zone,
                      std::optional<SyslogReader::DatedStamp> &last) {
    if (!stamp.hasYear)
        return localDateOf(stamp, received, zone);
    if (!last || last->parts != stamp.parts || last->offset != stamp.offset)
        last =
            SyslogReader::DatedStamp{stamp.parts, stamp.offset, localDateOf(stamp, received, zone)};
    return last->date;
}

// The next word up to a blank; `text` then starts after the blank.
std::string_view takeWord(std::string_view &text) {
    const std::size_t end = text.find(' ');
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return word;
}

// A word that names a program rather than a host: "sshd:", "cron[12]:",
// or a Cisco mnemonic "%SYS-5-CONFIG_I:".
bool isTag(std::string_view word) {
    return !word.empty() && (word.back() == ':' || word[0] == '%');
}

// The application of a TAG: without the colon and a [pid].
std::string_view applicationOf(std::string_view tag) {
    if (!tag.empty() && tag.back() == ':')
        tag.remove_suffix(1);
    if (!tag.empty() && tag[0] == '%')
        return tag;
    if (const std::size_t bracket = tag.find('['); bracket != std::string_view::npos)
        tag = tag.substr(0, bracket);
    return tag;
}

struct Header {
    std::optional<Stamp> stamp;
    std::string_view stampText, tag; // as sent (the old header's)
    bool stampUnreadable = false;
    std::string_view host;
    std::string_view application;
    std::string message;
    // quorvik's own element, when the message carries it.
    bool relayed = false;
    std::string ownLevel, ownHost, ownApplication, ownObject;
    // An acknowledgement another quorvik forwarded.
    std::shared_ptr<Acknowledgement> acknowledgement;
};

// <PRI>: 1 to 3 digits, at most 191. Without one, user.notice.
int readPriority(std::string_view &text) {
    std::string_view at = text;
    if (!takeChar(at, '<'))
        return kNoPriority;
    int value = 0;
    std::size_t digits = 0;
    while (digits < 3 && !at.empty() && isDigit(at[0])) {
        value = value * 10 + (at[0] - '0');
        at.remove_prefix(1);
        ++digits;
    }
    if (digits == 0 || value > 191 || !takeChar(at, '>'))
        return kNoPriority;
    text = at;
    return value;
}

// The old header: [seq: ][origin: ]TIMESTAMP[:] [HOSTNAME] [TAG:] MSG, or no
// header at all (then all of it is the message).
void readLegacy(std::string_view text, Header &header) {
    std::string_view at = text;
    std::string_view origin;
    std::string_view before = at;
    header.stamp = readStamp(at);
    for (int prefix = 0; !header.stamp && prefix < 2; ++prefix) {
        // Cisco's sequence number and origin host, each followed by ": ".
        const std::size_t colon = at.find(": ");
        const std::size_t blank = at.find(' ');
        if (colon == 0 || colon == std::string_view::npos || blank < colon)
            break;
        const std::string_view word = at.substr(0, colon);
        bool digits = true;
        for (const char c : word)
            digits = digits && isDigit(c);
        if (!digits)
            origin = word;
        at.remove_prefix(colon + 2);
        before = at;
        header.stamp = readStamp(at);
    }
    if (!header.stamp) {
        header.message = std::string(text);
        return;
    }
    header.stampText = before.substr(0, before.size() - at.size());
    takeChar(at, ':');
    while (takeChar(at, ' ')) {
    }
    std::string_view rest = at;
    std::string_view word = takeWord(rest);
    if (!isTag(word) && !rest.empty()) {
        header.host = word;
        at = rest;
        word = takeWord(rest);
    }
    if (isTag(word) && !rest.empty()) {
        header.application = applicationOf(word);
        header.tag = word;
        at = rest;
    } else if (isTag(word) && word.back() == ':') {
        header.application = applicationOf(word);
        header.tag = word;
        at = {};
    }
    if (header.host.empty())
        header.host = origin;
    header.message = std::string(at);
}

// A PARAM-VALUE without its escapes (\" \\ \]).
std::string unescape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size() &&
            (value[i + 1] == '"' || value[i + 1] == '\\' || value[i + 1] == ']'))
            ++i;
        out += value[i];
    }
    return out;
}

void takeOwnParam(Header &header, std::string_view name, std::string_view value) {
    if (name == "level")
        header.ownLevel = unescape(value);
    else if (name == "host")
        header.ownHost = unescape(value);
    else if (name == "application")
        header.ownApplication = unescape(value);
    else if (name == "object")
        header.ownObject = unescape(value);
    else if (name.starts_with("ack")) {
        static constexpr std::array<std::pair<std::string_view, std::string Acknowledgement::*>, 8>
            kAckParams = {{{"ackUser", &Acknowledgement::user},
                           {"ackNote", &Acknowledgement::note},
                           {"ackLevel", &Acknowledgement::level},
                           {"ackDate", &Acknowledgement::date},
                           {"ackHost", &Acknowledgement::host},
                           {"ackApplication", &Acknowledgement::application},
                           {"ackObject", &Acknowledgement::object},
                           {"ackMessage", &Acknowledgement::message}}};
        for (const auto &[param, field] : kAckParams)
            if (name == param) {
                if (!header.acknowledgement)
                    header.acknowledgement = std::make_shared<Acknowledgement>();
                (*header.acknowledgement).*field = unescape(value);
            }
    }
}

// One ` name="value"` of an SD-ELEMENT at the start of `at`: its name and
// its value as sent (escapes kept); `at` then starts after it. False when
// none starts there or it is malformed (`malformed` tells which).
bool takeParam(std::string_view &at, std::string_view &name, std::string_view &value,
               bool &malformed) {
    malformed = false;
    if (!takeChar(at, ' '))
        return false;
    malformed = true;
    const std::size_t equals = at.find("=\"");
    if (equals == 0 || equals == std::string_view::npos)
        return false;
    name = at.substr(0, equals);
    at.remove_prefix(equals + 2);
    std::size_t end = 0;
    while (end < at.size() && at[end] != '"')
        end += at[end] == '\\' ? 2 : 1;
    if (end >= at.size())
        return false;
    value = at.substr(0, end);
    at.remove_prefix(end + 1);
    malformed = false;
    return true;
}

// One SD-ELEMENT at the start of `text`: [ID name="value" ...]. Reads the
// params of quorvik's own element into `header` and tells it by `own`.
// False when malformed.
bool readElement(std::string_view &text, Header &header, bool &own) {
    std::string_view at = text;
    if (!takeChar(at, '['))
        return false;
    std::size_t idEnd = 0;
    while (idEnd < at.size() && at[idEnd] != ' ' && at[idEnd] != ']' && at[idEnd] != '"')
        ++idEnd;
    if (idEnd == 0)
        return false;
    own = at.substr(0, idEnd) == kOwnElement;
    at.remove_prefix(idEnd);
    std::string_view name, value;
    bool malformed = false;
    while (takeParam(at, name, value, malformed)) {
        if (name.find_first_of(" ]\"") != std::string_view::npos)
            return false;
        if (own)
            takeOwnParam(header, name, value);
    }
    if (malformed)
        return false;
    if (!takeChar(at, ']'))
        return false;
    header.relayed = header.relayed || own;
    text = at;
    return true;
}

// VERSION "1" was read: TIMESTAMP HOSTNAME APP-NAME PROCID MSGID SD [MSG].
void readRfc5424(std::string_view text, Header &header) {
    const std::string_view stampWord = takeWord(text);
    if (stampWord != "-") {
        std::string_view at = stampWord;
        header.stamp = readIsoStamp(at);
        if (!header.stamp || !at.empty()) {
            header.stamp.reset();
            header.stampUnreadable = true;
        }
    }
    if (const std::string_view host = takeWord(text); host != "-")
        header.host = host;
    if (const std::string_view application = takeWord(text); application != "-")
        header.application = application;
    takeWord(text);   // PROCID
    takeWord(text);   // MSGID
    std::string kept; // the structured data, without quorvik's own element
    if (!text.empty() && text[0] == '-') {
        text.remove_prefix(1);
    } else {
        Header parsed;
        std::string_view at = text;
        while (!at.empty() && at[0] == '[') {
            const std::string_view start = at;
            bool own = false;
            if (!readElement(at, parsed, own)) {
                at = text; // malformed: all of it is the message
                kept.clear();
                parsed = Header{};
                break;
            }
            if (!own)
                kept += start.substr(0, start.size() - at.size());
        }
        header.relayed = parsed.relayed;
        header.ownLevel = std::move(parsed.ownLevel);
        header.ownHost = std::move(parsed.ownHost);
        header.ownApplication = std::move(parsed.ownApplication);
        header.ownObject = std::move(parsed.ownObject);
        header.acknowledgement = std::move(parsed.acknowledgement);
        text = at;
    }
    takeChar(text, ' ');
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    header.message = std::move(kept);
    if (!header.message.empty() && !text.empty())
        header.message += ' ';
    header.message += text;
}

constexpr std::array<std::string_view, 8> kSeverityNames = {"emerg",   "alert",  "crit", "err",
                                                            "warning", "notice", "info", "debug"};

// The SD-ELEMENTs at the start of `text`, each parameter a line; `text`
// then starts after them. False when they are malformed.
bool readElementLines(std::string_view &text, DetailLines &lines) {
    std::string_view at = text;
    DetailLines read;
    while (takeChar(at, '[')) {
        const std::size_t idEnd = at.find_first_of(" ]\"");
        if (idEnd == 0 || idEnd == std::string_view::npos)
            return false;
        const std::string id = '[' + std::string(at.substr(0, idEnd)) + ']';
        at.remove_prefix(idEnd);
        bool any = false;
        std::string_view name, value;
        bool malformed = false;
        while (takeParam(at, name, value, malformed)) {
            read.push_back({id + ' ' + std::string(name), unescape(value)});
            any = true;
        }
        if (malformed)
            return false;
        if (!takeChar(at, ']'))
            return false;
        if (!any)
            read.push_back({id, {}});
    }
    lines.insert(lines.end(), read.begin(), read.end());
    text = at;
    return true;
}

std::string nilOr(std::string_view word) {
    return word == "-" ? std::string() : std::string(word);
}

} // namespace

DetailLines syslogDetails(std::string_view bytes) {
    std::string_view text = withoutLineEnd(bytes);
    DetailLines lines;
    const std::string_view original = text;
    const int priority = readPriority(text);
    const std::string facility =
        facilityName(priority >> 3) + " (" + std::to_string(priority >> 3) + ")";
    const std::string severity = std::string(kSeverityNames[std::size_t(priority & 7)]) + " (" +
                                 std::to_string(priority & 7) + ")";
    if (text.size() == original.size())
        lines.push_back({"PRI", "none: user.notice (13)"});
    else
        lines.push_back({"PRI", std::string(original.substr(0, original.size() - text.size()))});
    lines.push_back({"Facility", facility});
    lines.push_back({"Severity", severity});
    if (text.starts_with("1 ")) {
        text.remove_prefix(2);
        lines.push_back({"Format", "RFC 5424"});
        lines.push_back({"Timestamp as sent", nilOr(takeWord(text))});
        lines.push_back({"HOSTNAME", nilOr(takeWord(text))});
        lines.push_back({"APP-NAME", nilOr(takeWord(text))});
        lines.push_back({"PROCID", nilOr(takeWord(text))});
        lines.push_back({"MSGID", nilOr(takeWord(text))});
        if (!text.empty() && text[0] == '-')
            text.remove_prefix(1);
        else if (!readElementLines(text, lines))
            lines.push_back({"Structured data", "malformed: read as the message"});
        takeChar(text, ' ');
        if (text.starts_with(kByteOrderMark))
            text.remove_prefix(kByteOrderMark.size());
        lines.push_back({"MSG", std::string(text)});
        return lines;
    }
    Header header;
    readLegacy(text, header);
    lines.push_back({"Format", header.stamp ? "RFC 3164" : "RFC 3164, no header"});
    lines.push_back({"Timestamp as sent", std::string(header.stampText)});
    lines.push_back({"HOSTNAME", std::string(header.host)});
    lines.push_back({"TAG", std::string(header.tag)});
    std::string_view procid;
    if (const std::size_t open = header.tag.find('['); open != std::string_view::npos)
        procid = header.tag.substr(open + 1, header.tag.find(']', open) - open - 1);
    lines.push_back({"APP-NAME", std::string(header.application)});
    lines.push_back({"PROCID", std::string(procid)});
    lines.push_back({"MSG", header.message});
    return lines;
}

const Level &levelOfSeverity(int severity) {
    return levelByIndex(severity >= 7 ? 6 : severity);
}

Event SyslogReader::read(std::string_view bytes, const RawMessage &receipt,
                         const LocalDateTime &received) {
    std::string_view text = withoutLineEnd(bytes);
    const int priority = readPriority(text);
    Header header;
    if (text.starts_with("1 "))
        readRfc5424(text.substr(2), header);
    else
        readLegacy(text, header);

    Event event;
    event.source = Source::Syslog;
    event.sender = receipt.sender;
    event.senderPort = receipt.senderPort;
    event.receivedAt = receipt.receivedAt;
    event.level = &levelOfSeverity(priority & 7);
    event.object = facilityName(priority >> 3);
    if (header.stamp)
        event.date = datedOnce(*header.stamp, received, m_localTime, m_lastStamp);
    if (event.date.empty())
        event.date = formatGeneratedDate(received);
    event.host = header.host.empty() ? std::string(receipt.sender) : std::string(header.host);
    event.application = header.application;
    // A relay's template may put a blank before the text ("- %msg%").
    const std::size_t start = header.message.find_first_not_of(' ');
    header.message.erase(0, start == std::string::npos ? header.message.size() : start);
    event.message = std::move(header.message);
    if (header.relayed) {
        event.relayed = true;
        if (const Level *level = levelByName(header.ownLevel))
            event.level = level;
        if (!header.ownHost.empty())
            event.host = std::move(header.ownHost);
        event.application = std::move(header.ownApplication);
        event.object = std::move(header.ownObject);
        if (header.acknowledgement && !header.acknowledgement->user.empty()) {
            // The acknowledged event's date as this console shows dates.
            Acknowledgement &ack = *header.acknowledgement;
            std::string_view at = ack.date;
            if (const std::optional<Stamp> stamp = readIsoStamp(at); stamp && at.empty())
                ack.date = localDateOf(*stamp, received, m_localTime);
            event.acknowledges = std::move(header.acknowledgement);
        }
    }
    return event;
}

} // namespace quorvik
