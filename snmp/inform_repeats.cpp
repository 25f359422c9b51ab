// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "snmp/inform_repeats.h"

#include <iterator>

namespace quorvik {

namespace {

struct Tlv {
    unsigned char tag;
    std::size_t valueStart;
    std::size_t length;
};

// The BER tag and length at `at`, when the value fits into `data`.
std::optional<Tlv> readTlv(std::string_view data, std::size_t at) {
    if (at + 2 > data.size())
        return std::nullopt;
    const auto tag = static_cast<unsigned char>(data[at]);
    std::size_t length = static_cast<unsigned char>(data[at + 1]);
    std::size_t valueStart = at + 2;
    if (length & 0x80) {
        const std::size_t count = length & 0x7F;
        if (count == 0 || count > 4 || valueStart + count > data.size())
            return std::nullopt;
        length = 0;
        for (std::size_t k = 0; k < count; ++k)
            length = length * 256 + static_cast<unsigned char>(data[valueStart + k]);
        valueStart += count;
    }
    if (length > data.size() - valueStart)
        return std::nullopt;
    return Tlv{tag, valueStart, length};
}

constexpr unsigned char kSequence = 0x30, kInteger = 0x02, kOctetString = 0x04;

} // namespace

std::optional<std::int64_t> communityRequestId(std::string_view datagram) {
    // SEQUENCE { INTEGER version, OCTET STRING community, PDU { INTEGER id, ... } }
    const auto message = readTlv(datagram, 0);
    if (!message || message->tag != kSequence)
        return std::nullopt;
    const auto version = readTlv(datagram, message->valueStart);
    if (!version || version->tag != kInteger)
        return std::nullopt;
    const auto community = readTlv(datagram, version->valueStart + version->length);
    if (!community || community->tag != kOctetString)
        return std::nullopt;
    const auto pdu = readTlv(datagram, community->valueStart + community->length);
    if (!pdu || (pdu->tag & 0xE0) != 0xA0)
        return std::nullopt;
    const auto id = readTlv(datagram, pdu->valueStart);
    if (!id || id->tag != kInteger || id->length == 0 || id->length > 4)
        return std::nullopt;
    std::int64_t value = static_cast<signed char>(datagram[id->valueStart]);
    for (std::size_t k = 1; k < id->length; ++k)
        value = value * 256 + static_cast<unsigned char>(datagram[id->valueStart + k]);
    return value;
}

void InformRepeats::forget(Seen &seen, Clock::time_point now) {
    while (!seen.order.empty() &&
           (seen.order.size() > kIdsPerSender || now - seen.order.front().second > kMemory)) {
        seen.ids.erase(seen.order.front().first);
        seen.order.pop_front();
    }
}

bool InformRepeats::repeated(std::string_view sender, std::string_view inform,
                             Clock::time_point now) {
    const std::optional<std::int64_t> id = communityRequestId(inform);
    if (!id)
        return false;
    const std::lock_guard lock(m_mutex);
    const std::string key(sender);
    if (m_senders.size() >= kSenders && !m_senders.contains(key)) {
        for (auto it = m_senders.begin(); it != m_senders.end();) {
            forget(it->second, now);
            it = it->second.order.empty() ? m_senders.erase(it) : std::next(it);
        }
        if (m_senders.size() >= kSenders)
            m_senders.clear();
    }
    Seen &seen = m_senders[key];
    forget(seen, now);
    if (seen.ids.contains(*id))
        return true;
    seen.order.emplace_back(*id, now);
    seen.ids.insert(*id);
    forget(seen, now);
    return false;
}

} // namespace quorvik
