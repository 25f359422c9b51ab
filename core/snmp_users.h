// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "profile.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvik {

// One SNMPv3 user as the [SNMPv3] section holds it, number n from 1: Usern
// (security name), Authn, AuthPassn, Privn, PrivPassn, Enginen. The texts
// are as typed.
struct SnmpUserFields {
    int number = 1;
    std::string name;
    std::string auth;
    std::string authPassword;
    std::string priv;
    std::string privPassword;
    std::string engine; // hex, with or without 0x; empty: any engine
};

// A usable user: protocols by their canonical names ("none", "MD5", "SHA",
// "SHA-224", "SHA-256", "SHA-384", "SHA-512"; "none", "DES", "AES",
// "AES-192", "AES-256"), the engine ID as bytes (empty: every engine).
struct SnmpUser {
    std::string name;
    std::string auth = "none";
    std::string authPassword;
    std::string priv = "none";
    std::string privPassword;
    std::string engineId;
};

inline constexpr std::string_view kSnmpSection = "SNMPv3";
inline constexpr int kMaxSnmpUsers = 100;
inline constexpr std::size_t kMinPasswordLength = 8;

// The user the fields describe, or the reason why they can't be used, naming
// the key with the user's number ("AuthPass2 is shorter than 8 characters").
// A reason never holds a password.
struct SnmpUserCheck {
    std::optional<SnmpUser> user;
    std::string problem;
};
SnmpUserCheck checkSnmpUser(const SnmpUserFields &fields);
// Each entry checked as above, in order; a message names its user alone, so
// an entry with the name of an earlier one is refused too ("User3 repeats
// \"monitor\", the name of user 1").
std::vector<SnmpUserCheck> checkSnmpUsers(const std::vector<SnmpUserFields> &entries);

// The engine ID bytes of a hex text ("0x8000..." or "8000...", blanks
// between the digits allowed), 5 to 32 bytes as engine IDs are; nullopt for
// anything else.
std::optional<std::string> engineIdFromHex(std::string_view text);
// Bytes as upper-case hex without 0x.
std::string hexText(std::string_view bytes);

// Every user entry of the section (those with a Usern key), in number
// order, as typed.
std::vector<SnmpUserFields> snmpUserFieldsFromProfile(const Profile &profile);

// Replaces the user entries of the section by `users`, numbered from 1 in
// their order (their own numbers are not used).
void writeSnmpUsers(Profile &profile, const std::vector<SnmpUserFields> &users);

// The usable users, and a message for each entry skipped.
struct SnmpUsers {
    std::vector<SnmpUser> users;
    std::vector<std::string> problems;
};
SnmpUsers snmpUsersFromProfile(const Profile &profile);

// The live copy's own SNMP engine, authoritative for the informs it is
// sent: [SNMPv3] EngineID (hex; generated once in the format of RFC 3411:
// net-snmp's enterprise number, format 5, 8 random octets) and EngineBoots,
// raised at every start.
struct SnmpEngine {
    std::string engineId;
    long boots = 1;
    // An EngineID the program can't read, what it uses instead: empty
    // while there is none.
    std::string problem;
};
// Raises EngineBoots in `profile` and returns the engine; a missing EngineID
// is generated and stored, its boots start at 1. One that can't be read
// stays in the file as written: this run uses a generated one and says so
// in `problem`.
SnmpEngine startSnmpEngine(Profile &profile);

} // namespace quorvik
