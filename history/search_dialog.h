// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/date_time.h"
#include "ui/seams.h"

#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvik {

// The history filter shared by the history window and its search dialog:
// the inclusive date range and the search text.
struct HistoryFilterState {
    DateTime historyFrom;
    DateTime historyTo;
    QString historySearch;
};

// The search dialog `frmSearch`: edits the date range at once when a date
// box is left, and the search text on OK, which also asks for a reload.
class SearchDialog : public QWidget {
    Q_OBJECT

public:
    // Creation sets the range to yesterday 00:00:00 to today 23:59:59.
    SearchDialog(HistoryFilterState &state, MessageBoxes &boxes, const LocalDateTime &now,
                 QWidget *parent = nullptr);

    QString rangeText() const;
    QCheckBox *allMessagesBox() const { return m_allMessages; }

signals:
    // OK with a valid range: the history window empties its tables and loads.
    void reloadRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Return and Enter are OK, wherever the focus is; Escape closes the
    // dialog as its close box does.
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLabel *addLabel(const char *name, const QString &caption, const QString &toolTip = {});
    QLineEdit *addBox(const char *name, const QString &toolTip);
    // Each takes its box's date into the range; false when it is illegal.
    bool checkLowerBound();
    bool checkUpperBound();
    void allMessagesClicked(bool checked);
    void okClicked();
    void setRangeText(const char *gap);
    bool reportInvertedRange();
    void report(const QString &text);

    HistoryFilterState &m_state;
    MessageBoxes &m_boxes;
    QLineEdit *m_searchBox = nullptr, *m_fromBox = nullptr, *m_toBox = nullptr;
    QCheckBox *m_allMessages = nullptr;
    QLabel *m_rangeLine = nullptr;
    QPushButton *m_okButton = nullptr;
};

} // namespace quorvik
