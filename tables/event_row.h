// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event.h"
#include "core/event_filter.h"

#include <QString>

#include <array>

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace quorvik {

// The five cells of one event (date, processor, application, object,
// message), shared by its level table and the full list. The texts are kept
// as the received 8-bit bytes in one allocation, so that a hundred thousand
// rows in eight tables stay small; they become QStrings only when shown.
class EventRow {
public:
    static constexpr int kCells = 5;

    EventRow() = default;
    explicit EventRow(const Event &record);
    // The cells in the order above, as bytes.
    EventRow(const Level &level, const std::array<std::string_view, kCells> &cells);
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
    // Cell c (0..4) as bytes; the message without the leading blank.
    std::string_view bytes(int c) const;
    // Cell c as shown (shownText): the message cell with its one leading blank.
    QString cellText(int c) const;
    // The level name and the five cells as the filter reads them.
    FilterFields filterFields() const;
    // The event again, with its texts as received.
    Event event() const;
    // The event as the log writes it, one line without its end, each field
    // as the operator reads it (shownText): what copying the row gives.
    QString copyLine() const;

private:
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
