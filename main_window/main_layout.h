// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ui/twips_rect.h"

#include <QPoint>
#include <QRect>
#include <QSize>

namespace quorvik {

// The main window's design geometry, in twips.
namespace design {
inline constexpr int kClientWidth = 7575, kClientHeight = 5565;
inline constexpr int kToolbarHeight = 525;
inline constexpr int kLabelHeight = 432;
inline constexpr int kTabLeft = 120, kTabTop = 480, kTabWidth = 7332, kTabHeight = 4452;
inline constexpr int kListLeft = 90, kListTop = 480, kListWidth = 7335, kListHeight = 4455;
inline constexpr int kGridLeft = 240, kGridTop = 600, kGridWidth = 6852, kGridHeight = 3732;
inline constexpr int kButtonWidth = 825;
inline constexpr int kColumnMargin = 100; // added to a column's widest text

// How the tables follow the window's size.
inline constexpr float kFrameWidth = 600;       // the window is wider than the tables by this
inline constexpr float kFrameHeight = 900;      // title bar, menu bar and frame
inline constexpr float kBottomMargin = 200;     // below the message line
inline constexpr int kTablesGap = 150;          // above and below the tables
inline constexpr float kPageWidthLoss = 400;    // a level table is narrower than its tab strip
inline constexpr float kPageHeightLoss = 700;   // and lower, by the tabs and the page's margins
inline constexpr int kMessageColumnSlack = 100; // right of a level table's Message column
inline constexpr int kListMessageExtra = 200;   // the full list's Message column is wider

// The button strip.
inline constexpr int kButtonTop = 135, kButtonHeight = 330;
inline constexpr int kHistoryButtonTop = 150, kTallButtonHeight = 350; // History and Exit
inline constexpr int kLostLabelGap = 120; // between History and the lost count
} // namespace design

// What the layout of the main window depends on.
struct LayoutInput {
    QSize outer;             // the window with its frame, pixels
    int innerWidth = 0;      // the window without its frame, pixels
    int toolbarHeight = 0;   // pixels
    int filterBarHeight = 0; // pixels; 0 while the filter bar is hidden
    int labelHeight = 0;     // the message line's, pixels
    int lostLabelHeight = 0;
    QPoint pageOffset;          // a tab page's top left inside the tab strip, pixels
    int listRowTwips = 240;     // row height of the full list
    int gridRowTwips = 240;     // row height of the level tables
    int listColumnsTwips = 0;   // the full list's columns before Message, summed
    int messageColumnTwips = 0; // the widest Message column so far
};

// Where every control goes, in the client area's pixels (the level table in
// its tab page's), and what the tables need: at least so many rows, and the
// Message columns' widths in twips.
struct MainLayout {
    QRect toolbar;
    QRect filterBar; // below the button strip, as wide as the tables
    QRect viewButton, clearButton, sendButton, historyButton, exitButton;
    QRect filterButton, logFileButton;
    QPoint lostLabel;
    QRect tabStrip, fullList, levelGrid, messageLine;
    int listRows = 0, gridRows = 0;
    int gridMessageTwips = 0, listMessageTwips = 0;
};

// The tables fill the window but for fixed margins (and the filter bar's
// height while it is shown) and never shrink below one pixel; the Message columns fill the tables
// but never narrow below the widest message; the buttons sit side by side from the tables' left
// edge, Exit at their right edge.
MainLayout layOutMainWindow(const LayoutInput &in);

} // namespace quorvik
