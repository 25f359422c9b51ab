// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/once_window.h"

#include <QEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cmath>

namespace quorvik {

namespace {

class Centring : public QObject {
public:
    Centring(QWidget *window, QWidget *over) : QObject(window), m_window(window), m_over(over) {}

    bool eventFilter(QObject *, QEvent *event) override {
        switch (event->type()) {
        case QEvent::Show:
            if (event->spontaneous())
                break;
            // The frame is known only once the window manager has framed
            // the shown window, which a move or resize tells: centred again
            // then, for a window that is not activated meanwhile.
            m_unframed = m_window->frameGeometry().size() == m_window->size();
            if (m_unframed && m_window->windowHandle())
                m_window->windowHandle()->installEventFilter(this);
            centre();
            break;
        case QEvent::WindowActivate:
            centre();
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Expose:
            if (m_unframed && m_window->frameGeometry().size() != m_window->size()) {
                m_unframed = false;
                // Once the window system's news of the frame is all in.
                QTimer::singleShot(0, this, [this] { centre(); });
            }
            break;
        default:
            break;
        }
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
    bool m_unframed = false;
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
