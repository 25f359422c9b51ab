// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/forward_target.h"

#include <QDialog>
#include <QWidget>

#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quorvik {

// Sends one Information event to a target and hands back what happened.
using ForwardTester =
    std::function<void(const ForwardTarget &, std::function<void(const QString &)> done)>;

// frmForwardTarget: one target's address, level, facility and TLS files.
class ForwardTargetDialog : public QDialog {
    Q_OBJECT

public:
    explicit ForwardTargetDialog(QWidget *parent);
    // Shows `target` with `address` as its address.
    void openFor(const ForwardTarget &target, const QString &address);
    // The target as edited; nullopt (and the reason shown) while the
    // address can't be read.
    std::optional<ForwardTarget> edited();

private:
    QLineEdit *m_address = nullptr;
    QComboBox *m_level = nullptr;
    QComboBox *m_facility = nullptr;
    QLineEdit *m_ca = nullptr, *m_cert = nullptr, *m_key = nullptr;
    QLabel *m_error = nullptr;
};

// The Forward tab of the options: the targets in a list with Add, Edit,
// Remove and Test. The editor opens without blocking; its OK changes the
// list, Apply or OK of the options put the list in force. A target of the
// file that can't be read is listed as "not readable: ..." and kept as it
// is, unless it is edited into a readable one or removed.
class ForwardTab : public QWidget {
    Q_OBJECT

public:
    explicit ForwardTab(ForwardTester tester, QWidget *parent = nullptr);

    void setEntries(const std::vector<ForwardEntry> &entries);
    const std::vector<ForwardEntry> &entries() const { return m_entries; }
    // The readable ones.
    std::vector<ForwardTarget> targets() const;
    bool changed() const { return m_changed; }
    void clearMark() { m_changed = false; }

private:
    void edit(int row); // -1: a new target
    void takeEdited();
    void remove();
    void test();
    void showList();
    void enableButtons();

    ForwardTester m_tester;
    std::vector<ForwardEntry> m_entries;
    bool m_changed = false;
    int m_editedRow = -1;
    QListWidget *m_list = nullptr;
    QPushButton *m_editButton = nullptr, *m_removeButton = nullptr, *m_testButton = nullptr;
    QLabel *m_result = nullptr;
    ForwardTargetDialog *m_editor = nullptr;
};

} // namespace quorvik
