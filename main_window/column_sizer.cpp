// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "main_window/column_sizer.h"

#include "core/units.h"
#include "main_window/main_layout.h"
#include "tables/event_grid.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace quorvik {

using design::kColumnMargin;

ColumnSizer::ColumnSizer(const LevelGrids &levelGrids, EventGrid *fullList)
    : m_levelGrids(levelGrids), m_fullList(fullList),
      m_cellPadding(2 * (fullList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1)) {}

void ColumnSizer::setUpWidths() {
    const double levelWidth = design::kGridWidth - design::kGridLeft + 150;
    for (EventGrid *grid : m_levelGrids) {
        int others = 0;
        for (int c = 0; c < 4; ++c)
            others += grid->colWidth(c);
        grid->setColWidth(4, int(levelWidth) - others);
    }
    m_messageColumnWidth = m_levelGrids[0]->colWidth(4);

    int levelColumn = m_fullList->colWidth(0);
    for (int i = 0; i <= kLevelCount + 1; ++i) {
        const std::string_view name = i < kLevelCount    ? levelByIndex(i).name
                                      : i == kLevelCount ? trapLevel().name
                                                         : unknownLevel().name;
        levelColumn = std::max(
            levelColumn, textWidthTwips(QString::fromLatin1(name.data(), qsizetype(name.size()))) +
                             kColumnMargin);
    }
    m_fullList->setColWidth(0, levelColumn);

    const double listWidth = design::kListWidth - design::kListLeft + 150;
    int others = 0;
    for (int c = 0; c < 5; ++c)
        others += m_fullList->colWidth(c);
    m_fullList->setColWidth(5, int(listWidth) - others);
}

int ColumnSizer::textWidthTwips(const QString &text) const {
    return toTwips(QFontMetrics(m_levelGrids[0]->font()).horizontalAdvance(text) + m_cellPadding);
}

double ColumnSizer::asciiAdvance(char c) {
    double &advance = m_asciiAdvance[static_cast<unsigned char>(c)];
    if (advance == 0)
        advance = std::max(
            0.01, QFontMetricsF(m_levelGrids[0]->font()).horizontalAdvance(QLatin1Char(c)));
    return advance;
}

namespace {

bool isPlainAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto code = static_cast<unsigned char>(c);
        return code >= 32 && code < 128;
    });
}

} // namespace

// The widest advance of any printable ASCII character.
double ColumnSizer::widestAsciiAdvance() {
    if (m_widestAscii == 0)
        for (char c = 32; c < 127; ++c)
            m_widestAscii = std::max(m_widestAscii, asciiAdvance(c));
    return m_widestAscii;
}

// Shaping only narrows a plain ASCII text, so the sum of its characters'
// advances bounds it; in fractional pixels, so that the bound of a text is not
// above its measured width and a text as wide as the column is ruled out
// without measuring.
double ColumnSizer::asciiBound(std::string_view text, bool leadingBlank) {
    double pixels = m_cellPadding + (leadingBlank ? asciiAdvance(' ') : 0);
    for (const char c : text)
        pixels += asciiAdvance(c);
    return pixels;
}

void ColumnSizer::noteRow(int level, const EventRow &row) {
    m_touched[std::size_t(level)] = true;
    for (int c = 0; c < EventRow::kCells; ++c)
        noteCell(level, c, row);
}

void ColumnSizer::noteCell(int level, int column, const EventRow &row) {
    const std::string_view text = row.bytes(column);
    EventGrid *grid = m_levelGrids[std::size_t(level)];
    Noted &noted = m_noted[std::size_t(level)][std::size_t(column)];
    if (noted.width == grid->colWidth(column) && noted.text == text)
        return;
    noted.text = text;
    noted.width = grid->colWidth(column);
    if (!isPlainAscii(text)) { // measured at once
        const int wanted = textWidthTwips(row.cellText(column)) + kColumnMargin;
        if (wanted > grid->colWidth(column))
            grid->setColWidth(column, wanted);
        return;
    }
    const bool message = column == EventRow::kCells - 1;
    const auto widens = [&](double pixels) {
        return toTwips(int(std::ceil(pixels))) + kColumnMargin > grid->colWidth(column);
    };
    // Most texts fit even in their widest character: no sum needed.
    const std::size_t characters = text.size() + (message ? 1 : 0);
    if (!widens(m_cellPadding + double(characters) * widestAsciiAdvance()))
        return;
    const double bound = asciiBound(text, message);
    WidthCandidate &candidate = m_candidates[std::size_t(level)][std::size_t(column)];
    if (bound > candidate.boundPixels && widens(bound))
        candidate = {bound, row.cellText(column)};
}

void ColumnSizer::growColumns() {
    for (int i = 0; i < kLevelCount; ++i) {
        if (!std::exchange(m_touched[std::size_t(i)], false))
            continue;
        EventGrid *grid = m_levelGrids[std::size_t(i)];
        for (int c = 0; c < EventRow::kCells; ++c) {
            WidthCandidate &candidate = m_candidates[std::size_t(i)][std::size_t(c)];
            if (candidate.boundPixels >= 0) {
                const int wanted = textWidthTwips(candidate.text) + kColumnMargin;
                if (wanted > grid->colWidth(c))
                    grid->setColWidth(c, wanted);
            }
            candidate = {};
            if (m_fullList->colWidth(c + 1) < grid->colWidth(c))
                m_fullList->setColWidth(c + 1, grid->colWidth(c));
        }
    }
    m_messageColumnWidth = std::max(m_messageColumnWidth, m_fullList->colWidth(5));
}

} // namespace quorvik
