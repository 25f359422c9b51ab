// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace quorvik {

// The received bytes of the newest events, for their details. Each message
// kept gets a number. The bytes go one after the other into a ring of
// `bound` bytes, made at the first message (its pages are taken from the
// system only as they are written, in huge pages where the system has
// them: a page fault each 4 KiB costs more than keeping); a message that doesn't fit before the
// ring's end starts again at its beginning, and the oldest messages in its
// way are dropped. So a stream of any length holds at most `bound` bytes,
// with no allocation per message, and the memory stays flat however long a
// storm goes on. The road keeps, the window reads: thread-safe.
class RawKeeper {
public:
    static constexpr std::size_t kDefaultBound = std::size_t(64) << 20; // 64 MiB

    explicit RawKeeper(std::size_t bound = kDefaultBound);

    // Keeps one message's bytes and the plain text its decoder revealed
    // (empty for most). Returns its number, never 0. A message larger than
    // the whole bound is not kept (and drops all before it).
    std::uint64_t keep(std::string_view bytes, std::string_view decrypted = {});

    struct Kept {
        std::string bytes;
        std::string decrypted;
    };
    // What message `id` brought; nullopt when it is no longer kept (or never was).
    std::optional<Kept> find(std::uint64_t id) const;

    // The bytes of the messages kept now: at most the bound.
    std::size_t heldBytes() const;
    std::size_t bound() const { return m_bound; }

private:
    // Where one message lies in the ring: its bytes, then the decrypted text.
    struct Slot {
        std::uint32_t offset;
        std::uint32_t size;
        std::uint32_t split;
    };
    void dropOldest();
    struct FreeRing {
        void operator()(char *ring) const;
    };

    const std::size_t m_bound;
    mutable std::mutex m_mutex;
    std::unique_ptr<char, FreeRing> m_ring;
    std::deque<Slot> m_slots; // number m_firstId + index, oldest first
    std::uint64_t m_firstId = 1;
    std::size_t m_next = 0; // where the next message's bytes begin
    std::size_t m_held = 0;
};

} // namespace quorvik
