// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "options/forward_tab.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvik {

namespace {

QString fromUtf8(const std::string &text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString levelCaption(int level) {
    if (level == 0)
        return QStringLiteral("every event");
    const std::string_view name = levelByIndex(level - 1).name;
    return QString::fromLatin1(name.data(), qsizetype(name.size())) +
           (level == 1 ? QString() : QStringLiteral(" and above"));
}

QString describe(const ForwardEntry &entry) {
    if (!entry.target)
        return QStringLiteral("not readable: ") + fromUtf8(entry.problem);
    const ForwardTarget &target = *entry.target;
    return fromUtf8(target.url()) + QStringLiteral("  (") + levelCaption(target.level) +
           QStringLiteral(", ") + fromUtf8(facilityName(target.facility)) + QLatin1Char(')');
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption) {
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QLineEdit *lineEdit(QWidget *parent, const char *name) {
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

} // namespace

ForwardTargetDialog::ForwardTargetDialog(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmForwardTarget"));
    setWindowTitle(QStringLiteral("Forward target"));
    auto *form = new QFormLayout;
    m_address = lineEdit(this, "txtTarget");
    m_address->setPlaceholderText(QStringLiteral("tcp://logs.example.org:514"));
    m_address->setToolTip(QStringLiteral("udp://host:port, tcp://host:port or tls://host:port"));
    form->addRow(QStringLiteral("Target"), m_address);
    m_level = new QComboBox(this);
    m_level->setObjectName(QStringLiteral("cboLevel"));
    for (int level = 0; level <= kLevelCount; ++level)
        m_level->addItem(levelCaption(level));
    form->addRow(QStringLiteral("Forward"), m_level);
    m_facility = new QComboBox(this);
    m_facility->setObjectName(QStringLiteral("cboFacility"));
    for (int facility = 0; facility < 24; ++facility)
        m_facility->addItem(fromUtf8(facilityName(facility)));
    form->addRow(QStringLiteral("Facility"), m_facility);
    m_ca = lineEdit(this, "txtCA");
    m_ca->setPlaceholderText(QStringLiteral("the system's certificates"));
    form->addRow(QStringLiteral("TLS: CA file"), m_ca);
    m_cert = lineEdit(this, "txtCert");
    form->addRow(QStringLiteral("TLS: certificate"), m_cert);
    m_key = lineEdit(this, "txtKey");
    form->addRow(QStringLiteral("TLS: key"), m_key);
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("lblError"));
    m_error->setStyleSheet(QStringLiteral("color: red"));

    auto *buttons = new QHBoxLayout;
    QPushButton *ok = button(this, "cmdOK", QStringLiteral("OK"));
    QPushButton *cancel = button(this, "cmdCancel", QStringLiteral("Cancel"));
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_error);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (edited())
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ForwardTargetDialog::openFor(const ForwardTarget &target, const QString &address) {
    m_address->setText(address);
    m_level->setCurrentIndex(target.level);
    m_facility->setCurrentIndex(target.facility);
    m_ca->setText(fromUtf8(target.caFile));
    m_cert->setText(fromUtf8(target.certFile));
    m_key->setText(fromUtf8(target.keyFile));
    m_error->clear();
    open(); // window-modal, without a loop of its own
}

std::optional<ForwardTarget> ForwardTargetDialog::edited() {
    std::optional<ForwardTarget> target = parseTargetUrl(m_address->text().toStdString());
    if (!target) {
        m_error->setText(QStringLiteral("Not a target: write udp://, tcp:// or tls:// "
                                        "followed by host:port"));
        return std::nullopt;
    }
    target->level = m_level->currentIndex();
    target->facility = m_facility->currentIndex();
    if (target->transport == ForwardTarget::Transport::Tls) {
        target->caFile = m_ca->text().trimmed().toStdString();
        target->certFile = m_cert->text().trimmed().toStdString();
        target->keyFile = m_key->text().trimmed().toStdString();
    }
    return target;
}

ForwardTab::ForwardTab(ForwardTester tester, QWidget *parent)
    : QWidget(parent), m_tester(std::move(tester)) {
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstTargets"));
    QPushButton *add = button(this, "cmdAddTarget", QStringLiteral("Add ..."));
    m_editButton = button(this, "cmdEditTarget", QStringLiteral("Edit ..."));
    m_removeButton = button(this, "cmdRemoveTarget", QStringLiteral("Remove"));
    m_testButton = button(this, "cmdTestTarget", QStringLiteral("Test"));
    m_testButton->setToolTip(QStringLiteral("send one Information event to the chosen target"));
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("lblTestResult"));
    m_result->setWordWrap(true);
    m_result->setTextFormat(Qt::PlainText);

    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {add, m_editButton, m_removeButton, m_testButton})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *row = new QHBoxLayout;
    row->addWidget(m_list, 1);
    row->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Forward every logged event to these syslog "
                                                "collectors:"),
                                 this));
    layout->addLayout(row, 1);
    layout->addWidget(m_result);

    m_editor = new ForwardTargetDialog(this);
    connect(m_editor, &QDialog::accepted, this, &ForwardTab::takeEdited);
    connect(add, &QPushButton::clicked, this, [this] { edit(-1); });
    connect(m_editButton, &QPushButton::clicked, this, [this] { edit(m_list->currentRow()); });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { edit(m_list->currentRow()); });
    connect(m_removeButton, &QPushButton::clicked, this, &ForwardTab::remove);
    connect(m_testButton, &QPushButton::clicked, this, &ForwardTab::test);
    connect(m_list, &QListWidget::currentRowChanged, this, &ForwardTab::enableButtons);
    showList();
}

