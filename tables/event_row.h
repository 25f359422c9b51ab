// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event.h"
#include "core/event_filter.h"

#include <QString>

#include <array>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

namespace quorvik {

// What became of a shown event as an alarm: the repeats folded into its
// row, the event that cleared it, the operator who acknowledged it. Only
// rows that have any of these carry one.
struct RowAlarm {
    int count = 1;          // events folded into the row, the first included
    std::string newestDate; // the newest one's date, as received
    bool cleared = false;
    QString clearedBy; // the clearing event: "Trap from 192.0.2.1: IF-MIB::linkUp …"
    QString clearedAt; // its date
    bool acknowledged = false;
    QString acknowledgedBy, acknowledgedAt, note;
};

// The five cells of one event (date, processor, application, object,
// message), shared by its level table and the full list. The texts are kept
// as the received 8-bit bytes in one allocation, so that a hundred thousand
// rows in eight tables stay small; they become QStrings only when shown.
class EventRow {
public:
    static constexpr int kCells = 5;

    // Where an event came from and when, as its row keeps it.
    struct Origin {
        Source source = Source::Text;
        std::string_view sender;
        std::uint16_t senderPort = 0;
        std::int64_t receivedAt = 0;
        std::uint64_t rawId = 0;
    };

    EventRow() = default;
    explicit EventRow(const Event &record);
    // The cells in the order above, as bytes, and the address it came from.
    EventRow(const Level &level, const std::array<std::string_view, kCells> &cells,
             std::string_view sender = {});
    EventRow(const Level &level, const std::array<std::string_view, kCells> &cells,
             const Origin &origin);
    EventRow(const EventRow &other) noexcept : m_data(other.m_data) { retain(); }
    EventRow(EventRow &&other) noexcept : m_data(std::exchange(other.m_data, nullptr)) {}
    EventRow &operator=(EventRow other) noexcept {
        std::swap(m_data, other.m_data);
        return *this;
    }
    ~EventRow() { release(); }

    bool isNull() const { return m_data == nullptr; }
    // The same event (not merely equal texts).
    bool sameAs(const EventRow &other) const { return m_data == other.m_data; }
    const Level &level() const;
    // What it was made from; a row rebuilt from the log (the cells
    // constructor) is a text, as the log keeps no source.
    Source source() const;
    // Where it came from and when, as the receiver saw it (the log keeps
    // none of these: empty and 0 in a row rebuilt from it).
    std::string_view sender() const;
    std::uint16_t senderPort() const;
    std::int64_t receivedAt() const;
    // The number its received bytes are kept under (RawKeeper); 0: none.
    std::uint64_t rawId() const;
    // Cell c (0..4) as bytes; the message without the leading blank.
    std::string_view bytes(int c) const;
    // Cell c as shown (shownText): the message cell with its one leading blank.
    QString cellText(int c) const;
    // The level name and the five cells as the filter reads them.
    FilterFields filterFields() const;
    // The event again, with its texts as received: of a row that folded
    // repeats, the newest.
    Event event() const;
    // The event as the log writes it, one line without its end, each field
    // as the operator reads it (shownText): what copying the row gives.
    QString copyLine() const;

    // What became of the row; nullptr while nothing has. The date cell (cell
    // 0, the filter's date, the copy) is the newest folded event's; the
    // message cell shows the count before the text: " ×12 link down".
    const RowAlarm *alarm() const;
    int count() const;
    // The first event's date, as received.
    std::string_view firstDate() const;
    // The tool tip: the fold's first and last date, by what and when it was
    // cleared, by whom and when acknowledged with the note; empty for a row
    // with none of these.
    QString toolTip() const;

    // These change the row wherever it is shown (the level table and the
    // full list share it); each table that holds it must then be told
    // (EventTable::rowChanged).
    // A repeat of the event folds into the row: the count grows, the date
    // becomes the repeat's.
    void fold(const Event &repeat);
    // Cleared by `by` (at its date).
    void clear(const Event &by);
    void acknowledge(const QString &who, const QString &when, const QString &note);

    // How many tables hold the row now (0, 1 or 2): a fold goes into a row
    // only while both its level table and the full list still show it.
    int tablesHolding() const;
    // Who the row is, for sets of changed rows.
    const void *identity() const { return m_data; }

private:
    friend class EventTable;
    void held(int by) noexcept;
    RowAlarm &alarmToChange();
    struct Data;
    void retain() noexcept;
    void release() noexcept;
    Data *m_data = nullptr;
};

// Received bytes as the operator reads them (visibleText): the one place
// where a received text becomes a QString for the screen.
QString shownText(std::string_view bytes);

// Whether `search` occurs in `text` as the operator reads both, letter case
// ignored: the search of the filters for texts beyond ASCII (WideSearch).
bool shownTextContains(std::string_view text, std::string_view search);

} // namespace quorvik
