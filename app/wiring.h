// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The small pieces main() builds a live or a history copy from.

#include "core/profile.h"
#include "forward/forwarder.h"
#include "main_window/main_window.h"
#include "snmp/net_snmp_decoder.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <string>

namespace quorvik {

// SIGTERM, SIGINT and SIGHUP are the system asking the program to end: the
// window closes without the quit question, through the event loop.
void watchQuitSignals(MainWindow &window);

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

// What start-up says of the configuration: a file that can't be read, and
// each value that can't be, with what is used instead.
QStringList configurationNotices(const QString &profilePath);

// The SNMPv3 users of `profile` into the decoder. Returns what the operator
// should know: users skipped.
QStringList configureSnmpUsers(TrapDecoder &decoder, const Profile &profile);

// A warning when others may still read the SNMPv3 passwords; asked once the
// engine's start has written the file, which makes it the owner's alone.
QStringList passwordsReadableByOthers(const QString &profilePath);

// The live copy's own SNMP engine for the informs it answers, its boot count
// raised and stored; once, where users are configured (`started` says
// whether it is). Returns an error text for the operator.
QString startSnmpEngine(NetSnmpDecoder &decoder, const Profile &profile, const QString &profilePath,
                        bool &started);

} // namespace quorvik
