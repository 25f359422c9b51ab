// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "options/rules_tab.h"

#include "core/program_command.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvik {

namespace {

QString fromLocal(const std::string &text) {
    return QString::fromLocal8Bit(text.data(), qsizetype(text.size()));
}

std::string toLocal(const QString &text) {
    return text.trimmed().toLocal8Bit().toStdString();
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption) {
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QLineEdit *lineEdit(QWidget *parent, const char *name, const QString &placeholder = {}) {
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setPlaceholderText(placeholder);
    return edit;
}

// A choice between "unchanged" (the item's data empty) and values.
QComboBox *choice(QWidget *parent, const char *name,
                  const std::vector<std::pair<QString, QString>> &items) {
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->addItem(QStringLiteral("unchanged"), QString());
    for (const auto &[caption, value] : items)
        box->addItem(caption, value);
    return box;
}

void choose(QComboBox *box, const std::string &value) {
    box->setCurrentIndex(std::max(0, box->findData(QString::fromStdString(value))));
}

std::string chosen(const QComboBox *box) {
    return box->currentData().toString().toStdString();
}

// What a rule does, in short: "level E, hidden, sound none, stop".
QString actionsOf(const RuleText &rule) {
    QStringList parts;
    const auto add = [&](const char *caption, const std::string &value) {
        if (!value.empty())
            parts << QLatin1String(caption) + fromLocal(value);
    };
    add("level ", rule.level);
    if (rule.show == "0")
        parts << QStringLiteral("hidden");
    else
        add("show ", rule.show);
    add("popup ", rule.popup);
    add("notify ", rule.notify);
    add("sound ", rule.sound);
    add("forward ", rule.forward);
    add("on each ", rule.count);
    add("run ", rule.run);
    if (!rule.fold.empty())
        parts << QStringLiteral("fold repeats within %1 s").arg(fromLocal(rule.fold));
    add("clears ", rule.clears);
    if (!rule.silent.empty())
        parts << QStringLiteral("silent after %1 s").arg(fromLocal(rule.silent));
    if (rule.stop == "1")
        parts << QStringLiteral("stop");
    return parts.isEmpty() ? QStringLiteral("nothing") : parts.join(QStringLiteral(", "));
}

QString describe(const RuleText &rule, int number) {
    const QString name =
        rule.name.empty() ? QStringLiteral("Rule %1").arg(number) : fromLocal(rule.name);
    return name + QStringLiteral(": ") + fromLocal(rule.match) + QStringLiteral("  \u2192  ") +
           actionsOf(rule);
}

} // namespace

QStringList ruleProblems(const RuleText &rule, const std::vector<int> &targets) {
    std::vector<std::string> found;
    (void)readRule(rule, targets, found);
    QStringList problems;
    for (const std::string &problem : found)
        problems << fromLocal(problem);
    Rule named;
    named.number = rule.number;
    named.name = rule.name;
    const QString label = fromLocal(named.label()) + QStringLiteral(": ");
    const QString n = QString::number(rule.number);
    if (!rule.sound.empty() && rule.sound != "none" && !QFileInfo(fromLocal(rule.sound)).isFile())
        problems << label +
                        QStringLiteral("Sound%1=%2: no such file").arg(n, fromLocal(rule.sound));
    if (!rule.run.empty()) {
        const std::string path = qEnvironmentVariable("PATH").toStdString();
        if (const RunCommand command = parseRunCommand(rule.run, path); !command.error.empty())
            problems << label + QStringLiteral("Run%1: ").arg(n) + fromLocal(command.error);
    }
    return problems;
}

RuleDialog::RuleDialog(RowsMatching rowsMatching, TargetNumbers targets, QWidget *parent)
    : QDialog(parent), m_rowsMatching(std::move(rowsMatching)), m_targets(std::move(targets)) {
    setObjectName(QStringLiteral("frmRule"));
    setWindowTitle(QStringLiteral("Rule"));
    auto *form = new QFormLayout;
    m_name = lineEdit(this, "txtName", QStringLiteral("Core links"));
    form->addRow(QStringLiteral("Name"), m_name);
    m_match = lineEdit(this, "txtMatch", QStringLiteral("host:core msg:/link (up|down)/"));
    m_match->setToolTip(QStringLiteral("The filter bar's words: host: app: obj: msg: level: "
                                       "source: -word \"a phrase\" /regular expression/"));
    form->addRow(QStringLiteral("Match"), m_match);
    m_matching = new QLabel(this);
    m_matching->setObjectName(QStringLiteral("lblMatching"));
    form->addRow(QString(), m_matching);
    std::vector<std::pair<QString, QString>> levels;
    for (int i = 0; i < kLevelCount; ++i) {
        const Level &level = levelByIndex(i);
        levels.emplace_back(QString::fromLatin1(level.name.data(), qsizetype(level.name.size())),
                            QString(QChar::fromLatin1(level.letter)));
    }
    m_level = choice(this, "cboLevel", levels);
    form->addRow(QStringLiteral("Level"), m_level);
    const std::vector<std::pair<QString, QString>> yesNo = {{QStringLiteral("yes"), "1"},
                                                            {QStringLiteral("no"), "0"}};
    m_show = choice(this, "cboShow", yesNo);
    form->addRow(QStringLiteral("Show in the tables"), m_show);
    m_popup = choice(this, "cboPopup", yesNo);
    form->addRow(QStringLiteral("Popup"), m_popup);
    m_notify = choice(this, "cboNotify", yesNo);
    form->addRow(QStringLiteral("Notification"), m_notify);
    m_sound = lineEdit(this, "txtSound", QStringLiteral("the level's; a wave file, or none"));
    form->addRow(QStringLiteral("Sound"), m_sound);
    m_forward = lineEdit(this, "txtForward", QStringLiteral("by the targets' levels; 1,3 or none"));
    form->addRow(QStringLiteral("Forward to"), m_forward);
    m_count = lineEdit(this, "txtCount", QStringLiteral("every match; 10/60: the 10th in 60 s"));
    form->addRow(QStringLiteral("Alert on"), m_count);
    m_run = lineEdit(this, "txtRun", QStringLiteral("/usr/local/bin/ticket {host} {msg}"));
    form->addRow(QStringLiteral("Run"), m_run);
    m_fold =
        lineEdit(this, "txtFold", QStringLiteral("seconds: repeats within them fold into one row"));
    form->addRow(QStringLiteral("Fold repeats"), m_fold);
    m_clears = lineEdit(this, "txtClears",
                        QStringLiteral("msg:linkDown msg:\"ifIndex.{msg:/ifIndex\\.(\\d+)/}=\""));
    m_clears->setToolTip(QStringLiteral(
        "The rows of the event's host that this match keeps are cleared. {host} {app} {obj} "
        "{msg} {level} {date}: the event's value; {msg:/expression/}: what the expression (its "
        "first group) finds in it"));
    form->addRow(QStringLiteral("Clears"), m_clears);
    m_silent = lineEdit(this, "txtSilent", QStringLiteral("no watch; 600: a host silent 10 min"));
    m_silent->setToolTip(QStringLiteral("Seconds: a host that sent a matching event and then "
                                        "none for this long raises one event"));
    form->addRow(QStringLiteral("Silent seconds"), m_silent);
    m_stop = new QCheckBox(QStringLiteral("Stop: no later rule looks at the event"), this);
    m_stop->setObjectName(QStringLiteral("chkStop"));
    form->addRow(QString(), m_stop);
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("lblError"));
    m_error->setStyleSheet(QStringLiteral("color: red"));
    m_error->setWordWrap(true);
    m_error->setTextFormat(Qt::PlainText);

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
    connect(m_match, &QLineEdit::textChanged, this, &RuleDialog::showMatching);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (check())
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void RuleDialog::openFor(const RuleText &rule, int number) {
    m_number = number;
    m_name->setText(fromLocal(rule.name));
    m_match->setText(fromLocal(rule.match));
    choose(m_level, rule.level);
    choose(m_show, rule.show);
    choose(m_popup, rule.popup);
    choose(m_notify, rule.notify);
    m_sound->setText(fromLocal(rule.sound));
    m_forward->setText(fromLocal(rule.forward));
    m_count->setText(fromLocal(rule.count));
    m_run->setText(fromLocal(rule.run));
    m_fold->setText(fromLocal(rule.fold));
    m_clears->setText(fromLocal(rule.clears));
    m_silent->setText(fromLocal(rule.silent));
    m_stop->setChecked(rule.stop == "1");
    m_error->clear();
    showMatching();
    open(); // window-modal, without a loop of its own
    m_match->setFocus();
}

RuleText RuleDialog::edited() const {
    RuleText rule;
    rule.number = m_number;
    rule.name = toLocal(m_name->text());
    rule.match = toLocal(m_match->text());
    rule.level = chosen(m_level);
    rule.show = chosen(m_show);
    rule.popup = chosen(m_popup);
    rule.notify = chosen(m_notify);
    rule.sound = toLocal(m_sound->text());
    rule.forward = toLocal(m_forward->text());
    rule.count = toLocal(m_count->text());
    rule.run = toLocal(m_run->text());
    rule.fold = toLocal(m_fold->text());
    rule.clears = toLocal(m_clears->text());
    rule.silent = toLocal(m_silent->text());
    if (m_stop->isChecked())
        rule.stop = std::string(1, '1'); // not = "1": a false -Wrestrict of GCC 12
    return rule;
}

bool RuleDialog::check() {
    const QStringList problems =
        ruleProblems(edited(), m_targets ? m_targets() : std::vector<int>{});
    m_error->setText(problems.join(QLatin1Char('\n')));
    return problems.isEmpty();
}

// "12 of 40 events shown match", or why the match can't be read yet.
void RuleDialog::showMatching() {
    const EventFilter filter(toLocal(m_match->text()));
    if (!filter.problems().empty()) {
        m_matching->setText(fromLocal(filter.problems().front()));
        return;
    }
    if (!m_rowsMatching || filter.isEmpty()) {
        m_matching->clear();
        return;
    }
    const auto [matching, shown] = m_rowsMatching(filter);
    m_matching->setText(QStringLiteral("%1 of %2 events shown match").arg(matching).arg(shown));
}

RulesTab::RulesTab(RowsMatching rowsMatching, TargetNumbers targets, QWidget *parent)
    : QWidget(parent), m_targets(targets) {
    setObjectName(QStringLiteral("tabRules"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstRules"));
    QPushButton *add = button(this, "cmdAddRule", QStringLiteral("Add ..."));
    m_editButton = button(this, "cmdEditRule", QStringLiteral("Edit ..."));
    m_removeButton = button(this, "cmdRemoveRule", QStringLiteral("Remove"));
    m_upButton = button(this, "cmdRuleUp", QStringLiteral("Up"));
    m_downButton = button(this, "cmdRuleDown", QStringLiteral("Down"));
    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {add, m_editButton, m_removeButton, m_upButton, m_downButton})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *row = new QHBoxLayout;
    row->addWidget(m_list, 1);
    row->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("Each live event walks these rules in order:"), this));
    layout->addLayout(row, 1);

