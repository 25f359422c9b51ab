// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace quorvik {

// The request id of an SNMPv1/v2c message (its PDU's first field); nothing
// when the datagram is no such message.
std::optional<std::int64_t> communityRequestId(std::string_view datagram);

// Knows the informs answered lately, so that one that its sender sent again
// (our Response did not reach it) is answered again but shown only once. It
// keeps the last kIdsPerSender request ids of each sender for kMemory.
// Safe to call from any thread.
class InformRepeats {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kIdsPerSender = 4096;
    static constexpr std::size_t kSenders = 1024;
    static constexpr std::chrono::seconds kMemory{60};

    // Whether `inform` from `sender` carries a request id already seen from
    // that sender within kMemory; remembers it otherwise.
    bool repeated(std::string_view sender, std::string_view inform, Clock::time_point now);

private:
    struct Seen {
        std::deque<std::pair<std::int64_t, Clock::time_point>> order; // oldest first
        std::unordered_set<std::int64_t> ids;
    };
    void forget(Seen &seen, Clock::time_point now);

    std::mutex m_mutex;
    std::unordered_map<std::string, Seen> m_senders;
};

} // namespace quorvik
