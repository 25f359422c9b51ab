// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "details/event_details.h"
#include "tables/event_row.h"

#include <QPointer>
#include <QThreadPool>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace quorvik {

// What the details window reads beside the row.
struct DetailsConfig {
    RowOrigin origin = RowOrigin::Live;
    const RawKeeper *raw = nullptr; // the received bytes the road keeps
    SnmpDetailer snmp;              // empty: SNMP messages show their bytes only
};

// "Details" (frmDetails): everything of one event, as eventDetails() puts
// it. There is at most one; it follows the row the operator chooses while
// it is open, and closing destroys it. The decoding runs on a thread of its
// own, so the window never waits for it; text() is what it shows once
// detailsShown() is emitted.
class DetailsWindow : public QWidget {
    Q_OBJECT

public:
    // Opens the window on `event` (or brings the open one forward, showing
    // `event`).
    static DetailsWindow *showFor(QPointer<DetailsWindow> &window, const EventRow &event,
                                  const DetailsConfig &config, QWidget *mainWindow);
    ~DetailsWindow() override;

    // Shows `event` from now on; a null row leaves the last one shown.
    void follow(const EventRow &event);
    QString text() const;

signals:
    // The details of the row followed last are shown.
    void detailsShown();

private:
    DetailsWindow(const DetailsConfig &config, QWidget *mainWindow);
    void showLines(quint64 generation, const QString &text);

    DetailsConfig m_config;
    EventRow m_event;
    quint64 m_generation = 0;
    QPlainTextEdit *m_text;
    QPushButton *m_copy;
    QPushButton *m_close;
    QThreadPool m_decoding; // one thread; waited for when the window goes
};

} // namespace quorvik
