// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/profile.h"
#include "core/snmp_users.h"
#include "snmp/inform_repeats.h"
#include "snmp/net_snmp_decoder.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvik {

// The live copy's SNMP side: the decoder (its MIBs load in the background),
// the SNMPv3 users and the engine that answers informs, as the configuration
// file says, and the memory of informs answered, so that one its sender sends
// again is answered again but shown once.
class SnmpService {
public:
    // Applies `change` to the configuration file's text under the lock every
    // copy of the program takes, and stores the result. Returns an error
    // text, empty on success.
    using UpdateConfiguration =
        std::function<std::string(const std::function<std::string(std::string)> &change)>;

    // `mibDirectory`: the program's own minimal modules; `operatorMibDirectories`:
    // the operator's, the first searched first (see MibTree::read).
    SnmpService(std::string mibDirectory, std::vector<std::string> operatorMibDirectories,
                std::string configurationPath, UpdateConfiguration update);

    NetSnmpDecoder &decoder() { return m_decoder; }

    // For the receiver thread: the answer a datagram gets (an inform's
    // Response, a Report), and whether an answered one is an inform this
    // sender (address and port) sent before.
    std::optional<std::string> answer(std::string_view datagram);
    bool answeredBefore(std::string_view datagram, std::string_view sender, std::uint16_t port);

    // The users of `profile` into the decoder; what the operator should know
    // (entries skipped).
    std::vector<std::string> configureUsers(const Profile &profile);
    // The engine for the informs this copy answers, once there are users:
    // its boot count raised and stored. Returns an error text for the
    // operator.
    std::string startEngine(const Profile &profile);
    // Users the options put in force while running; the first ones start
    // the engine (the configuration file, just written, is read anew).
    std::string setUsers(const std::vector<SnmpUser> &users);
    // A warning when other users may read the SNMPv3 passwords; asked once
    // the engine's start has written the file, which makes it the owner's.
    std::string passwordsReadableByOthers() const;

private:
    Profile storedProfile() const;

    NetSnmpDecoder m_decoder;
    InformRepeats m_repeats;
    std::string m_path;
    UpdateConfiguration m_update;
    bool m_engineStarted = false;
};

} // namespace quorvik
