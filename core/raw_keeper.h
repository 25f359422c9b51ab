// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace quorvik {

// The received bytes of the newest events, for their details. Each message
// kept gets a number; the oldest are dropped once the bytes held (with what
// keeping each costs) would pass the bound, so a stream of any length holds
// at most `bound` bytes. The road keeps, the window reads: thread-safe.
class RawKeeper {
public:
    static constexpr std::size_t kDefaultBound = std::size_t(64) << 20; // 64 MiB

    explicit RawKeeper(std::size_t bound = kDefaultBound) : m_bound(bound) {}

    // Keeps one message's bytes and the plain text its decoder revealed
    // (empty for most). Returns its number, never 0.
    std::uint64_t keep(std::string_view bytes, std::string_view decrypted = {});

    struct Kept {
        std::string bytes;
        std::string decrypted;
    };
    // What message `id` brought; nullopt when it is no longer kept (or never was).
    std::optional<Kept> find(std::uint64_t id) const;

    // The bytes held now, what keeping them costs included.
    std::size_t heldBytes() const;
    std::size_t bound() const { return m_bound; }

private:
    struct Entry {
        std::string data; // the bytes, then the decrypted text
        std::size_t split = 0;
    };
    static std::size_t cost(const Entry &entry);

    const std::size_t m_bound;
    mutable std::mutex m_mutex;
    std::deque<Entry> m_entries; // number m_firstId + index
    std::uint64_t m_firstId = 1;
    std::size_t m_held = 0;
};

} // namespace quorvik
