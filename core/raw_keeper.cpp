// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/raw_keeper.h"

namespace quorvik {

std::size_t RawKeeper::cost(const Entry &entry) {
    // The entry's place in the deque and the heap block of its bytes.
    constexpr std::size_t kHeapOverhead = 16;
    return sizeof(Entry) + entry.data.capacity() + kHeapOverhead;
}

std::uint64_t RawKeeper::keep(std::string_view bytes, std::string_view decrypted) {
    Entry entry;
    entry.data.reserve(bytes.size() + decrypted.size());
    entry.data.append(bytes);
    entry.data.append(decrypted);
    entry.split = bytes.size();
    const std::size_t size = cost(entry);
    const std::lock_guard lock(m_mutex);
    m_held += size;
    m_entries.push_back(std::move(entry));
    while (m_held > m_bound && !m_entries.empty()) {
        m_held -= cost(m_entries.front());
        m_entries.pop_front();
        ++m_firstId;
    }
    return m_firstId + m_entries.size() - 1;
}

std::optional<RawKeeper::Kept> RawKeeper::find(std::uint64_t id) const {
    const std::lock_guard lock(m_mutex);
    if (id < m_firstId || id - m_firstId >= m_entries.size())
        return std::nullopt;
    const Entry &entry = m_entries[std::size_t(id - m_firstId)];
    const std::string_view data = entry.data;
    return Kept{std::string(data.substr(0, entry.split)), std::string(data.substr(entry.split))};
}

std::size_t RawKeeper::heldBytes() const {
    const std::lock_guard lock(m_mutex);
    return m_held;
}

} // namespace quorvik
