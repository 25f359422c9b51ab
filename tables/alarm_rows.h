// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event.h"
#include "tables/event_grid.h"

#include <array>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorvik {

// The alarms' share of the tables: repeats fold into the row of the first
// event, and an event the rules gave a clearing match clears rows. The
// rules step decides what is a repeat (EventActions::repeat); a repeat
// folds into the row of the event before it while both its level table and
// the full list still show that row and it is not cleared, else it gets a
// row of its own as any event does (the operator deleted the row, the row
// limit trimmed it, a link came back and went down again).
class AlarmRows {
public:
    static constexpr std::size_t kRemembered = 10'000;

    // The views of the seven level tables by level index, and of the full list.
    AlarmRows(const std::array<EventGrid *, kLevelCount> &levelGrids, const EventGrid *fullList);

    // Folds `event`, if a repeat, into its row; false when it needs one of
    // its own.
    bool fold(const Event &event);
    // The row `event` got: its repeats fold into it, if it is foldable. Up to kRemembered rows
    // are remembered; past that the ones no table shows go, then all.
    void remember(const Event &event, const EventRow &row);
    // Clears the rows of `event`'s host that its clearing match keeps and
    // that are not cleared yet: how many.
    int clear(const Event &event);

private:
    void changed(const EventRow &row);

    std::vector<EventTable *> m_levelTables;
    EventTable *m_fullList;
    std::unordered_map<std::string, EventRow> m_rows; // by foldKey()
    std::string m_key;
};

} // namespace quorvik
