// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace quorvik {

// The request id of an SNMPv1/v2c message (its PDU's first field); nothing
// when the datagram is no such message.
std::optional<std::int64_t> communityRequestId(std::string_view datagram);

// What makes an inform the same inform when its sender sends it again: its
// request id and all it says. A community-based sender sends the same bytes
// again; an SNMPv3 one protects them anew each time (message id, clock,
// salt), so there it is what the decrypted message says.
struct InformIdentity {
    std::int64_t requestId = 0;
    std::string content;
};
// The identity of an SNMPv1/v2c message: its request id and its bytes.
std::optional<InformIdentity> communityInformIdentity(std::string_view datagram);

// Knows the informs answered lately, so that one that its sender sent again
// (our Response did not reach it) is answered again but shown only once.
// Another inform with a request id already seen (a sender that restarted
// its count, or another device behind the same address) is no repeat. It
// keeps the last kIdsPerSender informs of each sender for kMemory.
// Safe to call from any thread.
class InformRepeats {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kIdsPerSender = 4096;
    static constexpr std::size_t kSenders = 1024;
    static constexpr std::chrono::seconds kMemory{60};

    // Whether `sender` sent an inform of this identity within kMemory;
    // remembers it otherwise. `sender` is the sender's address, with its
    // port where the caller knows it.
    bool repeated(std::string_view sender, const InformIdentity &inform, Clock::time_point now);
    // The same for an SNMPv1/v2c datagram; false for anything else.
    bool repeated(std::string_view sender, std::string_view inform, Clock::time_point now);

private:
    using Key = std::pair<std::int64_t, std::size_t>; // request id, hash of the content
    struct Seen {
        std::deque<std::pair<Key, Clock::time_point>> order; // oldest first
        std::set<Key> keys;
    };
    void forget(Seen &seen, Clock::time_point now);

    std::mutex m_mutex;
    std::unordered_map<std::string, Seen> m_senders;
};

} // namespace quorvik
