// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/raw_keeper.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace quorvik {

RawKeeper::RawKeeper(std::size_t bound) : m_bound(std::min<std::size_t>(bound, UINT32_MAX)) {}

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

// `size` bytes, not written, on huge-page boundaries.
char *newRing(std::size_t size) {
    const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
    void *ring = std::aligned_alloc(kHugePage, rounded);
    if (ring == nullptr)
        throw std::bad_alloc();
#ifdef __linux__
    ::madvise(ring, rounded, MADV_HUGEPAGE); // a hint: without it, small pages
#endif
    return static_cast<char *>(ring);
}

} // namespace

void RawKeeper::FreeRing::operator()(char *ring) const {
    std::free(ring);
}

void RawKeeper::dropOldest() {
    m_held -= m_slots.front().size;
    m_slots.pop_front();
    ++m_firstId;
}

std::uint64_t RawKeeper::keep(std::string_view bytes, std::string_view decrypted) {
    const std::size_t size = bytes.size() + decrypted.size();
    const std::lock_guard lock(m_mutex);
    if (size > m_bound) {
        while (!m_slots.empty())
            dropOldest();
        return m_firstId++; // a number before the first kept: never found
    }
    if (!m_ring)
        m_ring.reset(newRing(m_bound)); // not written here: no pages taken yet
    // Written after the newest, or from the ring's beginning when the rest
    // of it is too short. The messages in the way are the oldest: those of
    // the ring's previous round that start in the space claimed, and on a
    // new round first those left behind at its end. (The newer ones end
    // before `at`.)
    const bool wrap = m_next + size > m_bound;
    const std::size_t at = wrap ? 0 : m_next;
    while (!m_slots.empty()) {
        const Slot &oldest = m_slots.front();
        const bool inTheWay = oldest.offset >= at && oldest.offset < at + size;
        const bool leftBehind = wrap && oldest.offset >= m_next;
        if (!inTheWay && !leftBehind)
            break;
        dropOldest();
    }
    std::copy(bytes.begin(), bytes.end(), m_ring.get() + at);
    std::copy(decrypted.begin(), decrypted.end(), m_ring.get() + at + bytes.size());
    m_slots.push_back({static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(size),
                       static_cast<std::uint32_t>(bytes.size())});
    m_held += size;
    m_next = at + size;
    return m_firstId + m_slots.size() - 1;
}

std::optional<RawKeeper::Kept> RawKeeper::find(std::uint64_t id) const {
    const std::lock_guard lock(m_mutex);
    if (id < m_firstId || id - m_firstId >= m_slots.size())
        return std::nullopt;
    const Slot &slot = m_slots[std::size_t(id - m_firstId)];
    const char *data = m_ring.get() + slot.offset;
    return Kept{std::string(data, slot.split),
                std::string(data + slot.split, slot.size - slot.split)};
}

std::size_t RawKeeper::heldBytes() const {
    const std::lock_guard lock(m_mutex);
    return m_held;
}

} // namespace quorvik
