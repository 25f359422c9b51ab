// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "main_window/main_layout.h"

#include "core/units.h"

#include <algorithm>

namespace quorvik {

namespace {

QSize pixelSize(float widthTwips, float heightTwips) {
    return {std::max(1, toPixels(widthTwips)), std::max(1, toPixels(heightTwips))};
}

// Rows that fill `heightPixels`, and one more for the part row at the bottom.
int rowsFor(int heightPixels, int rowTwips) {
    return roundHalfEven(float(toTwips(heightPixels)) / float(rowTwips) + 1.0f);
}

// `button` moved to the right of `left`.
QRect besides(const QRect &left, QRect button) {
    button.moveLeft(left.x() + left.width());
    return button;
}

} // namespace

MainLayout layOutMainWindow(const LayoutInput &in) {
    using namespace design;
    const float outerWidth = float(toTwips(in.outer.width()));
    const float outerHeight = float(toTwips(in.outer.height()));
    const float toolbarHeight = float(toTwips(in.toolbarHeight));
    const float labelHeight = float(toTwips(in.labelHeight));
    const float filterBarHeight = float(toTwips(in.filterBarHeight));
    MainLayout out;

    // The tables and the message line.
    const float tablesWidth = std::max(outerWidth - kFrameWidth, 1.0f);
    const float tablesHeight = std::max(outerHeight - toolbarHeight - filterBarHeight -
                                            kFrameHeight - labelHeight - kBottomMargin,
                                        1.0f);
    const QSize tables = pixelSize(tablesWidth, tablesHeight);
    const int left = toPixels((outerWidth - float(toTwips(tables.width()))) / 2.0f);
    const int top = in.toolbarHeight + in.filterBarHeight + toPixels(kTablesGap);
    out.filterBar = QRect(left, in.toolbarHeight, tables.width(), in.filterBarHeight);
    out.tabStrip = out.fullList = QRect(QPoint(left, top), tables);
    out.listRows = rowsFor(tables.height(), in.listRowTwips);

    const float gridWidth = std::max(tablesWidth - kPageWidthLoss, 1.0f);
    const float gridHeight = std::max(tablesHeight - kPageHeightLoss, 1.0f);
    const QPoint inset = QPoint(toPixels(kGridLeft), toPixels(kGridTop)) - in.pageOffset;
    out.levelGrid = QRect(QPoint(std::max(0, inset.x()), std::max(0, inset.y())),
                          pixelSize(gridWidth, gridHeight));
    out.gridRows = rowsFor(out.levelGrid.height(), in.gridRowTwips);

    const int fill = std::max(int(gridWidth) - in.listColumnsTwips - kMessageColumnSlack, 1);
    out.gridMessageTwips = std::max(fill, in.messageColumnTwips);
    out.listMessageTwips = out.gridMessageTwips + kListMessageExtra;

    // The button strip.
    const QRect button = twipsRect(0, kButtonTop, kButtonWidth, kButtonHeight);
    out.toolbar = QRect(0, 0, std::max(in.innerWidth, 1), in.toolbarHeight);
    out.viewButton = button.translated(left, 0);
    out.clearButton = besides(out.viewButton, button);
    out.sendButton = besides(out.clearButton, button);
    out.historyButton =
        besides(out.sendButton, twipsRect(0, kHistoryButtonTop, kButtonWidth, kTallButtonHeight));
    out.filterButton = besides(out.viewButton, button);
    out.logFileButton = besides(out.filterButton, button);
    out.exitButton = twipsRect(0, kButtonTop, kButtonWidth, kTallButtonHeight);
    out.exitButton.moveLeft(left + tables.width() - out.exitButton.width());
    const QRect &history = out.historyButton;
    out.lostLabel = QPoint(history.x() + history.width() + toPixels(kLostLabelGap),
                           history.y() + (history.height() - in.lostLabelHeight) / 2);

    out.messageLine = QRect(out.viewButton.x(), top + tables.height() + toPixels(kTablesGap),
                            tables.width(), in.labelHeight);
    return out;
}

} // namespace quorvik
