// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "options/snmp_users_page.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvik {

namespace {

const QStringList kAuths = {"none", "MD5", "SHA", "SHA-224", "SHA-256", "SHA-384", "SHA-512"};
const QStringList kPrivs = {"none", "DES", "AES", "AES-192", "AES-256"};

QString fromUtf8(const std::string &text) {
    return QString::fromUtf8(text.c_str());
}

std::string toUtf8(const QString &text) {
    return text.toUtf8().toStdString();
}

template <typename W> W *named(W *widget, const char *name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QComboBox *protocolBox(const QStringList &names, const char *objectName) {
    auto *box = named(new QComboBox, objectName);
    box->addItems(names);
    box->setEditable(false);
    return box;
}

// A stored protocol as the box lists it (any letter case); an unknown one
// is added, so that it shows and validation names it.
void showProtocol(QComboBox *box, const std::string &text) {
    const QString value = text.empty() ? QStringLiteral("none") : fromUtf8(text);
    int index = box->findText(value, Qt::MatchFixedString);
    if (index < 0) {
        box->addItem(value);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

QLineEdit *passwordEdit(const char *name) {
    auto *edit = named(new QLineEdit, name);
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

} // namespace

SnmpUsersPage::SnmpUsersPage(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SnmpV3Page"));
    m_list = named(new QListWidget, "lstUsers");
    m_add = named(new QPushButton(QStringLiteral("Add")), "cmdAddUser");
    m_edit = named(new QPushButton(QStringLiteral("Edit")), "cmdEditUser");
    m_remove = named(new QPushButton(QStringLiteral("Remove")), "cmdRemoveUser");
    for (QPushButton *b : {m_add, m_edit, m_remove})
        b->setAutoDefault(false);

    m_name = named(new QLineEdit, "txtUser");
    m_auth = protocolBox(kAuths, "cboAuth");
    m_authPassword = passwordEdit("txtAuthPass");
    m_priv = protocolBox(kPrivs, "cboPriv");
    m_privPassword = passwordEdit("txtPrivPass");
    m_engine = named(new QLineEdit, "txtEngine");
    m_engine->setPlaceholderText(QStringLiteral("any engine"));

    // The list with its buttons beside it on top, the form under them over
    // the page's whole width, so that an engine ID (up to 64 hex digits) and
    // the names read whole also at twice the scale.
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_edit);
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    auto *top = new QHBoxLayout;
    top->addWidget(m_list, 1);
    top->addLayout(buttons);
    auto *form = new QFormLayout;
    form->setVerticalSpacing(2);
    form->addRow(QStringLiteral("User"), m_name);
    form->addRow(QStringLiteral("Auth"), m_auth);
    form->addRow(QStringLiteral("Auth password"), m_authPassword);
    form->addRow(QStringLiteral("Priv"), m_priv);
    form->addRow(QStringLiteral("Priv password"), m_privPassword);
    form->addRow(QStringLiteral("Engine ID"), m_engine);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(form);

    connect(m_list, &QListWidget::currentRowChanged, this, &SnmpUsersPage::select);
    connect(m_add, &QPushButton::clicked, this, &SnmpUsersPage::add);
    connect(m_edit, &QPushButton::clicked, this, [this] {
        if (m_selected >= 0)
            m_name->setFocus();
    });
    connect(m_remove, &QPushButton::clicked, this, &SnmpUsersPage::remove);
    for (QLineEdit *edit : {m_name, m_authPassword, m_privPassword, m_engine})
        connect(edit, &QLineEdit::textEdited, this, &SnmpUsersPage::takeForm);
    for (QComboBox *box : {m_auth, m_priv})
        connect(box, &QComboBox::activated, this, &SnmpUsersPage::takeForm);
    select(-1);
}

void SnmpUsersPage::fill(std::vector<SnmpUserFields> users) {
    m_filling = true;
    m_users = std::move(users);
    m_list->clear();
    for (const SnmpUserFields &user : m_users)
        m_list->addItem(fromUtf8(user.name));
    m_filling = false;
    m_list->setCurrentRow(m_users.empty() ? -1 : 0);
    select(m_list->currentRow());
    m_changed = false;
}

std::vector<SnmpUserFields> SnmpUsersPage::users() const {
    std::vector<SnmpUserFields> numbered = m_users;
    for (std::size_t i = 0; i < numbered.size(); ++i)
        numbered[i].number = int(i + 1);
    return numbered;
}

QStringList SnmpUsersPage::problems() const {
    QStringList found;
    const std::vector<SnmpUserFields> entries = users();
    const std::vector<SnmpUserCheck> checks = checkSnmpUsers(entries);
    // The operator knows the users by their names; the number goes with the
    // keys the reason names.
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (checks[i].user)
            continue;
        const QString name = QString::fromUtf8(entries[i].name.c_str());
        const QString who =
            name.isEmpty()
                ? QStringLiteral("SNMPv3 user %1").arg(entries[i].number)
                : QStringLiteral("SNMPv3 user \"%1\" (entry %2)").arg(name).arg(entries[i].number);
        found << who + QStringLiteral(": ") + QString::fromStdString(checks[i].problem);
    }
    return found;
}

// The form shows the selected entry; without one it is disabled.
void SnmpUsersPage::select(int row) {
    if (m_filling)
        return;
    m_selected = row >= 0 && row < int(m_users.size()) ? row : -1;
    const bool some = m_selected >= 0;
    for (QWidget *w : std::initializer_list<QWidget *>{m_name, m_auth, m_authPassword, m_priv,
                                                       m_privPassword, m_engine, m_edit, m_remove})
        w->setEnabled(some);
    showForm(some ? m_users[std::size_t(m_selected)] : SnmpUserFields{});
}

void SnmpUsersPage::showForm(const SnmpUserFields &user) {
    m_name->setText(fromUtf8(user.name));
    showProtocol(m_auth, user.auth);
    m_authPassword->setText(fromUtf8(user.authPassword));
    showProtocol(m_priv, user.priv);
    m_privPassword->setText(fromUtf8(user.privPassword));
    m_engine->setText(fromUtf8(user.engine));
}

void SnmpUsersPage::takeForm() {
    if (m_selected < 0)
        return;
    SnmpUserFields &user = m_users[std::size_t(m_selected)];
    user.name = toUtf8(m_name->text());
    user.auth = toUtf8(m_auth->currentText());
    user.authPassword = toUtf8(m_authPassword->text());
    user.priv = toUtf8(m_priv->currentText());
    user.privPassword = toUtf8(m_privPassword->text());
    user.engine = toUtf8(m_engine->text().trimmed());
    m_list->item(m_selected)->setText(m_name->text());
    m_changed = true;
}

void SnmpUsersPage::add() {
    SnmpUserFields user;
    user.auth = "SHA-256";
    user.priv = "AES";
    m_users.push_back(user);
    m_list->addItem(QString());
    m_list->setCurrentRow(int(m_users.size()) - 1);
    m_changed = true;
    m_name->setFocus();
}

void SnmpUsersPage::remove() {
    if (m_selected < 0)
        return;
    const int row = m_selected;
    m_users.erase(m_users.begin() + row);
    m_filling = true;
    delete m_list->takeItem(row);
    m_filling = false;
    m_list->setCurrentRow(std::min(row, int(m_users.size()) - 1));
    select(m_list->currentRow());
    m_changed = true;
}

} // namespace quorvik
