// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/settings.h"
#include "core/snmp_users.h"
#include "options/forward_tab.h"
#include "options/mibs_tab.h"
#include "options/rules_tab.h"
#include "ui/seams.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace quorvik {

class SnmpUsersPage;
class SyslogTab;
class SoundPlayer;

// What the options dialog works with. The settings in force belong to the
// main window; the dialog reads them when it opens and hands changed ones
// back on Apply/OK.
struct OptionsConfig {
    QWidget *mainWindow = nullptr; // parent; the dialog centres over it
    std::function<Settings()> currentSettings;
    std::function<void(const Settings &)> applySettings;
    QString profilePath; // the configuration file
    MessageBoxes *boxes = nullptr;
    FileDialogs *dialogs = nullptr;
    SoundPlayer *sounds = nullptr; // plays the "Test" buttons
    // The forward targets put in force, with the N each is written under;
    // their Test.
    std::function<void(const std::vector<ForwardTarget> &, const std::vector<int> &)>
        applyForwardTargets;
    ForwardTester testForwardTarget;
    // The usable SNMPv3 users put in force after Apply wrote them.
    std::function<void(const std::vector<SnmpUser> &)> applySnmpUsers;
    // The rules put in force; how many of the window's events a match keeps.
    std::function<void(RuleSet)> applyRules;
    RowsMatching rowsMatching;
    // The MIBs: the operator's own folder, what the latest reading found,
    // and a reading again with these MibDirs folders.
    QString mibFolder;
    std::function<MibsShown()> currentMibs;
    std::function<void(const QStringList &)> reloadMibs;
};

// frmOptions: colours, sounds, popup threshold, row limit, start view, start
// tab, desktop notifications, log file, SNMPv3 users, forwarding, syslog,
// rules and MIBs. Modeless; Apply and OK put the changed groups in force at
// once and write them to the configuration file in one go.
class OptionsDialog : public QDialog {
    Q_OBJECT

public:
    explicit OptionsDialog(OptionsConfig config);

    // Shows the one dialog: creates and fills it on first use, otherwise
    // brings it forward as it is. It is destroyed when it closes.
    static OptionsDialog *open(QPointer<OptionsDialog> &dialog, const OptionsConfig &config);

    // False when nothing was applied: an SNMPv3 entry can't be used.
    bool apply();
    // What a reading of the MIBs found, for the MIBs tab.
    void showMibs(const MibsShown &mibs) { m_mibs->showMibs(mibs); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *createGlobalTab();
    QWidget *createSoundsTab();
    QWidget *createColoursTab();
    void fill();
    void clearMarks();
    void showSound(int level, const QString &path);
    void showColour(int level, Colour colour);
    void chooseSound(int level);
    void chooseColour(int level);
    void chooseLogFile();
    void saveGeneralSettings(Settings &settings, SettingsChanges &changes);
    void readMibs(const QStringList &mibDirs);

    OptionsConfig m_config;
    bool m_coloursChanged = false;
    bool m_popupLevelChanged = false;
    bool m_soundsChanged = false;
    bool m_logFileChanged = false;
    // What the controls show, kept apart from their captions.
    std::array<QString, kLevelCount> m_shownSounds; // empty: "no sound"
    LevelColours m_shownColours{};
    QString m_shownLogFile;

    QTabWidget *m_tabs = nullptr;
    ForwardTab *m_forward = nullptr;
    RulesTab *m_rules = nullptr;
    std::array<QRadioButton *, 2> m_startViewButtons{};
    std::array<QRadioButton *, 8> m_popupLevelButtons{};
    QLabel *m_logFileLabel = nullptr;
    QLineEdit *m_rowLimit = nullptr;
    QComboBox *m_startTab = nullptr;
    SnmpUsersPage *m_snmpUsers = nullptr;
    SyslogTab *m_syslog = nullptr;
    MibsTab *m_mibs = nullptr;
    QCheckBox *m_notify = nullptr;
    QCheckBox *m_follow = nullptr;
    std::array<QLabel *, kLevelCount> m_soundLabels{};
    std::array<QLabel *, kLevelCount> m_colourSwatches{};
};

} // namespace quorvik
