// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tables/alarm_rows.h"

#include "core/event_filter.h"
#include "core/rules.h"

namespace quorvik {

AlarmRows::AlarmRows(const std::array<EventGrid *, kLevelCount> &levelGrids,
                     const EventGrid *fullList)
    : m_fullList(fullList->table()) {
    for (const EventGrid *grid : levelGrids)
        m_levelTables.push_back(grid->table());
}

void AlarmRows::changed(const EventRow &row) {
    m_levelTables[std::size_t(row.level().index)]->rowChanged(row);
    m_fullList->rowChanged(row);
}

bool AlarmRows::fold(const Event &event) {
    if (!event.actions.repeat)
        return false;
    foldKey(event, m_key);
    const auto found = m_rows.find(m_key);
    if (found == m_rows.end())
        return false;
    EventRow &row = found->second;
    const RowAlarm *alarm = row.alarm();
    if (row.tablesHolding() < 2 || (alarm && alarm->cleared))
        return false;
    row.fold(event);
    changed(row);
    return true;
}

void AlarmRows::remember(const Event &event, const EventRow &row) {
    if (event.actions.foldSeconds <= 0)
        return;
    foldKey(event, m_key);
    if (m_rows.size() >= kRemembered && !m_rows.contains(m_key)) {
        std::erase_if(m_rows, [](const auto &entry) {
            const RowAlarm *alarm = entry.second.alarm();
            return entry.second.tablesHolding() == 0 || (alarm && alarm->cleared);
        });
        if (m_rows.size() >= kRemembered)
            m_rows.clear();
    }
    m_rows.insert_or_assign(m_key, row);
}

int AlarmRows::clear(const Event &event) {
    if (!event.actions.clears)
        return 0;
    const EventFilter &match = *event.actions.clears;
    int cleared = 0;
    std::vector<EventTable *> tables = m_levelTables;
    tables.push_back(m_fullList); // a row deleted from its level table
    for (EventTable *table : tables)
        for (int r = 1; r < table->rows(); ++r) {
            EventRow row = table->eventAt(r);
            if (row.isNull() || row.bytes(1) != event.host)
                continue;
            if (const RowAlarm *alarm = row.alarm(); alarm && alarm->cleared)
                continue;
            if (!match.matches(row.level(), row.filterFields(), true, row.source()))
                continue;
            row.clear(event);
            changed(row);
            ++cleared;
        }
    return cleared;
}

} // namespace quorvik
