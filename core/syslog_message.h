// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "event.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvik {

inline constexpr std::size_t kDatagramLimit = 2048;

// The syslog severity of a level: Emergency 0 (emerg), Panic 1 (alert),
// Critical 2 (crit), Alert 3 (err), Warning, Trap and Unknown 4 (warning),
// Information 5 (notice), Note 6 (info). The order of the levels is kept.
int syslogSeverity(const Level &level);

// `bytes` as UTF-8: kept when they are UTF-8 already, else read as
// Windows-1252 (an 8-bit sender's code page), as the screen shows them.
std::string toUtf8(std::string_view bytes);

// A PARAM-VALUE: `"`, `\` and `]` get a backslash before them.
std::string escapeParamValue(std::string_view utf8);

// Writes RFC 5424 messages, one per event. The zone offset of a local time
// is looked up once per minute of local time, so a burst costs one look-up.
class SyslogFormatter {
public:
    // "2026-12-07T20:41:05+01:00" for an event date "07.12.2026 20:41:05" in
    // the local zone; "-" (the nil value: the collector's time is used) for a
    // date text that is not "dd.mm.yy[yy] [hh:mm[:ss]]". Valid until the
    // next call.
    const std::string &timestamp(std::string_view eventDate);

    // <PRI>1 TIMESTAMP HOSTNAME quorvik - MSGID [quorvik@32473 level host
    // application object sender] MSG (an acknowledgement adds ackUser,
    // ackNote, ackLevel, ackDate, ackHost, ackApplication, ackObject and
    // ackMessage to the element), with `facility` (0..23) in the PRI,
    // the processor as HOSTNAME ("-" when empty; bytes outside printable
    // ASCII as "_"), the level's name as MSGID and the message in UTF-8
    // without a byte order mark.
    std::string format(const Event &event, int facility);

private:
    std::string readTimestamp(std::string_view eventDate);

    std::string m_lastDate, m_lastStamp; // the last date read, and what it gave
    std::int64_t m_minute = -1;          // local minutes since 1970 of m_offset
    std::string m_offset = "Z";
};

// One message for a UDP datagram: cut to `limit` bytes, never inside a
// UTF-8 character.
std::string_view cutForDatagram(std::string_view message, std::size_t limit = kDatagramLimit);

// Appends `message` to `out` framed for a stream: its length in decimal, a
// blank, then the message (octet counting).
void appendOctetCounted(std::string &out, std::string_view message);

} // namespace quorvik
