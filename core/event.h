// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "level.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvik {

class EventFilter;

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
    friend bool operator==(const LocalDateTime &, const LocalDateTime &) = default;
};

// What kind of message an event was made from.
enum class Source : std::uint8_t {
    Text,    // a tagged (or plain) text
    Trap,    // an SNMP message
    Syslog,  // a syslog message
    Quorvik, // this program's own event
};

// One message as a source received it, before any decoding: the bytes, who
// sent them and when.
struct RawMessage {
    std::string bytes;
    std::string sender;           // dotted IPv4 (also for IPv4-mapped senders) or IPv6 text
    std::int64_t receivedAt = 0;  // seconds since 1970, UTC
    std::uint16_t senderPort = 0; // 0: not known
};

// What the rules decided for one event beyond its level. The defaults are
// what happens without rules: shown, alerted by its level, forwarded to
// every target whose level admits it, no program.
struct EventActions {
    bool shown = true;                // false: logged and forwarded only
    std::optional<bool> popup;        // over the popup level
    std::optional<bool> notify;       // over the notification setting
    std::optional<std::string> sound; // a wave file over the level's; empty: none
    // Only these [Forward] targets (numbers from 1); empty: none.
    std::optional<std::vector<int>> forwardTo;
    std::vector<int> run; // the rules (numbers from 1) whose program runs for it
    // Alarms. foldSeconds: repeats of the event within this many seconds
    // fold into its row (0: none do); repeat: this one folds into the row
    // of an earlier one, and so has no popup, notification, sound or
    // program. clears: the rows of its host that this match keeps are
    // cleared by it.
    int foldSeconds = 0;
    bool repeat = false;
    std::shared_ptr<const EventFilter> clears;

    bool operator==(const EventActions &) const = default;
};

// An operator's acknowledgement of an event, carried by the event that
// says so: who took which event, with what note.
struct Acknowledgement {
    std::string user; // the login name
    std::string note; // may be empty
    // The acknowledged event: its level's name and its fields as shown.
    std::string level, date, host, application, object, message;
};

// One event, from its decoding to every sink. Texts are bytes as received
// (8-bit text); the message carries no leading blank.
struct Event {
    const Level *level = nullptr;
    std::string date;
    std::string host;
    std::string application;
    std::string object;
    std::string message;
    Source source = Source::Text;
    std::string sender; // the address it came from; empty for quorvik's own
    std::uint16_t senderPort = 0;
    std::int64_t receivedAt = 0; // seconds since 1970, UTC
    // A syslog message that carried quorvik's own element: an event another
    // quorvik forwarded, shown as at its source and never forwarded again.
    bool relayed = false;
    EventActions actions; // set by the rules step
    // Where the road keeps the received bytes (RawKeeper); 0: none kept.
    std::uint64_t rawId = 0;
    // The plain text of an encrypted SNMPv3 message's scoped PDU, as its
    // decoder read it: kept beside the bytes for the event's details.
    std::string decrypted;
    // Set when the event says that an operator acknowledged another event
    // (here or, relayed, at another console): the views mark its rows.
    std::shared_ptr<const Acknowledgement> acknowledges;

    // Date, host, application, object, message: the column order of the
    // level tables and of the log line after the level.
    std::array<const std::string *, 5> fields() const {
        return {&date, &host, &application, &object, &message};
    }
};

// Reads one message text (a datagram's bytes, or a text rebuilt from a log
// line). Pure: the sender's dotted address fills an empty host, `now`
// an empty date.
Event parseEventMessage(std::string_view text, std::string_view sender, const LocalDateTime &now);

// Whether `text` holds a level or field tag: a tagged text, not a plain one.
bool hasTags(std::string_view text);

// The sysDescr string of a binary SNMP message: its BER length when that
// fits into the datagram, else everything after the length byte; empty
// without a sysDescr.0 binding.
std::string sysDescrOf(std::string_view text);

// The generated date: day.month.year HH:MM:SS, 24-hour clock, whatever the
// locale, e.g. "07.12.2026 20:41:05".
std::string formatGeneratedDate(const LocalDateTime &when);

} // namespace quorvik
