// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "snmp/snmp_service.h"

#include "core/text_file.h"

#include <chrono>
#include <utility>

#include <sys/stat.h>

namespace quorvik {

SnmpService::SnmpService(std::string mibDirectory, std::vector<std::string> operatorMibDirectories,
                         std::string configurationPath, UpdateConfiguration update)
    : m_decoder(std::move(mibDirectory), std::move(operatorMibDirectories)),
      m_path(std::move(configurationPath)), m_update(std::move(update)) {}

std::optional<std::string> SnmpService::answer(std::string_view datagram) {
    return m_decoder.informResponse(datagram);
}

bool SnmpService::answeredBefore(std::string_view datagram, std::string_view sender,
                                 std::uint16_t port) {
    const std::optional<InformIdentity> inform = m_decoder.informIdentity(datagram);
    if (!inform)
        return false;
    std::string from(sender);
    from += ' ';
    from += std::to_string(port);
    return m_repeats.repeated(from, *inform, InformRepeats::Clock::now());
}

std::vector<std::string> SnmpService::configureUsers(const Profile &profile) {
    SnmpUsers users = snmpUsersFromProfile(profile);
    m_decoder.setUsers(users.users);
    return std::move(users.problems);
}

std::string SnmpService::startEngine(const Profile &profile) {
    if (m_engineStarted || snmpUserFieldsFromProfile(profile).empty())
        return {};
    m_engineStarted = true;
    SnmpEngine engine;
    const std::string error = m_update([&engine](std::string text) {
        Profile stored = Profile::parse(text);
        engine = quorvik::startSnmpEngine(stored);
        return stored.text();
    });
    m_decoder.setEngine(engine.engineId, engine.boots);
    std::string notes = engine.problem;
    if (!error.empty()) {
        if (!notes.empty())
            notes += "; ";
        notes += "Cannot save the SNMPv3 engine's boot count in " + m_path + ": " + error;
    }
    return notes;
}

std::string SnmpService::setUsers(const std::vector<SnmpUser> &users) {
    m_decoder.setUsers(users);
    return startEngine(storedProfile());
}

std::string SnmpService::passwordsReadableByOthers() const {
    struct stat status {};
    if (!storedProfile().hasSection(kSnmpSection) || ::stat(m_path.c_str(), &status) != 0 ||
        (status.st_mode & (S_IRWXG | S_IRWXO)) == 0)
        return {};
    return "Warning: " + m_path +
           " holds SNMPv3 passwords and other users may read it (chmod 600 " + m_path + ")";
}

Profile SnmpService::storedProfile() const {
    return Profile::parse(readTextFile(m_path).value_or(std::string()));
}

} // namespace quorvik
