// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Reads arbitrary syslog messages: every event has a level, a date the log
// can hold and a facility's name; an event marked relayed carried the own
// element. The first byte's low bit instead sends five fields through
// forwarding's formatter and checks they read back as they were.
#include "check.h"
#include "core/date_time.h"
#include "core/forward_target.h"
#include "core/syslog_message.h"
#include "core/syslog_parser.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace quorvik;

namespace {

const LocalDateTime kReceived{2026, 5, 10, 12, 0, 0};

void checkEvent(const Event &event, std::string_view input) {
    FUZZ_CHECK(event.level != nullptr);
    FUZZ_CHECK(readDateTime(event.date).has_value());
    FUZZ_CHECK(event.date.size() == 19);
    FUZZ_CHECK(!event.host.empty());
    FUZZ_CHECK(!event.relayed || input.find("quorvik@32473") != std::string_view::npos);
    bool facility = false;
    for (int code = 0; code < 24; ++code)
        facility = facility || event.object == facilityName(code);
    FUZZ_CHECK(event.relayed || facility);
}

void roundTrip(std::string_view input, SyslogReader &reader, const RawMessage &receipt) {
    // host, application, object, message
    const std::array<std::string, 4> fields = fieldsBetweenNuls<4>(input);
    Event sent;
    sent.level = &levelByIndex(int(input.size() % 7));
    sent.date = "10.05.2026 09:15:02";
    sent.host = fields[0];
    sent.application = fields[1];
    sent.object = fields[2];
    sent.message = fields[3];
    SyslogFormatter formatter;
    const std::string line = formatter.format(sent, 1);
    const Event back = reader.read(line, receipt, kReceived);
    FUZZ_CHECK(back.relayed);
    FUZZ_CHECK(back.level == sent.level);
    FUZZ_CHECK(back.date == sent.date);
    if (!sent.host.empty())
        FUZZ_CHECK(back.host == toUtf8(sent.host));
    FUZZ_CHECK(back.application == toUtf8(sent.application));
    FUZZ_CHECK(back.object == toUtf8(sent.object));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    static SyslogReader reader;
    RawMessage receipt;
    receipt.sender = "192.0.2.9";
    const std::string_view input(reinterpret_cast<const char *>(data + 1), size - 1);
    if (data[0] & 1)
        roundTrip(input, reader, receipt);
    else
        checkEvent(reader.read(input, receipt, kReceived), input);
    return 0;
}
