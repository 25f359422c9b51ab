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

QRect twipsRect(double left, double top, double width, double height) {
    return QRect(toPixels(left), toPixels(top), std::max(1, toPixels(width)),
                 std::max(1, toPixels(height)));
}

MainLayout layOutMainWindow(const LayoutInput &in) {
    using namespace design;
    const float W = float(toTwips(in.outer.width()));
    const float H = float(toTwips(in.outer.height()));
    const float T = float(toTwips(in.toolbarHeight));
    const float L = float(toTwips(in.labelHeight));
    MainLayout out;

    // The tables and the message line.
    const float A = std::max(W - 600.0f, 1.0f);
    const float B = std::max(H - T - 900.0f - L - 200.0f, 1.0f);
    const QSize tables = pixelSize(A, B);
    const int left = toPixels((W - float(toTwips(tables.width()))) / 2.0f);
    const int top = in.toolbarHeight + toPixels(150);
    out.tabStrip = out.fullList = QRect(QPoint(left, top), tables);
    out.listRows = rowsFor(tables.height(), in.listRowTwips);

    const float gridA = std::max(A - 400.0f, 1.0f);
    const float gridB = std::max(B - 700.0f, 1.0f);
    const QPoint inset = QPoint(toPixels(kGridLeft), toPixels(kGridTop)) - in.pageOffset;
    out.levelGrid =
        QRect(QPoint(std::max(0, inset.x()), std::max(0, inset.y())), pixelSize(gridA, gridB));
    out.gridRows = rowsFor(out.levelGrid.height(), in.gridRowTwips);

    const int fill = std::max(int(gridA) - in.listColumnsTwips - 100, 1);
    out.gridMessageTwips = std::max(fill, in.messageColumnTwips);
    out.listMessageTwips = out.gridMessageTwips + 200;

    // The button strip.
    out.toolbar = QRect(0, 0, std::max(in.innerWidth, 1), in.toolbarHeight);
    out.viewButton = twipsRect(0, 135, kButtonWidth, 330).translated(left, 0);
    out.clearButton = besides(out.viewButton, twipsRect(0, 135, kButtonWidth, 330));
    out.sendButton = besides(out.clearButton, twipsRect(0, 135, kButtonWidth, 330));
    out.historyButton = besides(out.sendButton, twipsRect(0, 150, kButtonWidth, 350));
    out.filterButton = besides(out.viewButton, twipsRect(0, 135, kButtonWidth, 330));
    out.logFileButton = besides(out.filterButton, twipsRect(0, 135, kButtonWidth, 330));
    out.exitButton = twipsRect(0, 135, kButtonWidth, 350);
    out.exitButton.moveLeft(left + tables.width() - out.exitButton.width());
    const QRect &history = out.historyButton;
    out.lostLabel = QPoint(history.x() + history.width() + toPixels(120),
                           history.y() + (history.height() - in.lostLabelHeight) / 2);

    out.messageLine = QRect(out.viewButton.x(), top + tables.height() + toPixels(150),
                            tables.width(), in.labelHeight);
    return out;
}

} // namespace quorvik
