// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "snmp_users.h"

#include <array>
#include <cctype>
#include <climits>
#include <random>

namespace quorvik {

namespace {

constexpr std::array<std::string_view, 7> kAuthProtocols = {
    "none", "MD5", "SHA", "SHA-224", "SHA-256", "SHA-384", "SHA-512"};
constexpr std::array<std::string_view, 5> kPrivProtocols = {"none", "DES", "AES", "AES-192",
                                                            "AES-256"};
constexpr std::size_t kMaxNameLength = 32; // an SnmpAdminString of USM

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The canonical name of a protocol text in any letter case; an empty text
// means none.
template <std::size_t N>
std::optional<std::string> canonical(std::string_view text,
                                     const std::array<std::string_view, N> &names) {
    if (text.empty())
        return std::string(names[0]);
    for (std::string_view name : names)
        if (sameLetters(text, name))
            return std::string(name);
    return std::nullopt;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    const int lower = std::tolower(static_cast<unsigned char>(c));
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

std::string key(std::string_view name, int number) {
    return std::string(name) + std::to_string(number);
}

} // namespace

std::optional<std::string> engineIdFromHex(std::string_view written) {
    // Blanks between the digits group them, as engine IDs are often written.
    std::string digits(written);
    std::erase_if(digits, [](char c) { return c == ' ' || c == '\t'; });
    std::string_view text = digits;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    if (text.size() % 2 != 0 || text.size() < 10 || text.size() > 64)
        return std::nullopt;
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = hexDigit(text[i]), low = hexDigit(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += static_cast<char>(high << 4 | low);
    }
    return bytes;
}

std::string hexText(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

SnmpUserCheck checkSnmpUser(const SnmpUserFields &fields) {
    const int number = fields.number;
    const auto fail = [&](std::string_view name, std::string_view reason) {
        return SnmpUserCheck{std::nullopt, key(name, number) + ' ' + std::string(reason)};
    };
    SnmpUser user;
    user.name = fields.name;
    if (user.name.empty())
        return fail("User", "is empty");
    if (user.name.size() > kMaxNameLength)
        return fail("User", "is longer than 32 characters");
    const std::optional<std::string> auth = canonical(fields.auth, kAuthProtocols);
    if (!auth)
        return fail("Auth", "names no known protocol (none, MD5, SHA, SHA-224, SHA-256, SHA-384, "
                            "SHA-512)");
    const std::optional<std::string> priv = canonical(fields.priv, kPrivProtocols);
    if (!priv)
        return fail("Priv", "names no known protocol (none, DES, AES, AES-192, AES-256)");
    user.auth = *auth;
    user.priv = *priv;
    if (user.auth != "none") {
        if (fields.authPassword.size() < kMinPasswordLength)
            return fail("AuthPass", "is shorter than 8 characters");
        user.authPassword = fields.authPassword;
    }
    if (user.priv != "none") {
        if (user.auth == "none")
            return fail("Priv",
                        "needs authentication, but Auth" + std::to_string(number) + " is none");
        if (fields.privPassword.size() < kMinPasswordLength)
            return fail("PrivPass", "is shorter than 8 characters");
        user.privPassword = fields.privPassword;
    }
    if (!fields.engine.empty()) {
        const std::optional<std::string> engine = engineIdFromHex(fields.engine);
        if (!engine)
            return fail("Engine", "is no engine ID (5 to 32 bytes in hex)");
        user.engineId = *engine;
    }
    return SnmpUserCheck{std::move(user), {}};
}

std::vector<SnmpUserCheck> checkSnmpUsers(const std::vector<SnmpUserFields> &entries) {
    std::vector<SnmpUserCheck> checks;
    checks.reserve(entries.size());
    for (const SnmpUserFields &fields : entries) {
        SnmpUserCheck check = checkSnmpUser(fields);
        for (std::size_t i = 0; check.user && i < checks.size(); ++i)
            if (entries[i].name == fields.name) {
                check.problem = key("User", fields.number) + " repeats \"" + fields.name +
                                "\", the name of user " + std::to_string(entries[i].number);
                check.user.reset();
            }
        checks.push_back(std::move(check));
    }
    return checks;
}

std::vector<SnmpUserFields> snmpUserFieldsFromProfile(const Profile &profile) {
    std::vector<SnmpUserFields> entries;
    constexpr std::size_t kLength = 1024; // passwords may be long
    for (int n = 1; n <= kMaxSnmpUsers; ++n) {
        if (!profile.contains(kSnmpSection, key("User", n)))
            continue;
        const auto value = [&](std::string_view name) {
            return profile.value(kSnmpSection, key(name, n), {}, kLength);
        };
        entries.push_back({n, value("User"), value("Auth"), value("AuthPass"), value("Priv"),
                           value("PrivPass"), value("Engine")});
    }
    return entries;
}

void writeSnmpUsers(Profile &profile, const std::vector<SnmpUserFields> &users) {
    static constexpr std::array<std::string_view, 6> kKeys = {"User", "Auth",     "AuthPass",
                                                              "Priv", "PrivPass", "Engine"};
    for (int n = 1; n <= kMaxSnmpUsers; ++n)
        for (std::string_view name : kKeys)
            profile.removeKey(kSnmpSection, key(name, n));
    int n = 0;
    for (const SnmpUserFields &user : users) {
        if (++n > kMaxSnmpUsers)
            break;
        const std::array<const std::string *, 6> values = {&user.name,         &user.auth,
                                                           &user.authPassword, &user.priv,
                                                           &user.privPassword, &user.engine};
        for (std::size_t i = 0; i < kKeys.size(); ++i)
            if (i == 0 || !values[i]->empty())
                profile.setValue(kSnmpSection, key(kKeys[i], n), *values[i]);
    }
}

SnmpUsers snmpUsersFromProfile(const Profile &profile) {
    SnmpUsers result;
    const std::vector<SnmpUserFields> entries = snmpUserFieldsFromProfile(profile);
    std::vector<SnmpUserCheck> checks = checkSnmpUsers(entries);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (checks[i].user)
            result.users.push_back(std::move(*checks[i].user));
        else
            result.problems.push_back("SNMPv3 user " + std::to_string(entries[i].number) +
                                      " skipped: " + checks[i].problem);
    }
    return result;
}

SnmpEngine startSnmpEngine(Profile &profile) {
    SnmpEngine engine;
    const std::string written = profile.value(kSnmpSection, "EngineID");
    const std::optional<std::string> stored = engineIdFromHex(written);
    if (stored) {
        engine.engineId = *stored;
        const std::string boots = profile.value(kSnmpSection, "EngineBoots");
        char *end = nullptr;
        const long before = std::strtol(boots.c_str(), &end, 10);
        if (end != boots.c_str() && *end == '\0' && before >= 1 && before < INT_MAX)
            engine.boots = before + 1;
        else if (before == INT_MAX)
            engine.boots = INT_MAX; // the last value: the engine stays there
    } else {
        engine.engineId = std::string("\x80\x00\x1F\x88\x05", 5);
        std::random_device random;
        for (int i = 0; i < 8; ++i)
            engine.engineId += static_cast<char>(random() & 0xFF);
        if (!written.empty()) {
            engine.problem = "EngineID: \"" + written +
                             "\" is no engine ID (5 to 32 bytes in hex); this run uses 0x" +
                             hexText(engine.engineId) +
                             ", and devices that know the engine by its old ID get no answer "
                             "to their informs until it is mended";
            return engine;
        }
        profile.setValue(kSnmpSection, "EngineID", "0x" + hexText(engine.engineId));
    }
    profile.setValue(kSnmpSection, "EngineBoots", std::to_string(engine.boots));
    return engine;
}

} // namespace quorvik