    m_editor = new RuleDialog(std::move(rowsMatching), std::move(targets), this);
    connect(m_editor, &QDialog::accepted, this, &RulesTab::takeEdited);
    connect(add, &QPushButton::clicked, this, [this] { edit(-1); });
    connect(m_editButton, &QPushButton::clicked, this, [this] { edit(m_list->currentRow()); });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { edit(m_list->currentRow()); });
    connect(m_removeButton, &QPushButton::clicked, this, &RulesTab::remove);
    connect(m_upButton, &QPushButton::clicked, this, [this] { move(-1); });
    connect(m_downButton, &QPushButton::clicked, this, [this] { move(1); });
    connect(m_list, &QListWidget::currentRowChanged, this, &RulesTab::enableButtons);
    showList();
}

void RulesTab::setRules(const std::vector<RuleText> &rules) {
    m_rules = rules;
    m_changed = false;
    showList();
}

std::vector<RuleText> RulesTab::rules() const {
    std::vector<RuleText> rules = m_rules;
    for (std::size_t r = 0; r < rules.size(); ++r)
        rules[r].number = int(r) + 1;
    return rules;
}

QStringList RulesTab::problems() const {
    const std::vector<int> targets = m_targets ? m_targets() : std::vector<int>{};
    QStringList problems;
    for (const RuleText &rule : rules())
        problems << ruleProblems(rule, targets);
    return problems;
}

