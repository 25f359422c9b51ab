// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tables/waiting_events.h"

#include "tables/event_table.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <utility>

namespace quorvik {

namespace {

// Changes rows already in the tables.
bool changesRows(const Event &event) {
    const EventActions &actions = event.actions;
    return actions.repeat || actions.foldSeconds > 0 || actions.clears || event.acknowledges;
}

std::size_t sum(const std::array<std::size_t, kLevelCount> &counts) {
    return std::accumulate(counts.begin(), counts.end(), std::size_t(0));
}

// What a row is made of, packed: this head, then the bytes of the five cells
// and of the sender.
struct PackedHead {
    const Level *level;
    std::int64_t receivedAt;
    std::uint64_t rawId;
    std::uint32_t lengths[EventRow::kCells + 1];
    std::uint16_t senderPort;
    Source source;
};

// Room for one packed event of the usual size: fewer reallocations.
constexpr std::size_t kPackedGuess = sizeof(PackedHead) + 96;
// Blocks kept for packing into: about as many as wait at a time at 20,000
// events a second in batches of 100 with 1,000-row tables.
constexpr std::size_t kSpareBlocks = 64;

void pack(const Event &event, std::string &into) {
    const std::array<const std::string *, EventRow::kCells + 1> texts = {
        &event.date, &event.host, &event.application, &event.object, &event.message, &event.sender};
    PackedHead head{event.level, event.receivedAt, event.rawId, {}, event.senderPort, event.source};
    std::size_t size = sizeof head;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        head.lengths[i] = std::uint32_t(texts[i]->size());
        size += texts[i]->size();
    }
    std::size_t at = into.size();
    into.resize(at + size);
    std::memcpy(into.data() + at, &head, sizeof head);
    at += sizeof head;
    for (const std::string *text : texts) {
        std::memcpy(into.data() + at, text->data(), text->size());
        at += text->size();
    }
}

struct Unpacked {
    const Level *level;
    std::array<std::string_view, EventRow::kCells> cells;
    EventRow::Origin origin;
};

// The packed event at `from`; `from` moves past it.
Unpacked unpack(const char *&from) {
    PackedHead head;
    std::memcpy(&head, from, sizeof head); // the block keeps no alignment
    from += sizeof head;
    Unpacked event{head.level, {}, {head.source, {}, head.senderPort, head.receivedAt, head.rawId}};
    for (std::size_t i = 0; i < EventRow::kCells; ++i) {
        event.cells[i] = {from, head.lengths[i]};
        from += head.lengths[i];
    }
    event.origin.sender = {from, head.lengths[EventRow::kCells]};
    from += head.lengths[EventRow::kCells];
    return event;
}

void addTo(TableRows &table, bool wanted, const EventRow &row) {
    if (wanted)
        table.rows.push_back(row);
    else
        ++table.before;
}

} // namespace

std::optional<int> WaitingEvents::add(const std::vector<Event> &batch, int rowLimit) {
    Batch waiting;
    if (!m_spareBlocks.empty()) {
        waiting.packed = std::move(m_spareBlocks.back());
        m_spareBlocks.pop_back();
        waiting.packed.clear();
    }
    waiting.packed.reserve(batch.size() * kPackedGuess);
    for (const Event &event : batch) {
        if (changesRows(event))
            return std::nullopt;
        if (event.actions.shown) {
            pack(event, waiting.packed);
            ++waiting.shown[std::size_t(event.level->index)];
            ++waiting.events;
        }
    }
    const int shown = int(waiting.events);
    if (shown > 0) {
        m_events += waiting.events;
        m_batches.push_back(std::move(waiting));
        letGo(EventTable::rowsStaying(rowLimit));
    }
    return shown;
}

// Lets go of the batches that have at least `keep` newer events in the full
// list and in each level table they have events for.
void WaitingEvents::letGo(std::size_t keep) {
    Counts newer{};
    std::size_t newerInList = 0;
    for (auto batch = m_batches.rbegin(); batch != m_batches.rend(); ++batch) {
        bool gone = newerInList >= keep;
        for (std::size_t level = 0; level < kLevelCount; ++level)
            gone = gone && (batch->shown[level] == 0 || newer[level] >= keep);
        for (std::size_t level = 0; level < kLevelCount; ++level) {
            newer[level] += batch->shown[level];
            newerInList += batch->shown[level];
            if (gone)
                m_gone[level] += batch->shown[level];
        }
        if (gone) {
            m_events -= std::exchange(batch->events, 0);
            if (m_spareBlocks.size() < kSpareBlocks)
                m_spareBlocks.push_back(std::move(batch->packed));
        }
    }
    std::erase_if(m_batches, [](const Batch &batch) { return batch.events == 0; });
}

BulkRows WaitingEvents::take(int rowLimit) {
    const std::size_t keep = EventTable::rowsStaying(rowLimit);
    BulkRows rows;
    for (std::size_t level = 0; level < kLevelCount; ++level)
        rows.levels[level].before = m_gone[level];
    rows.fullList.before = sum(m_gone);
    const auto full = [keep](const TableRows &table) { return table.rows.size() >= keep; };
    std::vector<Unpacked> events;
    // Newest first; a batch none of whose tables wants more rows is only counted.
    for (auto batch = m_batches.rbegin(); batch != m_batches.rend(); ++batch) {
        bool wanted = !full(rows.fullList);
        for (std::size_t level = 0; level < kLevelCount && !wanted; ++level)
            wanted = batch->shown[level] > 0 && !full(rows.levels[level]);
        if (!wanted) {
            for (std::size_t level = 0; level < kLevelCount; ++level) {
                rows.levels[level].before += batch->shown[level];
                rows.fullList.before += batch->shown[level];
            }
            continue;
        }
        events.clear();
        for (const char *from = batch->packed.data(); events.size() < batch->events;)
            events.push_back(unpack(from));
        for (auto event = events.rbegin(); event != events.rend(); ++event) {
            TableRows &level = rows.levels[std::size_t(event->level->index)];
            const bool inLevel = !full(level), inList = !full(rows.fullList);
            if (!inLevel && !inList) {
                ++level.before;
                ++rows.fullList.before;
                continue;
            }
            const EventRow row(*event->level, event->cells, event->origin);
            addTo(level, inLevel, row);
            addTo(rows.fullList, inList, row);
        }
    }
    for (TableRows &level : rows.levels)
        std::reverse(level.rows.begin(), level.rows.end());
    std::reverse(rows.fullList.rows.begin(), rows.fullList.rows.end());
    for (Batch &batch : m_batches)
        if (m_spareBlocks.size() < kSpareBlocks)
            m_spareBlocks.push_back(std::move(batch.packed));
    m_batches.clear();
    m_events = 0;
    m_gone = {};
    return rows;
}

} // namespace quorvik
