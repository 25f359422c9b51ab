// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event_sink.h"
#include "core/level.h"
#include "tables/event_row.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quorvik {

// Rows for one table, placed in one go (EventTable::insertTopBulk): the rows
// that may stay, oldest first, after `before` events that went in ahead of
// them without a row.
struct TableRows {
    std::vector<EventRow> rows;
    std::size_t before = 0;
};

// Rows for the seven level tables, by level index, and for the full list.
struct BulkRows {
    std::array<TableRows, kLevelCount> levels;
    TableRows fullList;
};

// Events taken during a flood, waiting for the views to catch up. A flood
// pushes most of them out of their tables again before anyone sees them;
// having waited, only the ones a table still holds become rows. An event
// that folds, clears or acknowledges may not wait: it changes rows already
// in the tables and must meet them in the order it came.
//
// The shown events are packed into one block a batch, so that the road's
// batch goes back at once (the road reuses that memory while it is still
// in the cache) and an event pushed out costs no allocation of its own.
class WaitingEvents {
public:
    // Beyond this many events the waiting ones go into the tables at once:
    // a bound on the memory they hold.
    static constexpr std::size_t kMost = 32'768;

    // Adds `batch`, for tables that keep at most `rowLimit` rows: how many
    // of its events the tables show, or nothing when one of them may not
    // wait (then none was added). Events that newer ones push out of every
    // table they would go into are let go at once.
    std::optional<int> add(const std::vector<Event> &batch, int rowLimit);
    bool empty() const { return m_batches.empty() && m_gone == Counts{}; }
    bool full() const { return m_events >= kMost; }

    // Every waiting event, for tables that keep at most `rowLimit` rows (as
    // when added), and the store empty again.
    BulkRows take(int rowLimit);

private:
    using Counts = std::array<std::size_t, kLevelCount>; // shown events by level
    struct Batch {
        std::string packed; // its shown events, oldest first
        std::size_t events = 0;
        Counts shown{};
    };
    void letGo(std::size_t keep);

    std::vector<Batch> m_batches;
    std::size_t m_events = 0; // in m_batches
    Counts m_gone{};          // events of the batches let go
    // Blocks of batches let go, packed into again: a flood allocates none.
    std::vector<std::string> m_spareBlocks;
};

} // namespace quorvik
