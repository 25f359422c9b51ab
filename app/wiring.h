// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The small pieces main() builds a live or a history copy from.

#include "core/profile.h"
#include "forward/forwarder.h"
#include "main_window/main_window.h"
#include "options/options_dialog.h"
#include "snmp/net_snmp_decoder.h"

#include <QApplication>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

namespace quorvik {

// SIGTERM, SIGINT and SIGHUP are the system asking the program to end: the
// window closes without the quit question, through the event loop.
void watchQuitSignals(MainWindow &window);

// The secondary windows every copy has: about, send message, the quit
// signals and the end of the desktop session.
void wireCommonWindows(QApplication &app, MainWindow &window);

// The arguments after the program's name, joined by blanks.
QString commandLineText(const QStringList &arguments);

// Where the log goes when the configuration names none.
QString defaultLogFile();

// The icon of desktop notifications.
QString notificationIcon();

// The live copy's forwarder on the targets of [Forward] in `profile`; a
// target that can't be read is named to the operator and left out.
std::unique_ptr<Forwarder> startForwarding(MainWindow &window, const Profile &profile,
                                           const QString &profilePath, MessageBoxes &boxes);

// The lock the live copy holds for its lifetime.
QString liveLockPath();

// The MIB modules that come with the program.
std::string ownMibDirectory();

// The operator's MIB folder: $XDG_DATA_HOME/quorvik/mibs, else
// ~/.local/share/quorvik/mibs.
QString operatorMibFolder();
// The folders whose MIBs are read, the first searched first: the operator's
// folder, then those of [SNMP] MibDirs=.
std::vector<std::string> operatorMibDirectories(const Profile &profile);

// The live copy's readings of the MIBs for the options' MIBs tab: the
// latest one, and a reading again. A reading ends on the loader's thread and
// is handed to the window's thread here; once this is gone, none is.
class MibReadings {
public:
    // `firstRead` is told of the first reading once, on the window's thread.
    MibReadings(NetSnmpDecoder &decoder, QPointer<OptionsDialog> &dialog,
                std::function<void(const MibsShown &)> firstRead = {});
    ~MibReadings();
    MibReadings(const MibReadings &) = delete;
    MibReadings &operator=(const MibReadings &) = delete;

    MibsShown latest() const;
    // Reads the MIBs again: the own folder, then `mibDirs`.
    void reload(const QStringList &mibDirs);

private:
    struct State {
        QPointer<OptionsDialog> *dialog;
        std::shared_ptr<const MibTree> latest;
        std::function<void(const MibsShown &)> firstRead;
        bool firstTold = false;

        void take(std::shared_ptr<const MibTree> tree);
    };
    NetSnmpDecoder &m_decoder;
    std::shared_ptr<State> m_state;
};

// What start-up says of a MIB reading: the files and folders among
// `operatorDirs` that can't be read, with why; empty when all can. (The
// system's own MIB folders may hold files that never load: not named.)
QString mibNotice(const MibsShown &mibs, const std::vector<std::string> &operatorDirs);

// What start-up says of the configuration: a file that can't be read, and
// each value that can't be, with what is used instead.
QStringList configurationNotices(const QString &profilePath);

} // namespace quorvik
