// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/level.h"
#include "tables/event_row.h"

#include <QString>

#include <array>
#include <string>
#include <string_view>

namespace quorvik {

class EventGrid;

// The widths of the tables' columns: a column grows to its widest text and
// the margin, never shrinks, and the full list's columns follow the level
// tables'. Measuring every cell of every event is costly, so plain ASCII
// texts are first bounded by their length in the widest character, then by
// the sum of their characters' advances, and of a batch's ASCII texts only
// the one with the largest bound per column is measured, once, when the
// batch is finished.
class ColumnSizer {
public:
    using LevelGrids = std::array<EventGrid *, kLevelCount>;

    ColumnSizer(const LevelGrids &levelGrids, EventGrid *fullList);

    // The start widths: the Message columns fill the design width and the
    // full list's Level column shows every level name whole.
    void setUpWidths();

    // Notes the cells of `row`, just inserted into level table `level`.
    void noteRow(int level, const EventRow &row);
    // Grows the columns to the widest texts noted since the last call.
    void growColumns();

    // The widest Message column so far, twips: the layout never narrows it.
    int messageColumnWidth() const { return m_messageColumnWidth; }
    int textWidthTwips(const QString &text) const;

private:
    void noteCell(int level, int column, const EventRow &row);
    double asciiBound(std::string_view text, bool leadingBlank);
    double asciiAdvance(char c);
    double widestAsciiAdvance();

    LevelGrids m_levelGrids;
    EventGrid *m_fullList;
    int m_cellPadding = 0; // pixels
    int m_messageColumnWidth = 0;
    std::array<double, 128> m_asciiAdvance{}; // pixels; 0 until measured
    double m_widestAscii = 0;                 // pixels; 0 until measured
    // Per level table and column, the ASCII text of this batch whose width
    // bound is largest.
    struct WidthCandidate {
        double boundPixels = -1;
        QString text;
    };
    std::array<std::array<WidthCandidate, EventRow::kCells>, kLevelCount> m_candidates;
    std::array<bool, kLevelCount> m_touched{}; // tables that took an event in this batch
    // Per level table and column, the last text noted and the column's width
    // then: the same text against the same width comes to the same result,
    // and hosts, applications, objects and dates repeat from event to event.
    struct Noted {
        std::string text;
        int width = -1;
    };
    std::array<std::array<Noted, EventRow::kCells>, kLevelCount> m_noted;
};

} // namespace quorvik
