// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Splits any line into the six log fields: joined again with ";" they give
// the line back, and a line formatted from fields without ";" or line breaks
// splits into the same fields. Whatever the fields hold, a formatted event
// is one line of six fields.
#include "check.h"
#include "core/level.h"
#include "core/log_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

using namespace quorvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char *>(data), size);
    const std::array<std::string_view, 6> fields = splitLogFields(line);

    const auto separators = static_cast<std::size_t>(std::count(line.begin(), line.end(), ';'));
    const std::size_t used = std::min<std::size_t>(separators, 5) + 1;
    std::string joined(fields[0]);
    for (std::size_t i = 1; i < used; ++i)
        joined.append(1, ';').append(fields[i]);
    FUZZ_CHECK(joined == line);
    for (std::size_t i = used; i < fields.size(); ++i)
        FUZZ_CHECK(fields[i].empty());

    Event record;
    record.level = levelByName(fields[0]);
    if (!record.level || separators != 5)
        return 0;
    record.date = fields[1];
    record.host = fields[2];
    record.application = fields[3];
    record.object = fields[4];
    record.message = fields[5];
    const std::string formatted = formatLogLine(record);
    FUZZ_CHECK(formatted.size() >= 2 && formatted.substr(formatted.size() - 2) == kLogLineEnd);
    const std::string_view body = std::string_view(formatted).substr(0, formatted.size() - 2);
    FUZZ_CHECK(body.find_first_of("\r\n") == std::string_view::npos);
    if (line.find_first_of("\r\n") == std::string_view::npos)
        FUZZ_CHECK(splitLogFields(body) == fields);

    record.host = line; // its ";" must not shift the columns after it
    record.message = "m";
    const std::string shifted = formatLogLine(record);
    FUZZ_CHECK(splitLogFields(std::string_view(shifted).substr(0, shifted.size() - 2))[5] == "m");
    return 0;
}
