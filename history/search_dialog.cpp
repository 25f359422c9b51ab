// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/search_dialog.h"

#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quorvik {

namespace {

const char *const kDateTip = " e.g. 12.5.2014 or 12.5.14 12:40 or 12.5.2014 12:40:25";

QString shown(DateTime value) {
    return QString::fromStdString(showDateTime(value));
}

} // namespace

SearchDialog::SearchDialog(HistoryFilterState &state, MessageBoxes &boxes, const LocalDateTime &now,
                           QWidget *parent)
    : QWidget(parent, Qt::Window), m_state(state), m_boxes(boxes) {
    setObjectName(QStringLiteral("frmSearch"));
    setWindowTitle(QStringLiteral("Select data logfile"));
    // The program ends with its main window, whatever this dialog does.
    setAttribute(Qt::WA_QuitOnClose, false);
    setAttribute(Qt::WA_DeleteOnClose);

    auto *grid = new QGridLayout(this);
    grid->addWidget(addLabel("Label1", QStringLiteral("Search item")), 0, 0);
    m_searchBox = addBox("searchString", QStringLiteral("searching in complete message"));
    grid->addWidget(m_searchBox, 0, 1, 1, 2);
    grid->addWidget(addLabel("DatumVon", QStringLiteral("Date from")), 1, 0);
    m_fromBox = addBox("DateOf", QString::fromLatin1(kDateTip));
    grid->addWidget(m_fromBox, 1, 1);
    grid->addWidget(addLabel("DatumBis", QStringLiteral("Date to")), 2, 0);
    m_toBox = addBox("DateTo", QString::fromLatin1(kDateTip));
    grid->addWidget(m_toBox, 2, 1);
    grid->addWidget(addLabel("Label2", QStringLiteral("Format: dd.mm.yy[yy] [hh:mm[:ss]]"),
                             QStringLiteral("Date from dd.mm.yy[yy] [hh:mm[:ss]] e.g. 12.5.14 "
                                            "12:40 or 12.5.2014 12:40:25")),
                    3, 1);
    m_allMessages = new QCheckBox(QStringLiteral("All"), this);
    m_allMessages->setObjectName(QStringLiteral("checkAll"));
    m_allMessages->setToolTip(QStringLiteral("Select all messages of file"));
    grid->addWidget(m_allMessages, 1, 2);
    grid->addWidget(addLabel("Label3", QStringLiteral("Current Date")), 4, 0);
    m_rangeLine = addLabel("InfDate", {});
    grid->addWidget(m_rangeLine, 4, 1, 1, 2);
    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("btnOK"));
    grid->addWidget(m_okButton, 5, 2);

    connect(m_allMessages, &QCheckBox::clicked, this, &SearchDialog::allMessagesClicked);
    connect(m_okButton, &QPushButton::clicked, this, &SearchDialog::okClicked);

    const DateRange range = yesterdayAndToday(now);
    m_state.historyFrom = range.from;
    m_state.historyTo = range.to;
    m_fromBox->setText(shown(range.from));
    m_toBox->setText(shown(range.to));
    setRangeText("   ");
}

QLabel *SearchDialog::addLabel(const char *name, const QString &caption, const QString &toolTip) {
    auto *label = new QLabel(caption, this);
    label->setObjectName(QString::fromLatin1(name));
    label->setToolTip(toolTip);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLineEdit *SearchDialog::addBox(const char *name, const QString &toolTip) {
    auto *box = new QLineEdit(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setToolTip(toolTip);
    box->installEventFilter(this);
    return box;
}

QString SearchDialog::rangeText() const {
    return m_rangeLine->text();
}

bool SearchDialog::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_fromBox || watched == m_toBox) {
        if (event->type() == QEvent::MouseButtonPress)
            m_allMessages->setChecked(false);
        // Leaving the box for another control; switching to another window
        // or opening a menu is no leaving.
        if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                watched == m_fromBox ? checkLowerBound() : checkUpperBound();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SearchDialog::report(const QString &text) {
    m_boxes.report(this, windowTitle(), text, QMessageBox::Warning);
}

void SearchDialog::setRangeText(const char *gap) {
    const QString g = QString::fromLatin1(gap);
    m_rangeLine->setText(QStringLiteral("from") + g + shown(m_state.historyFrom) + g +
                         QStringLiteral("to") + g + shown(m_state.historyTo));
}

bool SearchDialog::reportInvertedRange() {
    if (!(m_state.historyTo < m_state.historyFrom))
        return false;
    report(QStringLiteral("Date to (") + shown(m_state.historyTo) +
           QStringLiteral(") < Date from (") + shown(m_state.historyFrom) + QStringLiteral(")"));
    return true;
}

bool SearchDialog::checkLowerBound() {
    const QString text = m_fromBox->text();
    if (text.isEmpty()) {
        m_state.historyFrom = toDateTime(kNoLowerBound);
    } else {
        const auto value = readDateTime(text.toStdString());
        if (!value) {
            report(QStringLiteral("Illegal date from (") + text + QStringLiteral(")"));
            return false;
        }
        m_state.historyFrom = *value;
    }
    setRangeText("   ");
    reportInvertedRange();
    return true;
}

bool SearchDialog::checkUpperBound() {
    const QString text = m_toBox->text();
    if (text.isEmpty()) {
        m_state.historyTo = toDateTime(kNoUpperBound);
    } else {
        const auto value = readDateTime(text.toStdString());
        if (!value) {
            report(QStringLiteral("Illegal date to (") + text + QStringLiteral(")"));
            return false;
        }
        m_state.historyTo = completeUpperBound(*value);
    }
    setRangeText("   ");
    reportInvertedRange();
    return true;
}

void SearchDialog::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        // The date box being typed in is not left: its date counts first.
        const QWidget *focus = focusWidget();
        const bool legal = focus == m_fromBox   ? checkLowerBound()
                           : focus == m_toBox ? checkUpperBound()
                                              : true;
        if (legal)
            m_okButton->click();
        break;
    }
    case Qt::Key_Escape:
        close();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void SearchDialog::allMessagesClicked(bool checked) {
    if (!checked)
        return;
    m_fromBox->clear();
    m_toBox->clear();
    m_state.historyFrom = toDateTime(kNoLowerBound);
    m_state.historyTo = toDateTime(kNoUpperBound);
    m_rangeLine->setText(QStringLiteral("all messages"));
}

void SearchDialog::okClicked() {
    m_state.historySearch = m_searchBox->text();
    if (reportInvertedRange())
        return;
    setRangeText("  ");
    emit reloadRequested();
}

} // namespace quorvik
