// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "snmp/usm_users.h"

#include "snmp/ber.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace quorvik {

namespace {

constexpr std::int64_t kUsm = 3;

// A name from the wire as a message may show it: quoted, control
// characters as blanks, cut after 32 bytes.
std::string quoted(std::string_view name) {
    std::string text = "\"";
    for (char c : name.substr(0, 32)) {
        const auto byte = static_cast<unsigned char>(c);
        text += byte < 0x20 || byte == 0x7F ? ' ' : c;
    }
    if (name.size() > 32)
        text += "\xE2\x80\xA6";
    return text + '"';
}

std::string hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (char c : bytes) {
        text += kDigits[static_cast<unsigned char>(c) >> 4];
        text += kDigits[static_cast<unsigned char>(c) & 0x0F];
    }
    return text;
}

int levelOf(const SnmpUser &user) {
    return user.priv != "none"   ? SNMP_SEC_LEVEL_AUTHPRIV
           : user.auth != "none" ? SNMP_SEC_LEVEL_AUTHNOPRIV
                                 : SNMP_SEC_LEVEL_NOAUTH;
}

int levelOf(const V3Header &header) {
    return header.encrypted()       ? SNMP_SEC_LEVEL_AUTHPRIV
           : header.authenticated() ? SNMP_SEC_LEVEL_AUTHNOPRIV
                                    : SNMP_SEC_LEVEL_NOAUTH;
}

const char *levelName(int level) {
    switch (level) {
    case SNMP_SEC_LEVEL_AUTHPRIV:
        return "authPriv";
    case SNMP_SEC_LEVEL_AUTHNOPRIV:
        return "authNoPriv";
    default:
        return "noAuthNoPriv";
    }
}

// The master key (Ku) of a password for the user's digest.
std::string masterKey(const std::string &password, const oid *hash, std::size_t hashLength) {
    u_char key[SNMP_MAXBUF_SMALL];
    std::size_t keyLength = sizeof key;
    if (generate_Ku(hash, u_int(hashLength), reinterpret_cast<const u_char *>(password.data()),
                    password.size(), key, &keyLength) != SNMPERR_SUCCESS)
        return {};
    std::string result(reinterpret_cast<const char *>(key), keyLength);
    std::memset(key, 0, sizeof key);
    return result;
}

const oid *authOid(const SnmpUser &user, std::size_t &length) {
    return sc_get_auth_oid(usm_lookup_auth_type(user.auth.c_str()), &length);
}

// Takes an entry out of net-snmp's user table and frees it. (The library's
// remove returns the table's new head, not the entry.)
void dropEntry(usmUser *entry) {
    usm_remove_user(entry);
    usm_free_user(entry);
}

} // namespace

std::optional<V3Header> readV3Header(std::string_view datagram) {
    V3Header h;
    ber::Walk walk(datagram);
    std::int64_t version = 0, maxSize = 0;
    std::string_view flags, parameters;
    if (!walk.header(ber::kSequence, true) || !walk.integer(version) || version != 3 ||
        !walk.header(ber::kSequence, true) || !walk.integer(h.messageId) ||
        !walk.integer(maxSize) || !walk.header(ber::kOctetString, false, &flags) ||
        flags.size() != 1 || !walk.integer(h.securityModel) ||
        !walk.header(ber::kOctetString, false, &parameters))
        return std::nullopt;
    h.flags = static_cast<unsigned char>(flags[0]);
    if (h.securityModel != kUsm)
        return h;
    ber::Walk security(parameters);
    if (!security.header(ber::kSequence, true) ||
        !security.header(ber::kOctetString, false, &h.engineId) ||
        !security.integer(h.engineBoots) || !security.integer(h.engineTime) ||
        !security.header(ber::kOctetString, false, &h.userName))
        return std::nullopt;
    return h;
}

UsmUsers::~UsmUsers() {
    clear();
}

void UsmUsers::clear() {
    for (usmUser *entry : m_fixed)
        dropEntry(entry);
    for (auto &[key, learned] : m_learned)
        dropEntry(learned.entry);
    m_fixed.clear();
    m_learned.clear();
    m_recent.clear();
    m_users.clear();
}

void UsmUsers::set(const std::vector<SnmpUser> &users) {
    clear();
    for (const SnmpUser &user : users) {
        Configured configured{user, {}, {}};
        configured.user.authPassword.clear();
        configured.user.privPassword.clear();
        std::size_t hashLength = 0;
        const oid *hash = authOid(user, hashLength);
        if (user.auth != "none" && hash != nullptr)
            configured.authMasterKey = masterKey(user.authPassword, hash, hashLength);
        if (user.priv != "none" && hash != nullptr)
            configured.privMasterKey = masterKey(user.privPassword, hash, hashLength);
        const auto [at, added] = m_users.emplace(user.name, std::move(configured));
        if (added && !user.engineId.empty() && user.engineId != m_ownEngine)
            if (usmUser *entry = addEntry(at->second, user.engineId))
                m_fixed.push_back(entry);
    }
    addOwnEntries();
}

void UsmUsers::setOwnEngine(const std::string &engineId) {
    m_ownEngine = engineId;
    addOwnEntries();
}

void UsmUsers::addOwnEntries() {
    if (m_ownEngine.empty())
        return;
    for (const auto &[name, configured] : m_users)
        if ((configured.user.engineId.empty() || configured.user.engineId == m_ownEngine) &&
            usm_get_user(reinterpret_cast<const u_char *>(m_ownEngine.data()), m_ownEngine.size(),
                         name.c_str()) == nullptr)
            if (usmUser *entry = addEntry(configured, m_ownEngine))
                m_fixed.push_back(entry);
}

