// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvik {

// One line of an event's details: a name and its value. A line without a
// name heads the lines after it ("SNMP", "Received bytes").
struct DetailLine {
    std::string name;
    std::string value;

    bool operator==(const DetailLine &) const = default;
};
using DetailLines = std::vector<DetailLine>;

// Bytes as a hex dump, 16 a line: the offset, the bytes in hex, the bytes
// as ASCII ('.' for any other byte), e.g.
//   0000  30 2c 02 01 01 04 06 70  75 62 6c 69 63 a7 1f 02  0,.....public...
std::string hexDump(std::string_view bytes);

// Bytes in hex, two digits each, without separators ("80001f8880…").
std::string hexDigits(std::string_view bytes);

} // namespace quorvik
