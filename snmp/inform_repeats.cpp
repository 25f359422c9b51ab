// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "snmp/inform_repeats.h"

#include "snmp/ber.h"

#include <functional>
#include <iterator>

namespace quorvik {

std::optional<std::int64_t> communityRequestId(std::string_view datagram) {
    // SEQUENCE { INTEGER version, OCTET STRING community, PDU { INTEGER id, ... } }
    ber::Walk walk(datagram);
    if (!walk.header(ber::kSequence, true) || !walk.header(ber::kInteger, false) ||
        !walk.header(ber::kOctetString, false))
        return std::nullopt;
    const unsigned char pdu = walk.nextTag();
    std::int64_t id = 0;
    if ((pdu & 0xE0) != 0xA0 || !walk.header(pdu, true) || !walk.integer(id))
        return std::nullopt;
    return id;
}

std::optional<InformIdentity> communityInformIdentity(std::string_view datagram) {
    const std::optional<std::int64_t> id = communityRequestId(datagram);
    if (!id)
        return std::nullopt;
    return InformIdentity{*id, std::string(datagram)};
}

void InformRepeats::forget(Seen &seen, Clock::time_point now) {
    while (!seen.order.empty() &&
           (seen.order.size() > kIdsPerSender || now - seen.order.front().second > kMemory)) {
        seen.keys.erase(seen.order.front().first);
        seen.order.pop_front();
    }
}

bool InformRepeats::repeated(std::string_view sender, std::string_view inform,
                             Clock::time_point now) {
    const std::optional<InformIdentity> identity = communityInformIdentity(inform);
    return identity && repeated(sender, *identity, now);
}

bool InformRepeats::repeated(std::string_view sender, const InformIdentity &inform,
                             Clock::time_point now) {
    const Key key{inform.requestId, std::hash<std::string>{}(inform.content)};
    const std::lock_guard lock(m_mutex);
    const std::string name(sender);
    if (m_senders.size() >= kSenders && !m_senders.contains(name)) {
        for (auto it = m_senders.begin(); it != m_senders.end();) {
            forget(it->second, now);
            it = it->second.order.empty() ? m_senders.erase(it) : std::next(it);
        }
        if (m_senders.size() >= kSenders)
            m_senders.clear();
    }
    Seen &seen = m_senders[name];
    forget(seen, now);
    if (seen.keys.contains(key))
        return true;
    seen.order.emplace_back(key, now);
    seen.keys.insert(key);
    forget(seen, now);
    return false;
}

} // namespace quorvik