void ForwardTab::setEntries(const std::vector<ForwardEntry> &entries) {
    m_entries = entries;
    m_changed = false;
    m_result->clear();
    showList();
}

std::vector<ForwardTarget> ForwardTab::targets() const {
    std::vector<ForwardTarget> targets;
    for (const ForwardEntry &entry : m_entries)
        if (entry.target)
            targets.push_back(*entry.target);
    return targets;
}

void ForwardTab::showList() {
    const int current = m_list->currentRow();
    m_list->clear();
    for (const ForwardEntry &entry : m_entries)
        m_list->addItem(describe(entry));
    m_list->setCurrentRow(std::min(current, int(m_entries.size()) - 1));
    enableButtons();
}

// Test needs a target that can be read.
void ForwardTab::enableButtons() {
    const int row = m_list->currentRow();
    m_editButton->setEnabled(row >= 0);
    m_removeButton->setEnabled(row >= 0);
    m_testButton->setEnabled(row >= 0 && row < int(m_entries.size()) &&
                             m_entries[std::size_t(row)].target);
}

// An entry that can't be read opens with its address as written.
void ForwardTab::edit(int row) {
    if (row >= int(m_entries.size()))
        return;
    m_editedRow = row;
    if (row < 0) {
        m_editor->openFor(ForwardTarget{}, QString());
        return;
    }
    const ForwardEntry &entry = m_entries[std::size_t(row)];
    m_editor->openFor(entry.target.value_or(ForwardTarget{}),
                      fromUtf8(entry.target ? entry.target->url() : entry.text));
}

void ForwardTab::takeEdited() {
    const std::optional<ForwardTarget> target = m_editor->edited();
    if (!target)
        return;
    if (m_editedRow < 0) {
        m_entries.push_back({0, *target, {}, target->url()});
        m_editedRow = int(m_entries.size()) - 1;
    } else {
        ForwardEntry &entry = m_entries[std::size_t(m_editedRow)];
        entry.target = *target;
        entry.problem.clear();
        entry.text = target->url();
    }
    m_changed = true;
    showList();
    m_list->setCurrentRow(m_editedRow);
}

void ForwardTab::remove() {
    const int row = m_list->currentRow();
    if (row < 0 || row >= int(m_entries.size()))
        return;
    m_entries.erase(m_entries.begin() + row);
    m_changed = true;
    showList();
}

void ForwardTab::test() {
    const int row = m_list->currentRow();
    if (row < 0 || row >= int(m_entries.size()) || !m_entries[std::size_t(row)].target || !m_tester)
        return;
    const ForwardTarget &target = *m_entries[std::size_t(row)].target;
    m_result->setText(QStringLiteral("Sending to %1 ...").arg(fromUtf8(target.url())));
    QPointer<QLabel> result(m_result);
    m_tester(target, [result](const QString &outcome) {
        if (result)
            result->setText(outcome);
    });
}

} // namespace quorvik
