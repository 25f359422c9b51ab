// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace quorvik {

// A BER length and where the content after it starts.
struct BerLength {
    std::size_t contentAt;
    std::size_t length;
};

// Digits of a long-form length at most: net-snmp, which decodes every SNMP
// message, reads no more than a long holds, so every reader here stops there
// too and all agree on what is a message.
inline constexpr std::size_t kMaxBerLengthDigits = 8;

// The BER length at `at` in `data`: the short form, or the long form with up
// to kMaxBerLengthDigits digits (leading zero digits allowed, as BER
// permits). nullopt when it is the indefinite form, has more digits, is cut
// short, or when the content would run past the end of `data`. Inline: the
// receiver walks every SNMPv3 header with it before decoding.
inline std::optional<BerLength> readBerLength(std::string_view data, std::size_t at) {
    if (at >= data.size())
        return std::nullopt;
    std::size_t length = static_cast<unsigned char>(data[at++]);
    if (length & 0x80) {
        const std::size_t digits = length & 0x7F;
        if (digits == 0 || digits > kMaxBerLengthDigits || digits > data.size() - at)
            return std::nullopt;
        length = 0;
        for (std::size_t i = 0; i < digits; ++i) {
            length = length << 8 | static_cast<unsigned char>(data[at++]);
            if (length > data.size()) // also keeps the shift from overflowing
                return std::nullopt;
        }
    }
    if (length > data.size() - at)
        return std::nullopt;
    return BerLength{at, length};
}

} // namespace quorvik
