// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace quorvik {

// The SNMPv3 messages that were refused: how many, the latest reason of each
// sender, and which of them become an event row: the first of each sender
// and reason within a minute, so that a flood of bad messages gives one row
// a minute, not one each.
class RejectionLedger {
public:
    static constexpr std::int64_t kRowIntervalSeconds = 60;
    static constexpr std::size_t kShownSenders = 20;     // latest reasons kept
    static constexpr std::size_t kRememberedRows = 4096; // sender and reason pairs

    // Notes one rejection at `now` (seconds of a steady clock). True when it
    // is to become an event row.
    bool note(std::string_view sender, std::string_view reason, std::int64_t now);

    // Rejections since the start or the last clearCount().
    std::uint64_t count() const { return m_count; }
    void clearCount();

    // The latest reason of each sender, the most recent sender first.
    const std::list<std::pair<std::string, std::string>> &latestReasons() const { return m_latest; }

private:
    std::uint64_t m_count = 0;
    std::list<std::pair<std::string, std::string>> m_latest;
    std::unordered_map<std::string, std::int64_t> m_lastRow; // by sender '\0' reason
};

} // namespace quorvik
