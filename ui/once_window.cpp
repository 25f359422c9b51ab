// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/once_window.h"

#include <QEvent>
#include <QScreen>

#include <cmath>

namespace quorvik {

namespace {

class Centring : public QObject {
public:
    Centring(QWidget *window, QWidget *over) : QObject(window), m_window(window), m_over(over) {}

    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::WindowActivate ||
            (event->type() == QEvent::Show && !event->spontaneous()))
            centre();
        return false;
    }

private:
    void centre() {
        QRect area;
        if (m_over)
            area = m_over->frameGeometry();
        else if (const QScreen *screen = m_window->screen())
            area = screen->geometry();
        else
            return;
        m_window->move(centredTopLeft(area, m_window->frameGeometry().size()));
    }

    QWidget *m_window;
    QPointer<QWidget> m_over;
};

} // namespace

void bringForward(QWidget *window) {
    window->show();
    window->raise();
    window->activateWindow();
}

bool isOpen(const QWidget *window) {
    return window && window->isVisible();
}

QPoint centredTopLeft(const QRect &area, const QSize &size) {
    const double left = area.x() + (area.width() - size.width()) / 2.0;
    const double top = area.y() + (area.height() - size.height()) / 2.0;
    return {int(std::lround(left)), int(std::lround(top))};
}

void centreWhenActive(QWidget *window, QWidget *over) {
    window->installEventFilter(new Centring(window, over));
}

} // namespace quorvik
