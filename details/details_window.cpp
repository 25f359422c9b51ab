// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "details/details_window.h"

#include "ui/once_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvik {

DetailsWindow::DetailsWindow(const DetailsConfig &config, QWidget *mainWindow)
    : QWidget(mainWindow, Qt::Window), m_config(config), m_text(new QPlainTextEdit(this)),
      m_copy(new QPushButton(QStringLiteral("Copy"), this)),
      m_close(new QPushButton(QStringLiteral("Close"), this)) {
    setObjectName(QStringLiteral("frmDetails"));
    setWindowTitle(QStringLiteral("Details"));
    m_text->setObjectName(QStringLiteral("txtDetails"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_copy->setObjectName(QStringLiteral("cmdCopy"));
    m_copy->setToolTip(QStringLiteral("Copy the details shown"));
    m_close->setObjectName(QStringLiteral("cmdClose"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_copy);
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    resize(760, 560);
    m_decoding.setMaxThreadCount(1);
    connect(m_copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(text()); });
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
}

DetailsWindow::~DetailsWindow() {
    m_decoding.clear();
    m_decoding.waitForDone();
}

DetailsWindow *DetailsWindow::showFor(QPointer<DetailsWindow> &window, const EventRow &event,
                                      const DetailsConfig &config, QWidget *mainWindow) {
    DetailsWindow *shown =
        showOnce(window, [&config, mainWindow] { return new DetailsWindow(config, mainWindow); });
    shown->follow(event);
    return shown;
}

void DetailsWindow::follow(const EventRow &event) {
    if (event.isNull() || event.sameAs(m_event))
        return;
    m_event = event;
    const quint64 generation = ++m_generation;
    std::optional<RawKeeper::Kept> kept;
    if (m_config.raw && event.rawId() != 0)
        kept = m_config.raw->find(event.rawId());
    // Only the newest request counts: one still waiting is dropped.
    m_decoding.clear();
    m_decoding.start([this, generation, record = event.event(), origin = m_config.origin,
                      kept = std::move(kept), snmp = m_config.snmp] {
        const QString shown = detailsText(eventDetails(record, origin, kept, snmp));
        QMetaObject::invokeMethod(
            this, [this, generation, shown] { showLines(generation, shown); },
            Qt::QueuedConnection);
    });
}

void DetailsWindow::showLines(quint64 generation, const QString &text) {
    if (generation != m_generation)
        return;
    m_text->setPlainText(text);
    emit detailsShown();
}

QString DetailsWindow::text() const {
    return m_text->toPlainText();
}

} // namespace quorvik
