// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "event.h"
#include "event_details.h"
#include "local_time.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorvik {

// The level of a syslog severity (0..7): Emergency, Panic, Critical, Alert,
// Warning, Information, Note, Note; the inverse of syslogSeverity().
const Level &levelOfSeverity(int severity);

// The fields of one syslog message as it was sent, for its details: PRI
// with facility and severity, the format, the timestamp as written,
// HOSTNAME, APP-NAME (or the TAG), PROCID, MSGID, each structured-data
// parameter a line ("[exampleSDID@32473] iut": "3") and the message.
DetailLines syslogDetails(std::string_view bytes);

// Reads syslog messages as devices send them: RFC 5424, and RFC 3164 with
// its real variants (no PRI, no header, Cisco's sequence number, origin,
// `*` and `.` before the time, a year or zone beside the time, an RFC 3339
// time in the old header, a missing hostname). Keeps a zone cache, so one
// reader serves one thread.
class SyslogReader {
public:
    // The event of one message, without its transport's line end:
    //   level    by severity (a message without PRI is user.notice),
    //   date     the message's time in local time, "dd.mm.yyyy hh:mm:ss";
    //            the time of receipt when it has none or one that can't be
    //            read; a date without a year gets the year that puts it
    //            closest to the receipt,
    //   host     HOSTNAME (a Cisco origin), else the sender's address,
    //   application  APP-NAME, the TAG without [pid], or a Cisco mnemonic,
    //   object   the facility's name ("kern" ... "local7"),
    //   message  the text; RFC 5424 structured data in front of it as
    //            written, a UTF-8 byte order mark removed.
    // A message with quorvik's own structured-data element takes level,
    // host, application and object from it and is marked relayed.
    Event read(std::string_view bytes, const RawMessage &receipt, const LocalDateTime &received);

    // The last stamp with a year and its date text: a stream's stamps
    // repeat for a second at a time, and a zone's offset takes a lookup.
    struct DatedStamp {
        LocalDateTime parts;
        std::optional<int> offset;
        std::string date;
    };

private:
    LocalTimeCache m_localTime;
    std::optional<DatedStamp> m_lastStamp;
};

} // namespace quorvik