UsmUsers::Admission UsmUsers::admit(const V3Header &header) {
    const auto found = m_users.find(header.userName);
    if (found == m_users.end())
        return {"unknown user " + quoted(header.userName), SNMPERR_USM_UNKNOWNSECURITYNAME};
    const Configured &configured = found->second;
    const SnmpUser &user = configured.user;
    // net-snmp's model lets a lower level pass, for access control to judge;
    // here a user has one level.
    if (levelOf(header) != levelOf(user))
        return {std::string("security level ") + levelName(levelOf(header)) +
                    " not allowed for user " + quoted(user.name),
                SNMPERR_USM_UNSUPPORTEDSECURITYLEVEL};
    // A user limited to one engine has no entry for this receiver's either
    // (unless it is that one), so its informs are unknown here.
    if (!user.engineId.empty()) {
        if (header.engineId != user.engineId)
            return {"engine " + hex(header.engineId) + " not accepted for user " +
                        quoted(user.name),
                    SNMPERR_USM_UNKNOWNSECURITYNAME};
        return {};
    }
    if (!m_ownEngine.empty() && header.engineId == m_ownEngine)
        return {}; // an inform to this receiver
    if (header.engineId.size() < 5 || header.engineId.size() > 32)
        return {"engine ID of " + std::to_string(header.engineId.size()) + " bytes from user " +
                    quoted(user.name),
                SNMPERR_USM_UNKNOWNENGINEID};
    learn(configured, header.engineId);
    return {};
}

void UsmUsers::learn(const Configured &user, std::string_view engineId) {
    std::string key = user.user.name;
    key += '\0';
    key += engineId;
    if (const auto known = m_learned.find(key); known != m_learned.end()) {
        m_recent.splice(m_recent.begin(), m_recent, known->second.recent);
        return;
    }
    if (m_learned.size() >= kMaxLearnedEngines) {
        const auto oldest = m_learned.find(m_recent.back());
        usmUser *entry = oldest->second.entry;
        free_enginetime(entry->engineID, entry->engineIDLen);
        dropEntry(entry);
        m_learned.erase(oldest);
        m_recent.pop_back();
    }
    usmUser *entry = addEntry(user, engineId);
    if (entry == nullptr)
        return;
    m_recent.push_front(key);
    m_learned.emplace(std::move(key), Learned{entry, m_recent.begin()});
}

// The user's entry for one engine, its keys localized to that engine, in
// net-snmp's user table; nullptr when net-snmp can't make it.
usmUser *UsmUsers::addEntry(const Configured &configured, std::string_view engineId) {
    const SnmpUser &user = configured.user;
    usmUser *entry = usm_create_user();
    if (entry == nullptr)
        return nullptr;
    const auto fail = [entry] {
        usm_free_user(entry);
        return nullptr;
    };
    entry->engineID = static_cast<u_char *>(netsnmp_memdup(engineId.data(), engineId.size()));
    entry->engineIDLen = engineId.size();
    entry->name = strdup(user.name.c_str());
    entry->secName = strdup(user.name.c_str());
    entry->userStatus = RS_ACTIVE;
    entry->userStorageType = ST_READONLY;
    if (user.auth != "none") {
        std::size_t hashLength = 0;
        const int authType = usm_lookup_auth_type(user.auth.c_str());
        const oid *hash = sc_get_auth_oid(authType, &hashLength);
        const int keyLength = sc_get_proper_auth_length_bytype(authType);
        if (hash == nullptr || keyLength <= 0 || configured.authMasterKey.empty())
            return fail();
        SNMP_FREE(entry->authProtocol);
        entry->authProtocol = snmp_duplicate_objid(hash, hashLength);
        entry->authProtocolLen = hashLength;
        entry->authKey = static_cast<u_char *>(std::malloc(std::size_t(keyLength)));
        entry->authKeyLen = std::size_t(keyLength);
        const auto *ku = reinterpret_cast<const u_char *>(configured.authMasterKey.data());
        if (generate_kul(hash, u_int(hashLength), entry->engineID, entry->engineIDLen, ku,
                         configured.authMasterKey.size(), entry->authKey,
                         &entry->authKeyLen) != SNMPERR_SUCCESS)
            return fail();
        if (user.priv != "none") {
            const netsnmp_priv_alg_info *cipher =
                sc_get_priv_alg_bytype(u_int(usm_lookup_priv_type(user.priv.c_str())));
            if (cipher == nullptr || configured.privMasterKey.empty())
                return fail();
            SNMP_FREE(entry->privProtocol);
            entry->privProtocol = snmp_duplicate_objid(cipher->alg_oid, size_t(cipher->oid_len));
            entry->privProtocolLen = size_t(cipher->oid_len);
            // DES keeps its pre-IV beside the key.
            std::size_t privLength = std::size_t(cipher->proper_length);
            if (cipher->type == USM_CREATE_USER_PRIV_DES)
                privLength *= 2;
            const std::size_t buffer = std::max(privLength, std::size_t(keyLength));
            entry->privKey = static_cast<u_char *>(std::malloc(buffer));
            entry->privKeyLen = buffer;
            const auto *privKu = reinterpret_cast<const u_char *>(configured.privMasterKey.data());
            if (generate_kul(hash, u_int(hashLength), entry->engineID, entry->engineIDLen, privKu,
                             configured.privMasterKey.size(), entry->privKey,
                             &entry->privKeyLen) != SNMPERR_SUCCESS)
                return fail();
            if (entry->privKeyLen < privLength &&
                usm_extend_user_kul(entry, u_int(privLength)) != SNMPERR_SUCCESS)
                return fail();
            if (entry->privKeyLen < privLength)
                return fail();
            entry->privKeyLen = privLength;
        }
    }
    usm_add_user(entry);
    return entry;
}

} // namespace quorvik
