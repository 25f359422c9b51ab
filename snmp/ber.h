// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/ber_length.h"

namespace quorvik::ber {

constexpr unsigned char kInteger = 0x02;
constexpr unsigned char kOctetString = 0x04;
constexpr unsigned char kObjectId = 0x06;
constexpr unsigned char kSequence = 0x30;
constexpr unsigned char kTimeTicks = 0x43;

// Walks the BER headers of a datagram without net-snmp, so without the
// decoder's lock.
class Walk {
public:
    explicit Walk(std::string_view data) : m_data(data) {}

    // Reads the header here, which must have this tag, and steps into its
    // content or over it; `content` is where the content lies.
    bool header(unsigned char tag, bool into, std::string_view *content = nullptr) {
        if (m_at >= m_data.size() || static_cast<unsigned char>(m_data[m_at]) != tag)
            return false;
        const std::optional<BerLength> length = readBerLength(m_data, m_at + 1);
        if (!length)
            return false;
        if (content != nullptr)
            *content = m_data.substr(length->contentAt, length->length);
        m_at = into ? length->contentAt : length->contentAt + length->length;
        return true;
    }
    // An INTEGER of at most 5 content bytes (32 bits unsigned), stepped over.
    bool integer(std::int64_t &value) {
        std::string_view content;
        if (!header(kInteger, false, &content) || content.empty() || content.size() > 5)
            return false;
        value = static_cast<signed char>(content[0]);
        for (std::size_t i = 1; i < content.size(); ++i)
            value = value * 256 + static_cast<unsigned char>(content[i]);
        return true;
    }
    // Steps over the next element, whatever its tag; `element` is all of it,
    // its header included.
    bool any(std::string_view *element = nullptr) {
        const unsigned char tag = nextTag();
        const std::size_t start = m_at;
        if (m_at >= m_data.size() || !header(tag, false))
            return false;
        if (element != nullptr)
            *element = m_data.substr(start, m_at - start);
        return true;
    }
    // What is left after the current point.
    std::string_view rest() const { return m_data.substr(m_at); }
    // The tag of the next header, 0 at the end.
    unsigned char nextTag() const {
        return m_at < m_data.size() ? static_cast<unsigned char>(m_data[m_at]) : 0;
    }

private:
    std::string_view m_data;
    std::size_t m_at = 0;
};

} // namespace quorvik::ber
