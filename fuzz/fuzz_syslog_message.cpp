// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Checks the RFC 5424 text of arbitrary events: the header's shape, UTF-8
// throughout, and structured-data values that read back as the fields.
#include "check.h"
#include "core/syslog_message.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace quorvik;

namespace {

bool validUtf8(std::string_view text) {
    // Reading as UTF-8 changes nothing only where the text was UTF-8 already.
    return toUtf8(text) == text;
}

// Reads `name="value"` at `at` (after its blank), undoing the escapes;
// moves `at` past the closing quote.
std::string readParam(const std::string &text, std::size_t &at, std::string_view name) {
    FUZZ_CHECK(text.compare(at, name.size() + 2, std::string(name) + "=\"") == 0);
    at += name.size() + 2;
    std::string value;
    for (; at < text.size() && text[at] != '"'; ++at) {
        if (text[at] == '\\') {
            ++at;
            FUZZ_CHECK(at < text.size());
            FUZZ_CHECK(text[at] == '"' || text[at] == '\\' || text[at] == ']');
        } else {
            FUZZ_CHECK(text[at] != ']');
        }
        value += text[at];
    }
    FUZZ_CHECK(at < text.size());
    ++at;
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    const int facility = data[0] % 24;
    const std::string_view input(reinterpret_cast<const char *>(data + 1), size - 1);
    // Six fields between NUL bytes: date, processor, application, object,
    // message, sender.
    const std::array<std::string, 6> fields = fieldsBetweenNuls<6>(input);
    Event event;
    event.level = &levelByIndex(int(data[0] / 24) % 9 - 1); // also Unknown
    event.date = fields[0];
    event.host = fields[1];
    event.application = fields[2];
    event.object = fields[3];
    event.message = fields[4];
    event.sender = fields[5];

    SyslogFormatter formatter;
    const std::string text = formatter.format(event, facility);
    FUZZ_CHECK(validUtf8(text));
    const std::string pri =
        "<" + std::to_string(facility * 8 + syslogSeverity(*event.level)) + ">1 ";
    FUZZ_CHECK(text.compare(0, pri.size(), pri) == 0);

    // The structured data follows the five header fields after the version,
    // none of which holds a blank (a host may look like the element itself).
    std::size_t at = pri.size();
    for (int field = 0; field < 5; ++field) {
        at = text.find(' ', at);
        FUZZ_CHECK(at != std::string::npos);
        ++at;
    }
    const std::string sd = "[quorvik@32473 ";
    FUZZ_CHECK(text.compare(at, sd.size(), sd) == 0);
    at += sd.size();
    FUZZ_CHECK(readParam(text, at, "level") == event.level->name);
    const std::array<std::pair<std::string_view, const std::string *>, 4> params = {{
        {"host", &event.host},
        {"application", &event.application},
        {"object", &event.object},
        {"sender", &event.sender},
    }};
    for (const auto &[name, value] : params) {
        FUZZ_CHECK(text[at++] == ' ');
        FUZZ_CHECK(readParam(text, at, name) == toUtf8(*value));
    }
    FUZZ_CHECK(text[at++] == ']');
    FUZZ_CHECK(text.substr(at) == (fields[4].empty() ? std::string() : " " + toUtf8(fields[4])));

    const std::string_view datagram = cutForDatagram(text);
    FUZZ_CHECK(datagram.size() <= kDatagramLimit && validUtf8(datagram));
    return 0;
}
