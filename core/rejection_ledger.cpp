// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "rejection_ledger.h"

namespace quorvik {

bool RejectionLedger::note(std::string_view sender, std::string_view reason, std::int64_t now) {
    ++m_count;
    for (auto it = m_latest.begin(); it != m_latest.end(); ++it)
        if (it->first == sender) {
            m_latest.erase(it);
            break;
        }
    m_latest.emplace_front(std::string(sender), std::string(reason));
    if (m_latest.size() > kShownSenders)
        m_latest.pop_back();

    std::string key(sender);
    key += '\0';
    key += reason;
    const auto last = m_lastRow.find(key);
    if (last != m_lastRow.end() && now - last->second < kRowIntervalSeconds)
        return false;
    if (last != m_lastRow.end()) {
        last->second = now;
        return true;
    }
    if (m_lastRow.size() >= kRememberedRows)
        std::erase_if(m_lastRow, [now](const auto &entry) {
            return now - entry.second >= kRowIntervalSeconds;
        });
    if (m_lastRow.size() >= kRememberedRows)
        return false; // a flood from many senders: the count still tells
    m_lastRow.emplace(std::move(key), now);
    return true;
}

void RejectionLedger::clearCount() {
    m_count = 0;
    m_latest.clear();
}

} // namespace quorvik
