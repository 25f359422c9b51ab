// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "alerts/alert_popup.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

using quorvik::AlertPopup;

namespace {

const QStringList kFirst = {"2024-01-02 03:04:05", "host1", "app1", "obj1", "first message"};
const QStringList kSecond = {"2024-02-03 04:05:06", "host2", "app2", "obj2", "second message"};

QStringList shownFields(const AlertPopup &popup) {
    QStringList texts;
    for (int i = 0; i < AlertPopup::kFieldCount; ++i)
        texts << popup.fieldLabel(i)->text();
    return texts;
}

int openPopupCount() {
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (qobject_cast<AlertPopup *>(widget) && widget->isVisible())
            ++count;
    return count;
}

// Number of times warnstufe changes its visibility on the blink timer's ticks.
class BlinkCounter : public QObject {
public:
    explicit BlinkCounter(AlertPopup *popup)
        : popup_(popup), hidden_(popup->levelLabel()->isHidden()) {
        connect(popup->blinkTimer(), &QTimer::timeout, this, &BlinkCounter::tick);
    }
    int changes = 0;

private:
    void tick() {
        const bool hidden = popup_->levelLabel()->isHidden();
        if (hidden != hidden_)
            ++changes;
        hidden_ = hidden;
    }
    AlertPopup *popup_;
    bool hidden_;
};

} // namespace

class AlertPopupTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void firstAlertCreatesPopupWithTexts();
    void designControls();
    void captionsReadWhole();
    void windowHasNoCloseBoxAndStaysOnTop();
    void secondAlertReusesPopupWithNewerEvent();
    void timerIdleBeforeActivation();
    void levelNameBlinksAfterActivation();
    void centredOnScreenWhenActivated();
    void okDestroysPopup();
    void returnAndEnterPressOk();
    void nextAlertAfterOkCreatesFreshPopup();
    void htmlIsShownLiterally();
    void bidiControlsShownByCode();
    void closeAllClosesIt();

private:
    quorvik::AlertPopups popups_;
};

void AlertPopupTest::cleanup() {
    QPointer<AlertPopup> popup = popups_.current();
    delete popup.data();
    QTRY_VERIFY(!popups_.current());
}

void AlertPopupTest::firstAlertCreatesPopupWithTexts() {
    QVERIFY(!popups_.current());
    popups_.show("Critical", kFirst);
    AlertPopup *popup = popups_.current();
    QVERIFY(popup);
    QVERIFY(popup->isVisible());
    QCOMPARE(popup->objectName(), QString("popup"));
    QCOMPARE(popup->windowTitle(), QString("Quorvik Event"));
    QCOMPARE(popup->levelLabel()->text(), QString("Critical"));
    QCOMPARE(shownFields(*popup), kFirst);
    QCOMPARE(popup->windowModality(), Qt::NonModal);
}

void AlertPopupTest::designControls() {
    AlertPopup popup;
    QCOMPARE(popup.size(), QSize(341, 236));
    QCOMPARE(popup.levelLabel()->objectName(), QString("warnstufe"));
    QCOMPARE(popup.levelLabel()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(popup.levelLabel()->font().pointSize(), 18);
    QCOMPARE(popup.levelLabel()->alignment(), Qt::AlignCenter);
    const QStringList captions = {"Date", "Host", "Application", "Object", "Message"};
    for (int i = 0; i < AlertPopup::kFieldCount; ++i) {
        auto *caption = popup.findChild<QLabel *>(QString("Label2_%1").arg(i));
        QVERIFY(caption);
        QCOMPARE(caption->text(), captions[i]);
        QCOMPARE(popup.fieldLabel(i)->objectName(), QString("popmeld_%1").arg(i));
        QCOMPARE(popup.fieldLabel(i)->frameShape(), QFrame::Box);
        QVERIFY(popup.fieldLabel(i)->text().isEmpty());
    }
    QVERIFY(popup.fieldLabel(4)->wordWrap());
    QVERIFY(popup.fieldLabel(4)->height() > 4 * popup.fieldLabel(0)->height());
    QVERIFY(!popup.fieldLabel(5));
    QCOMPARE(popup.okButton()->objectName(), QString("Command1"));
    QCOMPARE(popup.okButton()->text(), QString("OK"));
    QCOMPARE(popup.findChild<QTimer *>("Timer1"), popup.blinkTimer());
}

void AlertPopupTest::captionsReadWhole() {
    AlertPopup popup;
    for (int i = 0; i < AlertPopup::kFieldCount; ++i) {
        auto *caption = popup.findChild<QLabel *>(QString("Label2_%1").arg(i));
        QVERIFY2(caption->fontMetrics().horizontalAdvance(caption->text()) <=
                     caption->contentsRect().width(),
                 qPrintable(caption->text()));
    }
    // QUORVIK_SCREENSHOT=folder keeps a picture of the popup to look at.
    if (qEnvironmentVariableIsSet("QUORVIK_SCREENSHOT")) {
        popups_.show("Emergency", kFirst);
        QVERIFY(popups_.current()->grab().save(qEnvironmentVariable("QUORVIK_SCREENSHOT") +
                                               "/popup.png"));
    }
}

void AlertPopupTest::windowHasNoCloseBoxAndStaysOnTop() {
    AlertPopup popup;
    const Qt::WindowFlags flags = popup.windowFlags();
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowSystemMenuHint));
}

