// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event_filter.h"

#include <QWidget>

#include <array>

class QLabel;
class QLineEdit;
class QToolButton;

namespace quorvik {

// The one-line bar that filters the table on screen ("filterBar"): the
// query ("filterText"), in the full list the level toggles ("filterLevel0"
// to "filterLevel6"), and how many events are shown ("filterCount").
class FilterBar : public QWidget {
    Q_OBJECT

public:
    explicit FilterBar(QWidget *parent = nullptr);

    // The filter the bar stands for; the level toggles count only for the
    // full list.
    EventFilter filter(bool fullList) const;
    // The level toggles are shown only beside the full list.
    void showLevelToggles(bool shown);
    // "12 of 1,000 shown".
    void showCount(int shown, int total);
    // Replaces the query and focuses it.
    void setQuery(const QString &query);
    // Empties the query and shows every level.
    void clear();
    void focusQuery();

signals:
    // The query or a level toggle changed.
    void changed();

private:
    QLineEdit *m_text;
    std::array<QToolButton *, kLevelCount> m_levels{};
    QLabel *m_count;
};

} // namespace quorvik
