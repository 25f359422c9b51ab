// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/once_window.h"

#include <QtTest>

using namespace quorvik;

// The window every secondary window is: once, brought forward, centred.
class TestOnceWindow : public QObject {
    Q_OBJECT

private slots:
    void centredTopLeft_data() {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("topLeft");
        QTest::newRow("even") << QRect(100, 50, 800, 600) << QSize(400, 300) << QPoint(300, 200);
        QTest::newRow("odd: halves up")
            << QRect(0, 0, 801, 601) << QSize(400, 300) << QPoint(201, 151);
        QTest::newRow("larger than the area: halves away from zero")
            << QRect(0, 0, 400, 300) << QSize(401, 301) << QPoint(-1, -1);
    }
    void centredTopLeft() {
        QFETCH(QRect, area);
        QFETCH(QSize, size);
        QFETCH(QPoint, topLeft);
        QCOMPARE(quorvik::centredTopLeft(area, size), topLeft);
    }

    // A closed window waits for its deletion until control returns to the
    // event loop; opening again meanwhile gives a fresh window, not the dying one.
    void openAgainAfterCloseIsAFreshWindow() {
        QPointer<QWidget> open;
        QWidget *first = showOnce(open, [] { return new QWidget; });
        QCOMPARE(showOnce(open, [] { return new QWidget; }), first);
        QPointer<QWidget> closing = first;
        first->close();
        QWidget *second = showOnce(open, [] { return new QWidget; });
        QVERIFY(second != first);
        QVERIFY(second->isVisible());
        QTRY_VERIFY(closing.isNull());
        delete second;
    }
};

QTEST_MAIN(TestOnceWindow)
#include "tst_once_window.moc"
