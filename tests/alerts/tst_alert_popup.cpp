// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "alerts/alert_popup.h"
#include "tests/control.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

using quorvik::AlertPopup;
using quorvik::testing::control;

namespace {

QLabel *levelLabel(const AlertPopup *popup) {
    return control<QLabel>(popup, QStringLiteral("warnstufe"));
}
QLabel *fieldLabel(const AlertPopup *popup, int index) {
    return control<QLabel>(popup, QStringLiteral("popmeld_%1").arg(index));
}
QPushButton *okButton(const AlertPopup *popup) {
    return control<QPushButton>(popup, QStringLiteral("Command1"));
}
QTimer *blinkTimer(const AlertPopup *popup) {
    return control<QTimer>(popup, QStringLiteral("Timer1"));
}
// The popup the alerts show; nullptr while none is open.
AlertPopup *openPopup() {
    return quorvik::testing::shownWindow<AlertPopup>();
}

const QStringList kFirst = {"2024-01-02 03:04:05", "host1", "app1", "obj1", "first message"};
const QStringList kSecond = {"2024-02-03 04:05:06", "host2", "app2", "obj2", "second message"};

QStringList shownFields(const AlertPopup &popup) {
    QStringList texts;
    for (int i = 0; i < AlertPopup::kFieldCount; ++i)
        texts << fieldLabel(&popup, i)->text();
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
        : popup_(popup), hidden_(levelLabel(popup)->isHidden()) {
        connect(blinkTimer(popup), &QTimer::timeout, this, &BlinkCounter::tick);
    }
    int changes = 0;

private:
    void tick() {
        const bool hidden = levelLabel(popup_)->isHidden();
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
    void longTextsEndInEllipsisAndShowWholeInToolTip();
    void closeAllClosesIt();

private:
    quorvik::AlertPopups popups_;
};

void AlertPopupTest::cleanup() {
    QPointer<AlertPopup> popup = openPopup();
    delete popup.data();
    QTRY_VERIFY(!openPopup());
}

void AlertPopupTest::firstAlertCreatesPopupWithTexts() {
    QVERIFY(!openPopup());
    popups_.show("Critical", kFirst);
    AlertPopup *popup = openPopup();
    QVERIFY(popup);
    QVERIFY(popup->isVisible());
    QCOMPARE(popup->objectName(), QString("popup"));
    QCOMPARE(popup->windowTitle(), QString("Quorvik Event"));
    QCOMPARE(levelLabel(popup)->text(), QString("Critical"));
    QCOMPARE(shownFields(*popup), kFirst);
    QCOMPARE(popup->windowModality(), Qt::NonModal);
}

void AlertPopupTest::designControls() {
    AlertPopup popup;
    QCOMPARE(popup.size(), QSize(341, 236));
    QCOMPARE(levelLabel(&popup)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(levelLabel(&popup)->font().pointSize(), 18);
    QCOMPARE(levelLabel(&popup)->alignment(), Qt::AlignCenter);
    const QStringList captions = {"Date", "Host", "Application", "Object", "Message"};
    for (int i = 0; i < AlertPopup::kFieldCount; ++i) {
        auto *caption = popup.findChild<QLabel *>(QString("Label2_%1").arg(i));
        QVERIFY(caption);
        QCOMPARE(caption->text(), captions[i]);
        QCOMPARE(fieldLabel(&popup, i)->frameShape(), QFrame::Box);
        QVERIFY(fieldLabel(&popup, i)->text().isEmpty());
    }
    QVERIFY(fieldLabel(&popup, 4)->wordWrap());
    QVERIFY(fieldLabel(&popup, 4)->height() > 4 * fieldLabel(&popup, 0)->height());
    QCOMPARE(okButton(&popup)->text(), QString("OK"));
    QVERIFY(!popup.findChild<QLabel *>(QStringLiteral("popmeld_5")));
    QVERIFY(blinkTimer(&popup));
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
        QVERIFY(
            openPopup()->grab().save(qEnvironmentVariable("QUORVIK_SCREENSHOT") + "/popup.png"));
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
    AlertPopup *first = openPopup();
    popups_.show("Panic", kSecond);
    QCOMPARE(openPopup(), first);
    QCOMPARE(openPopupCount(), 1);
    QCOMPARE(levelLabel(first)->text(), QString("Panic"));
    QCOMPARE(shownFields(*first), kSecond);
}

void AlertPopupTest::timerIdleBeforeActivation() {
    AlertPopup popup;
    QCOMPARE(blinkTimer(&popup)->interval(), 0);
    QVERIFY(!blinkTimer(&popup)->isActive());
    QTest::qWait(50);
    QVERIFY(!levelLabel(&popup)->isHidden());
}

void AlertPopupTest::levelNameBlinksAfterActivation() {
    popups_.show("Alert", kFirst);
    AlertPopup *popup = openPopup();
    QVERIFY(QTest::qWaitForWindowActive(popup));
    QCOMPARE(blinkTimer(popup)->interval(), AlertPopup::kBlinkIntervalMs);
    QVERIFY(blinkTimer(popup)->isActive());
    BlinkCounter counter(popup);
    QTRY_VERIFY_WITH_TIMEOUT(counter.changes >= 2, 10000);
}

void AlertPopupTest::centredOnScreenWhenActivated() {
    popups_.show("Warning", kFirst);
    AlertPopup *popup = openPopup();
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
    QPointer<AlertPopup> popup = openPopup();
    QVERIFY(QTest::qWaitForWindowActive(popup));
    QTimer *timer = blinkTimer(popup);
    QVERIFY(timer->isActive());
    QTest::mouseClick(okButton(popup), Qt::LeftButton);
    QVERIFY(!timer->isActive());
    QCOMPARE(timer->interval(), 0);
    QTRY_VERIFY(popup.isNull());
    QVERIFY(!openPopup());
}

void AlertPopupTest::returnAndEnterPressOk() {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        popups_.show("Critical", kFirst);
        QPointer<AlertPopup> popup = openPopup();
        QVERIFY(QTest::qWaitForWindowActive(popup));
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus && focus->window() == popup);
        QTest::keyClick(focus, key);
        QTRY_VERIFY(popup.isNull());
    }
}

void AlertPopupTest::nextAlertAfterOkCreatesFreshPopup() {
    popups_.show("Emergency", kFirst);
    QPointer<AlertPopup> old = openPopup();
    QVERIFY(QTest::qWaitForWindowActive(old));
    QTRY_VERIFY_WITH_TIMEOUT(levelLabel(old)->isHidden(), 10000);
    QTest::mouseClick(okButton(old), Qt::LeftButton);
    QTRY_VERIFY(old.isNull());

    popups_.show("Note", {"only a date"});
    AlertPopup *fresh = openPopup();
    QVERIFY(fresh);
    QVERIFY(!levelLabel(fresh)->isHidden());
    QCOMPARE(levelLabel(fresh)->text(), QString("Note"));
    QCOMPARE(shownFields(*fresh), QStringList({"only a date", "", "", "", ""}));
    QCOMPARE(openPopupCount(), 1);
}

void AlertPopupTest::htmlIsShownLiterally() {
    const QString level = "<b>Trap</b>";
    const QStringList fields = {"<i>d</i>", "<a href=\"x\">h</a>", "&amp;", "<br>",
                                "<img src=\"x.png\"><h1>big</h1>"};
    popups_.show(level, fields);
    AlertPopup *popup = openPopup();
    QCOMPARE(levelLabel(popup)->textFormat(), Qt::PlainText);
    QCOMPARE(levelLabel(popup)->text(), level);
    for (int i = 0; i < AlertPopup::kFieldCount; ++i)
        QCOMPARE(fieldLabel(popup, i)->textFormat(), Qt::PlainText);
    QCOMPARE(shownFields(*popup), fields);
}

void AlertPopupTest::bidiControlsShownByCode() {
    popups_.show("Alert", {"d", QString::fromUtf8("h\u2067x\u2069"), "a", "o",
                           QString::fromUtf8("\u202Edesrever")});
    const QStringList shown = shownFields(*openPopup());
    QCOMPARE(shown[1], QString("h[U+2067]x[U+2069]"));
    QCOMPARE(shown[4], QString("[U+202E]desrever"));
}

void AlertPopupTest::longTextsEndInEllipsisAndShowWholeInToolTip() {
    const QString host = QStringLiteral("very-long-host-name.").repeated(10) + QStringLiteral("end");
    QStringList words;
    for (int i = 0; i < 200; ++i)
        words << QStringLiteral("word%1").arg(i);
    const QString message = words.join(QLatin1Char(' '));
    popups_.show("Critical", {"d", host, "app", "obj", message});
    AlertPopup *popup = openPopup();

    QLabel *hostField = fieldLabel(popup, 1);
    QVERIFY2(hostField->text().endsWith(QChar(0x2026)), qPrintable(hostField->text()));
    QVERIFY(host.startsWith(hostField->text().chopped(1)));
    QVERIFY(hostField->fontMetrics().horizontalAdvance(hostField->text()) <=
            hostField->contentsRect().width());
    QCOMPARE(hostField->toolTip(), host);

    // Only whole lines: as many as the field is high, the last ending in "…".
    QLabel *messageField = fieldLabel(popup, 4);
    const QStringList lines = messageField->text().split(QLatin1Char('\n'));
    const QFontMetrics metrics = messageField->fontMetrics();
    QVERIFY(lines.size() >= 3);
    QVERIFY(lines.size() * metrics.lineSpacing() <= messageField->contentsRect().height());
    for (const QString &line : lines)
        QVERIFY2(metrics.horizontalAdvance(line) <= messageField->contentsRect().width(),
                 qPrintable(line));
    QVERIFY(lines.last().endsWith(QChar(0x2026)));
    QVERIFY(message.startsWith(lines.first()));
    QCOMPARE(messageField->toolTip(), message);

    // Short texts stay as they are, without a tool tip.
    popups_.show("Critical", kFirst);
    QCOMPARE(shownFields(*popup), kFirst);
    for (int i = 0; i < AlertPopup::kFieldCount; ++i)
        QVERIFY(fieldLabel(popup, i)->toolTip().isEmpty());
}

void AlertPopupTest::closeAllClosesIt() {
    popups_.show("Unknown", kFirst);
    QPointer<AlertPopup> popup = openPopup();
    popups_.closeAll();
    QVERIFY(!openPopup());
    QTRY_VERIFY(popup.isNull());
    popups_.closeAll();
}

QTEST_MAIN(AlertPopupTest)
#include "tst_alert_popup.moc"