void RulesTab::showList() {
    const int current = m_list->currentRow();
    m_list->clear();
    const std::vector<RuleText> numbered = rules();
    for (std::size_t r = 0; r < numbered.size(); ++r)
        m_list->addItem(describe(numbered[r], int(r) + 1));
    m_list->setCurrentRow(std::min(current, int(m_rules.size()) - 1));
    enableButtons();
}

void RulesTab::enableButtons() {
    const int row = m_list->currentRow();
    m_editButton->setEnabled(row >= 0);
    m_removeButton->setEnabled(row >= 0);
    m_upButton->setEnabled(row > 0);
    m_downButton->setEnabled(row >= 0 && row + 1 < int(m_rules.size()));
}

void RulesTab::edit(int row) {
    if (row >= int(m_rules.size()))
        return;
    m_editedRow = row;
    if (row < 0)
        m_editor->openFor(RuleText{}, int(m_rules.size()) + 1);
    else
        m_editor->openFor(m_rules[std::size_t(row)], row + 1);
}

void RulesTab::takeEdited() {
    const RuleText rule = m_editor->edited();
    if (m_editedRow < 0) {
        m_rules.push_back(rule);
        m_editedRow = int(m_rules.size()) - 1;
    } else {
        m_rules[std::size_t(m_editedRow)] = rule;
    }
    m_changed = true;
    showList();
    m_list->setCurrentRow(m_editedRow);
}

void RulesTab::remove() {
    const int row = m_list->currentRow();
    if (row < 0 || row >= int(m_rules.size()))
        return;
    m_rules.erase(m_rules.begin() + row);
    m_changed = true;
    showList();
}

void RulesTab::move(int by) {
    const int row = m_list->currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= int(m_rules.size()))
        return;
    std::swap(m_rules[std::size_t(row)], m_rules[std::size_t(to)]);
    m_changed = true;
    showList();
    m_list->setCurrentRow(to);
}

} // namespace quorvik
