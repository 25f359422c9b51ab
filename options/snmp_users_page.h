// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/snmp_users.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quorvik {

// The options dialog's "SNMPv3" tab: the users of [SNMPv3] in a list with
// Add, Edit and Remove, and a small form for the selected one (passwords
// masked). Nothing is written here: the dialog's Apply checks the entries
// and writes them.
class SnmpUsersPage : public QWidget {
    Q_OBJECT

public:
    explicit SnmpUsersPage(QWidget *parent = nullptr);

    // Shows the entries of the configuration; no change is marked.
    void fill(std::vector<SnmpUserFields> users);
    bool changed() const { return m_changed; }
    void clearMark() { m_changed = false; }

    // The entries as shown, numbered from 1 in list order.
    std::vector<SnmpUserFields> users() const;
    // Why entries can't be used, one text each; empty when all can.
    QStringList problems() const;

private:
    void select(int row);
    void add();
    void remove();
    void takeForm();
    void showForm(const SnmpUserFields &user);

    std::vector<SnmpUserFields> m_users;
    int m_selected = -1;
    bool m_changed = false;
    bool m_filling = false;

    QListWidget *m_list = nullptr;
    QPushButton *m_add = nullptr, *m_edit = nullptr, *m_remove = nullptr;
    QLineEdit *m_name = nullptr, *m_authPassword = nullptr, *m_privPassword = nullptr,
              *m_engine = nullptr;
    QComboBox *m_auth = nullptr, *m_priv = nullptr;
};

} // namespace quorvik