void AlertPopupTest::secondAlertReusesPopupWithNewerEvent() {
    popups_.show("Emergency", kFirst);
    AlertPopup *first = popups_.current();
    popups_.show("Panic", kSecond);
    QCOMPARE(popups_.current(), first);
    QCOMPARE(openPopupCount(), 1);
    QCOMPARE(first->levelLabel()->text(), QString("Panic"));
    QCOMPARE(shownFields(*first), kSecond);
}

void AlertPopupTest::timerIdleBeforeActivation() {
    AlertPopup popup;
    QCOMPARE(popup.blinkTimer()->interval(), 0);
    QVERIFY(!popup.blinkTimer()->isActive());
    QTest::qWait(50);
    QVERIFY(!popup.levelLabel()->isHidden());
}

void AlertPopupTest::levelNameBlinksAfterActivation() {
    popups_.show("Alert", kFirst);
    AlertPopup *popup = popups_.current();
    QVERIFY(QTest::qWaitForWindowActive(popup));
    QCOMPARE(popup->blinkTimer()->interval(), AlertPopup::kBlinkIntervalMs);
    QVERIFY(popup->blinkTimer()->isActive());
    BlinkCounter counter(popup);
    QTRY_VERIFY_WITH_TIMEOUT(counter.changes >= 2, 10000);
}

void AlertPopupTest::centredOnScreenWhenActivated() {
    popups_.show("Warning", kFirst);
    AlertPopup *popup = popups_.current();
    QVERIFY(QTest::qWaitForWindowActive(popup));
    const QPoint screenCentre = popup->screen()->geometry().center();
    QVERIFY((popup->frameGeometry().center() - screenCentre).manhattanLength() <= 2);

    popup->move(screenCentre + QPoint(150, 120));
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    popup->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(popup));
    QVERIFY((popup->frameGeometry().center() - screenCentre).manhattanLength() <= 2);
}

void AlertPopupTest::okDestroysPopup() {
    popups_.show("Critical", kFirst);
    QPointer<AlertPopup> popup = popups_.current();
    QVERIFY(QTest::qWaitForWindowActive(popup));
    QTimer *timer = popup->blinkTimer();
    QVERIFY(timer->isActive());
    QTest::mouseClick(popup->okButton(), Qt::LeftButton);
    QVERIFY(!timer->isActive());
    QCOMPARE(timer->interval(), 0);
    QTRY_VERIFY(popup.isNull());
    QVERIFY(!popups_.current());
}

void AlertPopupTest::returnAndEnterPressOk() {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        popups_.show("Critical", kFirst);
        QPointer<AlertPopup> popup = popups_.current();
        QVERIFY(QTest::qWaitForWindowActive(popup));
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus && focus->window() == popup);
        QTest::keyClick(focus, key);
        QTRY_VERIFY(popup.isNull());
    }
}

void AlertPopupTest::nextAlertAfterOkCreatesFreshPopup() {
    popups_.show("Emergency", kFirst);
    QPointer<AlertPopup> old = popups_.current();
    QVERIFY(QTest::qWaitForWindowActive(old));
    QTRY_VERIFY_WITH_TIMEOUT(old->levelLabel()->isHidden(), 10000);
    QTest::mouseClick(old->okButton(), Qt::LeftButton);
    QTRY_VERIFY(old.isNull());

    popups_.show("Note", {"only a date"});
    AlertPopup *fresh = popups_.current();
    QVERIFY(fresh);
    QVERIFY(!fresh->levelLabel()->isHidden());
    QCOMPARE(fresh->levelLabel()->text(), QString("Note"));
    QCOMPARE(shownFields(*fresh), QStringList({"only a date", "", "", "", ""}));
    QCOMPARE(openPopupCount(), 1);
}

void AlertPopupTest::htmlIsShownLiterally() {
    const QString level = "<b>Trap</b>";
    const QStringList fields = {"<i>d</i>", "<a href=\"x\">h</a>", "&amp;", "<br>",
                                "<img src=\"x.png\"><h1>big</h1>"};
    popups_.show(level, fields);
    AlertPopup *popup = popups_.current();
    QCOMPARE(popup->levelLabel()->textFormat(), Qt::PlainText);
    QCOMPARE(popup->levelLabel()->text(), level);
    for (int i = 0; i < AlertPopup::kFieldCount; ++i)
        QCOMPARE(popup->fieldLabel(i)->textFormat(), Qt::PlainText);
    QCOMPARE(shownFields(*popup), fields);
}

void AlertPopupTest::bidiControlsShownByCode() {
    popups_.show("Alert", {"d", QString::fromUtf8("h\u2067x\u2069"), "a", "o",
                           QString::fromUtf8("\u202Edesrever")});
    const QStringList shown = shownFields(*popups_.current());
    QCOMPARE(shown[1], QString("h[U+2067]x[U+2069]"));
    QCOMPARE(shown[4], QString("[U+202E]desrever"));
}

void AlertPopupTest::closeAllClosesIt() {
    popups_.show("Unknown", kFirst);
    QPointer<AlertPopup> popup = popups_.current();
    popups_.closeAll();
    QVERIFY(!popups_.current());
    QTRY_VERIFY(popup.isNull());
    popups_.closeAll();
}

QTEST_MAIN(AlertPopupTest)
#include "tst_alert_popup.moc"
