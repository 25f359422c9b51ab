// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "snmp/trap_decoder.h"

#include <cstdint>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct usmUser;

namespace quorvik {

// The header of an SNMPv3 message with the user-based security parameters,
// read without net-snmp.
struct V3Header {
    std::int64_t messageId = 0;
    unsigned char flags = 0;
    std::int64_t securityModel = 0;
    std::string_view engineId;
    std::int64_t engineBoots = 0;
    std::int64_t engineTime = 0;
    std::string_view userName;

    bool authenticated() const { return (flags & 0x01) != 0; }
    bool encrypted() const { return (flags & 0x02) != 0; }
    bool reportable() const { return (flags & 0x04) != 0; }
};
// nullopt when the datagram is no SNMPv3 message whose header parses.
std::optional<V3Header> readV3Header(std::string_view datagram);

// The configured users in net-snmp's user table. A user with an engine ID
// has one entry for it; one without gets an entry with keys localized to
// each engine ID it is seen with, at most kMaxLearnedEngines of them, the
// least recently used dropped. Passwords are turned into master keys once
// and not kept. Not thread-safe: the decoder's lock guards it.
class UsmUsers {
public:
    static constexpr std::size_t kMaxLearnedEngines = 4096;

    UsmUsers() = default;
    ~UsmUsers();
    UsmUsers(const UsmUsers &) = delete;
    UsmUsers &operator=(const UsmUsers &) = delete;

    void set(const std::vector<SnmpUser> &users);
    // This receiver's own engine, the authoritative one of informs: every
    // user has an entry for it.
    void setOwnEngine(const std::string &engineId);
    const std::string &ownEngine() const { return m_ownEngine; }

    // Why a message with this header is refused before its digest is checked
    // (unknown user, engine not accepted, security level), and the error of
    // the user-based security model whose Report answers such a request. An
    // empty refusal when the user's entry for the engine is in net-snmp's
    // table, ready to check it.
    struct Admission {
        std::string refusal;
        int error = 0; // SNMPERR_USM_...
    };
    Admission admit(const V3Header &header);

private:
    struct Configured {
        SnmpUser user; // without passwords
        std::string authMasterKey, privMasterKey;
    };
    struct Learned {
        usmUser *entry;
        std::list<std::string>::iterator recent;
    };

    void clear();
    usmUser *addEntry(const Configured &user, std::string_view engineId);
    void learn(const Configured &user, std::string_view engineId);

    void addOwnEntries();

    std::string m_ownEngine;
    std::map<std::string, Configured, std::less<>> m_users; // by name
    std::vector<usmUser *> m_fixed;                         // entries of users with Engine
    // Entries of users without Engine by user name and engine ID, and those
    // keys from the most recently used on.
    std::unordered_map<std::string, Learned> m_learned;
    std::list<std::string> m_recent;
};

} // namespace quorvik
