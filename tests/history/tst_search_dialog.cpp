// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The search dialog as the operator uses it: clicks, typing, leaving a box
// with Tab, OK.
#include "../main_window/form_fixture.h"
#include "history/search_dialog.h"
#include "tests/control.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace quorvik;
using namespace quorvik::testing;

class TestSearchDialog : public QObject {
    Q_OBJECT

    HistoryFilterState m_state;
    ScriptedBoxes m_boxes;
    std::unique_ptr<SearchDialog> m_dialog;

    template <class T> T *child(const char *name) {
        return testing::control<T>(m_dialog.get(), QString::fromLatin1(name));
    }
    QString shown(DateTime value) { return QString::fromStdString(showDateTime(value)); }
    QString range() { return shown(m_state.historyFrom) + " .. " + shown(m_state.historyTo); }
    QStringList reports() {
        QStringList texts;
        for (const BoxCall &call : std::exchange(m_boxes.reports, {}))
            texts << call.text;
        return texts;
    }
    // Clicks into the box, replaces its text by typing, and leaves it with Tab.
    void type(const char *box, const QString &text) {
        QLineEdit *edit = child<QLineEdit>(box);
        QTest::mouseClick(edit, Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), edit);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != edit);
    }

private slots:
    void init() {
        m_state = {};
        m_boxes.reports.clear();
        m_dialog =
            std::make_unique<SearchDialog>(m_state, m_boxes, LocalDateTime{2026, 12, 7, 20, 41, 5});
        m_dialog->show();
        m_dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
    }
    void cleanup() { m_dialog.reset(); }

    void createdWithYesterdayAndToday() {
        QCOMPARE(m_dialog->objectName(), QString("frmSearch"));
        QCOMPARE(m_dialog->windowTitle(), QString("Select data logfile"));
        QCOMPARE(range(), QString("06.12.2026 .. 07.12.2026 23:59:59"));
        QCOMPARE(child<QLineEdit>("DateOf")->text(), QString("06.12.2026"));
        QCOMPARE(child<QLineEdit>("DateTo")->text(), QString("07.12.2026 23:59:59"));
        QCOMPARE(m_dialog->rangeText(), QString("from   06.12.2026   to   07.12.2026 23:59:59"));
        QCOMPARE(child<QLineEdit>("DateOf")->toolTip(),
                 QString(" e.g. 12.5.2014 or 12.5.14 12:40 or 12.5.2014 12:40:25"));
        QCOMPARE(child<QLabel>("Label2")->text(), QString("Format: dd.mm.yy[yy] [hh:mm[:ss]]"));
        QCOMPARE(child<QCheckBox>("checkAll")->toolTip(), QString("Select all messages of file"));
        QVERIFY(!child<QCheckBox>("checkAll")->isChecked());
    }

    void checkAllAndClickingIntoABox() {
        clickBox(child<QCheckBox>("checkAll"));
        QCOMPARE(m_dialog->rangeText(), QString("all messages"));
        QCOMPARE(range(), QString("01.02.1900 .. 31.12.2100 23:59:59"));
        QVERIFY(child<QLineEdit>("DateOf")->text().isEmpty());
        QVERIFY(child<QLineEdit>("DateTo")->text().isEmpty());
        QTest::mouseClick(child<QLineEdit>("DateTo"), Qt::LeftButton);
        QVERIFY(!child<QCheckBox>("checkAll")->isChecked());
        // Unticking does nothing further.
        clickBox(child<QCheckBox>("checkAll"));
        clickBox(child<QCheckBox>("checkAll"));
        QCOMPARE(range(), QString("01.02.1900 .. 31.12.2100 23:59:59"));
        QCOMPARE(reports(), QStringList());
    }

    void leavingTheBoxes() {
        type("DateOf", "31.11.2026");
        QCOMPARE(reports(), QStringList({"Illegal date from (31.11.2026)"}));
        QCOMPARE(range(), QString("06.12.2026 .. 07.12.2026 23:59:59"));
        type("DateTo", "7.12.26 25:00");
        QCOMPARE(reports(), QStringList({"Illegal date to (7.12.26 25:00)"}));
        type("DateTo", "12.5.14 00:30");
        QCOMPARE(range(), QString("06.12.2026 .. 12.05.2014 23:30:59"));
        QCOMPARE(reports(),
                 QStringList({"Date to (12.05.2014 23:30:59) < Date from (06.12.2026)"}));
        QCOMPARE(child<QLineEdit>("DateTo")->text(), QString("12.5.14 00:30"));
        type("DateOf", "");
        type("DateTo", "");
        QCOMPARE(range(), QString("01.02.1900 .. 31.12.2100 23:59:59"));
        QCOMPARE(m_dialog->rangeText(), QString("from   01.02.1900   to   31.12.2100 23:59:59"));
        type("DateOf", "00:00:00");
        QVERIFY(m_state.historyFrom.isZero());
        QCOMPARE(reports(), QStringList());
    }

    void okWithAnInvertedRangeKeepsTheSearchOnly() {
        QSignalSpy reload(m_dialog.get(), &SearchDialog::reloadRequested);
        type("DateTo", "1.12.2026");
        reports();
        QTest::mouseClick(child<QLineEdit>("searchString"), Qt::LeftButton);
        QTest::keyClicks(child<QLineEdit>("searchString"), "Disk Full");
        QTest::mouseClick(child<QPushButton>("btnOK"), Qt::LeftButton);
        QCOMPARE(m_state.historySearch, QString("Disk Full"));
        QCOMPARE(reports(),
                 QStringList({"Date to (01.12.2026 23:59:59) < Date from (06.12.2026)"}));
        QCOMPARE(reload.count(), 0);

        type("DateTo", "7.12.2026 08:00");
        QTest::mouseClick(child<QPushButton>("btnOK"), Qt::LeftButton);
        QCOMPARE(reload.count(), 1);
        QCOMPARE(m_dialog->rangeText(), QString("from  06.12.2026  to  07.12.2026 08:59:59"));
        QVERIFY(m_dialog->isVisible()); // stays open with its entries
        QCOMPARE(reports(), QStringList());
    }

    // Return is OK in every box and on the button; a date being typed counts.
    void returnIsOk() {
        QSignalSpy reload(m_dialog.get(), &SearchDialog::reloadRequested);
        QLineEdit *search = child<QLineEdit>("searchString");
        QTest::mouseClick(search, Qt::LeftButton);
        QTest::keyClicks(QApplication::focusWidget(), "Disk Full");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(reload.count(), 1);
        QCOMPARE(m_state.historySearch, QString("Disk Full"));

        QLineEdit *from = child<QLineEdit>("DateOf");
        QTest::mouseClick(from, Qt::LeftButton);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), "1.12.2026");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(reload.count(), 2);
        QCOMPARE(range(), QString("01.12.2026 .. 07.12.2026 23:59:59"));

        // An illegal date is reported and loads nothing.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), "31.4.2026");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(reload.count(), 2);
        QCOMPARE(reports(), QStringList({"Illegal date from (31.4.2026)"}));

        child<QPushButton>("btnOK")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(reload.count(), 3);
    }

    // Escape closes the dialog without loading, as its close box does.
    void escapeIsCancel() {
        QSignalSpy reload(m_dialog.get(), &SearchDialog::reloadRequested);
        QPointer<SearchDialog> dialog = m_dialog.release(); // deleted when closed
        QTest::mouseClick(dialog->findChild<QLineEdit *>("searchString"), Qt::LeftButton);
        QTest::keyClicks(QApplication::focusWidget(), "Disk Full");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!dialog || !dialog->isVisible());
        QCOMPARE(reload.count(), 0);
        QVERIFY(m_state.historySearch.isEmpty());
        QTRY_VERIFY(dialog.isNull());
    }
};

QTEST_MAIN(TestSearchDialog)
#include "tst_search_dialog.moc"
