// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/rules.h"

#include <QDialog>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quorvik {

// How many of the events the window shows now a filter keeps: (matching,
// shown).
using RowsMatching = std::function<std::pair<int, int>(const EventFilter &)>;
// The numbers of the [Forward] targets as they will be written.
using TargetNumbers = std::function<std::vector<int>()>;

// What is wrong with one rule, in words, each naming the rule and its key:
// what readRule() finds, a sound file that doesn't exist, a program line
// that would not run (parseRunCommand, with this process's PATH).
// Empty when it can be used.
QStringList ruleProblems(const RuleText &rule, const std::vector<int> &targets);

// frmRule: one rule's name, match and actions. While the match is typed it
// shows how many of the window's events it keeps; OK takes the rule only
// when it can be used, else names what is wrong.
class RuleDialog : public QDialog {
    Q_OBJECT

public:
    RuleDialog(RowsMatching rowsMatching, TargetNumbers targets, QWidget *parent);
    // Shows `rule`, to be written as rule `number`.
    void openFor(const RuleText &rule, int number);
    RuleText edited() const;
    // The problems of the rule as edited, shown; true when there are none.
    bool check();

private:
    void showMatching();

    RowsMatching m_rowsMatching;
    TargetNumbers m_targets;
    int m_number = 0;
    QLineEdit *m_name = nullptr, *m_match = nullptr, *m_sound = nullptr, *m_forward = nullptr,
              *m_count = nullptr, *m_run = nullptr;
    QLineEdit *m_fold = nullptr, *m_clears = nullptr; // alarms
    QLineEdit *m_silent = nullptr;
    QComboBox *m_level = nullptr, *m_show = nullptr, *m_popup = nullptr, *m_notify = nullptr;
    QCheckBox *m_stop = nullptr;
    QLabel *m_matching = nullptr, *m_error = nullptr;
};

// The Rules tab of the options: the rules in their order, each with its
// name, match and what it does; Add, Edit, Remove, Up and Down. A rule of
// the file that can't be used is listed with what is wrong; Apply refuses to
// write while any is.
class RulesTab : public QWidget {
    Q_OBJECT

public:
    RulesTab(RowsMatching rowsMatching, TargetNumbers targets, QWidget *parent = nullptr);

    void setRules(const std::vector<RuleText> &rules);
    // The rules in their order, numbered as they will be written.
    std::vector<RuleText> rules() const;
    // What is wrong with each rule, "Rule 2 (X): ..." one a line.
    QStringList problems() const;
    bool changed() const { return m_changed; }
    void clearMark() { m_changed = false; }

private:
    void edit(int row); // -1: a new rule
    void takeEdited();
    void remove();
    void move(int by);
    void showList();
    void enableButtons();

    TargetNumbers m_targets;
    std::vector<RuleText> m_rules;
    bool m_changed = false;
    int m_editedRow = -1;
    QListWidget *m_list = nullptr;
    QPushButton *m_editButton = nullptr, *m_removeButton = nullptr, *m_upButton = nullptr,
                *m_downButton = nullptr;
    RuleDialog *m_editor = nullptr;
};

} // namespace quorvik
