// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "main_window/filter_bar.h"

#include "core/text_rules.h"
#include "tables/event_row.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace quorvik {

namespace {

QString levelName(int index) {
    const std::string_view name = levelByIndex(index).name;
    return QString::fromLatin1(name.data(), qsizetype(name.size()));
}

} // namespace

FilterBar::FilterBar(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("filterBar"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 1, 0, 1);
    row->setSpacing(4);

    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("filterText"));
    m_text->setPlaceholderText(
        QStringLiteral("Filter: words in any column; host: app: obj: msg: level: source: "
                       "/regex/ -word"));
    m_text->setAccessibleName(QStringLiteral("Filter"));
    m_text->setToolTip(QStringLiteral(
        "Shows the rows that contain every word (letter case ignored). host:, app:, obj:, msg: "
        "and level: look in one column only; source:trap, syslog, text or quorvik keeps the "
        "events made so; /link (up|down)/ is a regular expression; -word hides the rows that "
        "contain it; \"two words\" go together. Escape clears the filter."));
    m_text->setClearButtonEnabled(true);
    connect(m_text, &QLineEdit::textChanged, this, &FilterBar::changed);
    row->addWidget(m_text, 1);

    for (int i = 0; i < kLevelCount; ++i) {
        auto *toggle = new QToolButton(this);
        toggle->setObjectName(QStringLiteral("filterLevel%1").arg(i));
        toggle->setText(levelName(i).left(1));
        toggle->setCheckable(true);
        toggle->setChecked(true);
        toggle->setAutoRaise(true);
        toggle->setFocusPolicy(Qt::StrongFocus);
        toggle->setAccessibleName(QStringLiteral("Show %1").arg(levelName(i)));
        toggle->setToolTip(QStringLiteral("Show or hide the %1 events").arg(levelName(i)));
        connect(toggle, &QToolButton::toggled, this, &FilterBar::changed);
        m_levels[std::size_t(i)] = toggle;
        row->addWidget(toggle);
    }

    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("filterCount"));
    m_count->setAccessibleName(QStringLiteral("Events shown"));
    // Room for the widest count a table can have, so that the line edit gives
    // way and the count is never cut, whatever it grows to while shown.
    m_count->setMinimumWidth(
        m_count->fontMetrics().horizontalAdvance(QStringLiteral("100,000 of 100,000 shown")));
    row->addWidget(m_count);
    setFocusProxy(m_text);
}

EventFilter FilterBar::filter(bool fullList) const {
    EventFilter filter(m_text->text().toLocal8Bit().toStdString(), shownTextContains);
    if (fullList)
        for (int i = 0; i < kLevelCount; ++i)
            filter.setLevelShown(i, m_levels[std::size_t(i)]->isChecked());
    return filter;
}

void FilterBar::showLevelToggles(bool shown) {
    for (QToolButton *toggle : m_levels)
        toggle->setVisible(shown);
}

void FilterBar::showCount(int shown, int total) {
    const QString text = QStringLiteral("%1 of %2 shown")
                             .arg(QString::fromStdString(withThousands(std::uint64_t(shown))),
                                  QString::fromStdString(withThousands(std::uint64_t(total))));
    if (m_count->text() != text)
        m_count->setText(text);
}

void FilterBar::setQuery(const QString &query) {
    m_text->setText(query);
    focusQuery();
}

void FilterBar::clear() {
    {
        const QSignalBlocker blocker(this); // one change, not one per control
        m_text->clear();
        for (QToolButton *toggle : m_levels)
            toggle->setChecked(true);
    }
    emit changed();
}

void FilterBar::focusQuery() {
    m_text->setFocus(Qt::ShortcutFocusReason);
    m_text->selectAll();
}

} // namespace quorvik
