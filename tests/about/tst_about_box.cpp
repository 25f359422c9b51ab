// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/about_box.h"
#include "tests/control.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using quorvik::AboutBox;
using quorvik::versionCaption;
using quorvik::testing::control;

namespace {

int openBoxes() {
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (qobject_cast<AboutBox *>(widget) && widget->isVisible())
            ++count;
    return count;
}

bool isGone(const QPointer<AboutBox> &box) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return box.isNull();
}

} // namespace

class AboutBoxTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_main = std::make_unique<QWidget>();
        m_main->setGeometry(100, 100, 800, 600);
        m_main->show();
        QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    }
    void cleanup() { m_main.reset(); }

    void showsWhatProgramThisIs() {
        AboutBox *box = AboutBox::showOver(m_box, m_main.get());
        QCOMPARE(box->objectName(), QStringLiteral("frmAbout"));
        QCOMPARE(box->windowTitle(), QStringLiteral("Quorvik"));
        QVERIFY(!box->isModal());
        auto *title = box->findChild<QLabel *>(QStringLiteral("lblTitle"));
        QCOMPARE(title->text(), QStringLiteral("Quorvik"));
        QCOMPARE(title->font().pointSize(), 18);
        QVERIFY(title->font().bold());
        QCOMPARE(box->findChild<QLabel *>(QStringLiteral("lblVersion"))->text(),
                 versionCaption(QStringLiteral(QUORVIK_VERSION)));
        QCOMPARE(box->findChild<QLabel *>(QStringLiteral("lblDescription"))->text(),
                 QStringLiteral("SNMP - Listener for Linux"));
        const QPixmap logo = control<QLabel>(box, QStringLiteral("picIcon"))->pixmap();
        QCOMPARE(logo.deviceIndependentSize().toSize(), AboutBox::kLogoSize);
        // The artwork really drew: the logo is not left transparent.
        QVERIFY(logo.toImage().pixelColor(30, 31).alpha() > 0);
        QVERIFY(!quorvik::applicationIcon().pixmap(48, 48).isNull());
    }

    void versionCaptionOfTheBuildsVersion_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("caption");
        QTest::newRow("this build") << QStringLiteral("1.1.2") << QStringLiteral("Version 1.01.02");
        QTest::newRow("two-digit minor")
            << QStringLiteral("2.10.0") << QStringLiteral("Version 2.10.00");
        QTest::newRow("two-digit patch")
            << QStringLiteral("3.0.15") << QStringLiteral("Version 3.00.15");
        QTest::newRow("no patch") << QStringLiteral("4.2") << QStringLiteral("Version 4.02.00");
    }
    void versionCaptionOfTheBuildsVersion() {
        QFETCH(QString, version);
        QFETCH(QString, caption);
        QCOMPARE(versionCaption(version), caption);
    }

    void openedTwiceIsOneWindowBroughtForward() {
        AboutBox *first = AboutBox::showOver(m_box, m_main.get());
        first->lower();
        AboutBox *second = AboutBox::showOver(m_box, m_main.get());
        QCOMPARE(second, first);
        QCOMPARE(openBoxes(), 1);
    }

    void centresOverTheMainWindowWhenActive() {
        AboutBox *box = AboutBox::showOver(m_box, m_main.get());
        QTRY_COMPARE(QApplication::activeWindow(), box);
        m_main->move(300, 250);
        m_main->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), m_main.get());
        box->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), box);
        const QRect outer = m_main->frameGeometry();
        const QRect own = box->frameGeometry();
        QVERIFY(qAbs(own.center().x() - outer.center().x()) <= 1);
        QVERIFY(qAbs(own.center().y() - outer.center().y()) <= 1);
        const QPushButton *ok = control<QPushButton>(box, QStringLiteral("cmdOK"));
        QCOMPARE(ok->x(), (own.width() - ok->width()) / 2);
    }

    void okEnterAndEscapeClose_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("OK clicked") << 0;
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }
    void okEnterAndEscapeClose() {
        QFETCH(int, how);
        QPointer<AboutBox> box = AboutBox::showOver(m_box, m_main.get());
        QTRY_COMPARE(QApplication::activeWindow(), box.data());
        QCOMPARE(QApplication::focusWidget(), control<QPushButton>(box, QStringLiteral("cmdOK")));
        if (how == 0)
            QTest::mouseClick(control<QPushButton>(box, QStringLiteral("cmdOK")), Qt::LeftButton);
        else
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(how));
        QVERIFY(isGone(box));
        QVERIFY(m_main->isVisible());
        // A fresh box opens after the old one has gone.
        QVERIFY(AboutBox::showOver(m_box, m_main.get())->isVisible());
    }

    void closesWithTheMainWindow() {
        QPointer<AboutBox> box = AboutBox::showOver(m_box, m_main.get());
        m_main->close();
        QVERIFY(isGone(box));
    }

private:
    std::unique_ptr<QWidget> m_main;
    QPointer<AboutBox> m_box;
};

QTEST_MAIN(AboutBoxTest)
#include "tst_about_box.moc"
