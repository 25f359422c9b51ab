// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "snmp/net_snmp_decoder.h"

#include "snmp/ber.h"
#include "snmp/usm_users.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstdlib>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorvik {

namespace {

constexpr oid kSysDescr[] = {1, 3, 6, 1, 2, 1, 1, 1, 0};
constexpr oid kSysUpTime[] = {1, 3, 6, 1, 2, 1, 1, 3, 0};
constexpr oid kSnmpTrapOid[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
constexpr oid kSnmpTraps[] = {1, 3, 6, 1, 6, 3, 1, 1, 5};
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

struct PduDeleter {
    void operator()(netsnmp_pdu *pdu) const { snmp_free_pdu(pdu); }
};
using PduPointer = std::unique_ptr<netsnmp_pdu, PduDeleter>;

// A community-based message (SNMPv1 or v2c) as net-snmp reads it, with where
// its PDU starts and how long the message is (a datagram may carry more).
struct Message {
    PduPointer pdu;
    std::size_t pduOffset = 0;
    std::size_t length = 0;
};

enum class Version { None, V3, Community };

// The version field of an SNMP message; None when the datagram doesn't
// start like one.
Version versionOf(u_char *data, std::size_t size, std::size_t &messageLength) {
    if (size < 2 || data[0] != (ASN_SEQUENCE | ASN_CONSTRUCTOR))
        return Version::None;
    std::size_t length = size;
    u_char type = 0;
    u_char *body =
        asn_parse_sequence(data, &length, &type, ASN_SEQUENCE | ASN_CONSTRUCTOR, "message");
    if (body == nullptr)
        return Version::None;
    messageLength = std::size_t(body - data) + length;
    long version = -1;
    if (asn_parse_int(body, &length, &type, &version, sizeof version) == nullptr)
        return Version::None;
    if (version == SNMP_VERSION_3)
        return Version::V3;
    if (version == SNMP_VERSION_1 || version == SNMP_VERSION_2c)
        return Version::Community;
    return Version::None;
}

// `onlyCommand`, when not 0, skips the parse of every other kind of PDU.
std::optional<Message> parseCommunityMessage(u_char *data, std::size_t messageLength,
                                             int onlyCommand = 0) {
    u_char community[COMMUNITY_MAX_LEN];
    std::size_t communityLength = sizeof community;
    std::size_t length = messageLength;
    long version = -1;
    u_char *pduStart = snmp_comstr_parse(data, &length, community, &communityLength, &version);
    // A message whose community ends it holds no PDU: there is no tag to read.
    if (pduStart == nullptr || pduStart >= data + messageLength ||
        (onlyCommand != 0 && *pduStart != onlyCommand))
        return std::nullopt;
    Message message;
    message.pdu.reset(snmp_pdu_create(0));
    message.pdu->version = version;
    message.pduOffset = std::size_t(pduStart - data);
    message.length = messageLength;
    length = messageLength - message.pduOffset;
    if (snmp_pdu_parse(message.pdu.get(), pduStart, &length) != SNMP_ERR_NOERROR)
        return std::nullopt;
    return message;
}

void appendSubids(std::string &out, const oid *name, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
        if (!out.empty())
            out += '.';
        out += std::to_string(name[i]);
    }
}

enum class OidStyle { Module, Object }; // IF-MIB::linkDown, or ifIndex.2

// Names come from the MIB tree in force when the message is decoded, never
// from net-snmp's own tree, which the loader's thread rebuilds.
std::string oidText(const MibTree &mibs, const oid *name, std::size_t length, OidStyle style) {
    std::size_t depth = 0;
    const MibNode *node = mibs.naming(name, length, depth);
    std::string text;
    if (node == nullptr) {
        appendSubids(text, name, 0, length);
        return text;
    }
    if (style == OidStyle::Module && !node->module.empty())
        text = node->module + "::";
    text += node->label;
    std::string index;
    appendSubids(index, name, depth, length);
    if (!index.empty())
        text += '.' + index;
    return text;
}

// A UTF-8 sequence of `count` continuation bytes starts at `at`.
bool continues(const u_char *bytes, std::size_t size, std::size_t at, std::size_t count) {
    if (size - at < count)
        return false;
    for (std::size_t i = 0; i < count; ++i)
        if ((bytes[at + i] & 0xC0) != 0x80)
            return false;
    return true;
}

// Text an operator can read: printable ASCII, line breaks and tabs (they
// become blanks), and UTF-8 sequences.
bool isText(const u_char *bytes, std::size_t size) {
    for (std::size_t i = 0; i < size;) {
        const u_char c = bytes[i++];
        std::size_t more = 0;
        if (c >= 0xC2 && c <= 0xDF)
            more = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            more = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            more = 3;
        else if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c >= 0x7F)
            return false;
        if (!continues(bytes, size, i, more))
            return false;
        i += more;
    }
    return true;
}

// Bytes in hex, e.g. 00:FF:10.
std::string hexBytes(const u_char *bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        if (i > 0)
            text += ':';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

// An octet string without a display format of its own: quoted text, or
// its bytes in hex.
std::string octetText(const u_char *bytes, std::size_t size) {
    if (isText(bytes, size))
        return '"' + std::string(reinterpret_cast<const char *>(bytes), size) + '"';
    return hexBytes(bytes, size);
}

// A BER element: tag, length, content.
std::string encoded(unsigned char tag, std::string_view content) {
    std::string out(1, static_cast<char>(tag));
    if (content.size() < 0x80) {
        out += static_cast<char>(content.size());
    } else {
        std::string digits;
        for (std::size_t n = content.size(); n > 0; n >>= 8)
            digits.insert(digits.begin(), static_cast<char>(n & 0xFF));
        out += static_cast<char>(0x80 | digits.size());
        out += digits;
    }
    out += content;
    return out;
}

// Text hints ("255a", "255t") and no hint at all leave the format to
// octetText; other hints (addresses, dates) are net-snmp's to apply.
bool hasOwnFormat(const MibTree &mibs, const netsnmp_variable_list &var) {
    std::size_t depth = 0;
    const MibNode *node = mibs.naming(var.name, var.name_length, depth);
    if (node == nullptr)
        return false;
    const std::string_view hint = node->hint;
    return !hint.empty() && hint.back() != 'a' && hint.back() != 't';
}

// A value as net-snmp prints it with the syntax, enumeration, DISPLAY-HINT
// and UNITS of the object that names it (sprint_realloc_value, with the
// tree in force instead of net-snmp's own).
std::string printed(const MibTree &mibs, const netsnmp_variable_list &var) {
    std::size_t depth = 0;
    const MibNode *node = mibs.closest(var.name, var.name_length, depth);
    const char *hint = node == nullptr || node->hint.empty() ? nullptr : node->hint.c_str();
    const char *units = node == nullptr || node->units.empty() ? nullptr : node->units.c_str();
    const enum_list *enums = node == nullptr ? nullptr : node->enumChain;
    u_char *buffer = nullptr;
    std::size_t bufferLength = 0, written = 0;
    if (node != nullptr && node->printer != nullptr)
        node->printer(&buffer, &bufferLength, &written, 1, &var, enums, hint, units);
    else
        sprint_realloc_by_type(&buffer, &bufferLength, &written, 1, &var, enums, hint, units);
    std::string text(reinterpret_cast<const char *>(buffer), buffer == nullptr ? 0 : written);
    std::free(buffer);
    return text;
}

std::string valueText(const MibTree &mibs, const netsnmp_variable_list &var) {
    switch (var.type) {
    case ASN_OCTET_STR:
        if (!hasOwnFormat(mibs, var))
            return octetText(var.val.string, var.val_len);
        break;
    case ASN_OBJECT_ID:
        return oidText(mibs, var.val.objid, var.val_len / sizeof(oid), OidStyle::Module);
    case ASN_IPADDRESS:
        // net-snmp reads an address of any length but prints four bytes.
        if (var.val_len != 4) {
            const std::string element = encoded(
                ASN_IPADDRESS, {reinterpret_cast<const char *>(var.val.string), var.val_len});
            return "(malformed) " +
                   hexBytes(reinterpret_cast<const u_char *>(element.data()), element.size());
        }
        break;
    case ASN_NULL:
        return "NULL";
    case SNMP_NOSUCHOBJECT:
        return "noSuchObject";
    case SNMP_NOSUCHINSTANCE:
        return "noSuchInstance";
    case SNMP_ENDOFMIBVIEW:
        return "endOfMibView";
    default:
        break;
    }
    return printed(mibs, var);
}

bool sameOid(const oid *name, std::size_t length, const oid *other, std::size_t otherLength) {
    return snmp_oid_compare(name, length, other, otherLength) == 0;
}

template <std::size_t N> bool isOid(const netsnmp_variable_list &var, const oid (&other)[N]) {
    return sameOid(var.name, var.name_length, other, N);
}

std::string commandName(int command) {
    switch (command) {
    case SNMP_MSG_GET:
        return "SNMP GetRequest";
    case SNMP_MSG_GETNEXT:
        return "SNMP GetNextRequest";
    case SNMP_MSG_RESPONSE:
        return "SNMP Response";
    case SNMP_MSG_SET:
        return "SNMP SetRequest";
    case SNMP_MSG_GETBULK:
        return "SNMP GetBulkRequest";
    case SNMP_MSG_INFORM:
        return "SNMP InformRequest";
    case SNMP_MSG_TRAP2:
        return "SNMP Trap";
    case SNMP_MSG_REPORT:
        return "SNMP Report";
    default:
        return "SNMP message";
    }
}

std::string agentAddress(const netsnmp_pdu &pdu) {
    const u_char *a = pdu.agent_addr;
    return std::to_string(a[0]) + '.' + std::to_string(a[1]) + '.' + std::to_string(a[2]) + '.' +
           std::to_string(a[3]);
}

// The v1 trap's head: its SNMPv2 name, then enterprise, number and agent.
std::string v1Head(const MibTree &mibs, const netsnmp_pdu &pdu) {
    std::vector<oid> trap;
    std::string number;
    if (pdu.trap_type == SNMP_TRAP_ENTERPRISESPECIFIC) {
        trap.assign(pdu.enterprise, pdu.enterprise + pdu.enterprise_length);
        trap.push_back(0);
        trap.push_back(oid(pdu.specific_type));
        number = "specific=" + std::to_string(pdu.specific_type);
    } else {
        trap.assign(std::begin(kSnmpTraps), std::end(kSnmpTraps));
        trap.push_back(oid(pdu.trap_type + 1));
        number = "generic=" + std::to_string(pdu.trap_type);
    }
    return oidText(mibs, trap.data(), trap.size(), OidStyle::Module) +
           " enterprise=" + oidText(mibs, pdu.enterprise, pdu.enterprise_length, OidStyle::Module) +
           ' ' + number + " agent=" + agentAddress(pdu);
}

// Where a notification's bindings begin: after sysUpTime.0 and
// snmpTrapOID.0, whose value names the trap.
std::string notificationHead(const MibTree &mibs, const netsnmp_pdu &pdu,
                             const netsnmp_variable_list *&first) {
    first = pdu.variables;
    if (first != nullptr && isOid(*first, kSysUpTime))
        first = first->next_variable;
    if (first != nullptr && isOid(*first, kSnmpTrapOid) && first->type == ASN_OBJECT_ID) {
        std::string name = valueText(mibs, *first);
        first = first->next_variable;
        return name;
    }
    first = pdu.variables;
    return commandName(pdu.command);
}

// Control characters become blanks, so the text stays one line.
void appendClean(std::string &out, std::string_view text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        out += byte < 0x20 || byte == 0x7F ? ' ' : c;
    }
}

// Cuts a text longer than `limit` bytes at a character boundary and ends it
// with an ellipsis, so that it has at most `limit` bytes.
void bound(std::string &text, std::size_t limit) {
    if (text.size() <= limit)
        return;
    std::size_t cut = limit - kEllipsis.size();
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    text.resize(cut);
    text += kEllipsis;
}

// Bindings whose value net-snmp could not read, with that value's bytes
// (tag and length included) in hex.
using Malformed = std::unordered_map<const netsnmp_variable_list *, std::string>;

std::string describePdu(const MibTree &mibs, const netsnmp_pdu &pdu,
                        const Malformed &malformed = {}) {
    std::string text;
    const netsnmp_variable_list *var = pdu.variables;
    if (pdu.command == SNMP_MSG_TRAP)
        appendClean(text, v1Head(mibs, pdu));
    else if (pdu.command == SNMP_MSG_TRAP2 || pdu.command == SNMP_MSG_INFORM)
        appendClean(text, notificationHead(mibs, pdu, var));
    else
        text = commandName(pdu.command);
    for (; var != nullptr && text.size() <= NetSnmpDecoder::kMaxDescription;
         var = var->next_variable) {
        text += ' ';
        const auto bad = malformed.find(var);
        if (var->name_length > 0) {
            appendClean(text, oidText(mibs, var->name, var->name_length, OidStyle::Object));
            text += '=';
        }
        if (bad != malformed.end())
            text += "(malformed) " + bad->second;
        else
            appendClean(text, valueText(mibs, *var));
    }
    bound(text, NetSnmpDecoder::kMaxDescription);
    return text;
}

// Every SNMP message is a BER sequence; tagged texts end here at once.
bool mayBeSnmp(std::string_view datagram) {
    return datagram.size() >= 2 &&
           static_cast<u_char>(datagram[0]) == (ASN_SEQUENCE | ASN_CONSTRUCTOR);
}

using ber::Walk;
constexpr unsigned char kSequence = ASN_SEQUENCE | ASN_CONSTRUCTOR;

// The PDU tag of a community-based message (sequence, version, community
// before it); 0 when the datagram is not shaped like one. The receiver
// thread asks this of every datagram, and only informs go on.
unsigned char communityPduTag(std::string_view datagram) {
    Walk walk(datagram);
    if (!walk.header(kSequence, true) || !walk.header(ASN_INTEGER, false) ||
        !walk.header(ASN_OCTET_STR, false))
        return 0;
    return walk.nextTag();
}

// For an SNMPv2c trap or inform whose bindings start with sysUpTime.0 and
// snmpTrapOID.0: the datagram without the request id's and the sysUpTime's
// values, which its description doesn't show, so that a repeat of a trap
// already described is known without parsing it. Everything else, the
// values' lengths among it, is compared byte for byte, so a key matches only
// a message shaped like one that net-snmp has read.
std::optional<std::string> repeatKey(std::string_view datagram) {
    static constexpr std::string_view kUpTimeName("\x2B\x06\x01\x02\x01\x01\x03\x00", 8);
    static constexpr std::string_view kTrapOidName("\x2B\x06\x01\x06\x03\x01\x01\x04\x01\x00", 10);
    Walk walk(datagram);
    std::string_view version, requestId, name, upTime, trapName;
    if (!walk.header(kSequence, true) || !walk.header(ASN_INTEGER, false, &version) ||
        version != std::string_view("\x01", 1) || !walk.header(ASN_OCTET_STR, false))
        return std::nullopt;
    const unsigned char tag = walk.nextTag();
    if ((tag != SNMP_MSG_TRAP2 && tag != SNMP_MSG_INFORM) || !walk.header(tag, true) ||
        !walk.header(ASN_INTEGER, false, &requestId) || requestId.empty() || requestId.size() > 4 ||
        !walk.header(ASN_INTEGER, false) || !walk.header(ASN_INTEGER, false) ||
        !walk.header(kSequence, true) || !walk.header(kSequence, true) ||
        !walk.header(ASN_OBJECT_ID, false, &name) || name != kUpTimeName ||
        !walk.header(ASN_TIMETICKS, false, &upTime) || upTime.empty() || upTime.size() > 5 ||
        (upTime.size() == 5 && upTime[0] != 0) || !walk.header(kSequence, true) ||
        !walk.header(ASN_OBJECT_ID, false, &trapName) || trapName != kTrapOidName ||
        walk.nextTag() != ASN_OBJECT_ID)
        return std::nullopt;
    const auto offset = [&](std::string_view part) {
        return std::size_t(part.data() - datagram.data());
    };
    std::string key;
    key += datagram.substr(0, offset(requestId));
    key += datagram.substr(offset(requestId) + requestId.size(),
                           offset(upTime) - offset(requestId) - requestId.size());
    key += datagram.substr(offset(upTime) + upTime.size());
    return key;
}

// A community-based message that net-snmp refuses as a whole, read binding
// by binding, so that one malformed value costs only itself. Its parts are
// the message around the bindings and each binding.
struct Pieces {
    std::string front;         // version and community
    unsigned char tag = 0;     // of the PDU
    std::string head;          // the PDU's fields before its bindings
    std::size_t pduOffset = 0; // in the original message
    std::vector<std::string_view> bindings;

    // The message with these bindings (each a whole element), as net-snmp
    // reads it; nullptr when it doesn't.
    PduPointer parse(std::string_view list) const {
        std::string built =
            encoded(kSequence, front + encoded(tag, head + encoded(kSequence, list)));
        std::vector<u_char> data(built.begin(), built.end());
        std::optional<Message> message = parseCommunityMessage(data.data(), data.size());
        return message ? std::move(message->pdu) : nullptr;
    }
};

std::optional<Pieces> piecesOf(std::string_view message) {
    Pieces pieces;
    Walk walk(message);
    std::string_view version, community, pdu, list;
    if (!walk.header(kSequence, true) || walk.nextTag() != ASN_INTEGER || !walk.any(&version) ||
        walk.nextTag() != ASN_OCTET_STR || !walk.any(&community))
        return std::nullopt;
    pieces.front = std::string(version) + std::string(community);
    pieces.tag = walk.nextTag();
    pieces.pduOffset = std::size_t(walk.rest().data() - message.data());
    if ((pieces.tag & 0xE0) != 0xA0 || !walk.header(pieces.tag, false, &pdu))
        return std::nullopt;
    // A v1 trap has five fields before its bindings, every other PDU three.
    Walk fields(pdu);
    for (int i = pieces.tag == SNMP_MSG_TRAP ? 5 : 3; i > 0; --i)
        if (!fields.any())
            return std::nullopt;
    pieces.head = pdu.substr(0, pdu.size() - fields.rest().size());
    if (!fields.header(kSequence, false, &list))
        return std::nullopt;
    Walk each(list);
    for (std::string_view binding; each.any(&binding);)
        pieces.bindings.push_back(binding);
    if (!each.rest().empty())
        pieces.bindings.push_back(each.rest()); // no element: unreadable as well
    return pieces;
}

// A binding net-snmp can't read: its name with a NULL value where the name
// reads, else no name; in `bytes` the value's bytes (or all of the
// binding's) with their tag and length.
netsnmp_variable_list *unreadable(const Pieces &pieces, std::string_view binding,
                                  std::string_view &bytes) {
    Walk walk(binding);
    std::string_view name, value;
    if (walk.header(kSequence, true) && walk.nextTag() == ASN_OBJECT_ID && walk.any(&name) &&
        walk.any(&value))
        if (PduPointer named =
                pieces.parse(encoded(kSequence, std::string(name) + std::string("\x05\x00", 2)));
            named && named->variables != nullptr && named->variables->next_variable == nullptr) {
            bytes = value;
            return std::exchange(named->variables, nullptr);
        }
    auto *var = static_cast<netsnmp_variable_list *>(std::calloc(1, sizeof(netsnmp_variable_list)));
    if (var != nullptr) {
        var->name = var->name_loc;
        var->val.string = var->buf;
        var->type = ASN_NULL;
    }
    bytes = binding;
    return var;
}

// The description of a message whose PDU fields net-snmp reads but not all
// of its bindings: each binding it can't read shows its name, where that
// reads, and "(malformed)" with its value's bytes in hex. Empty when the
// fields don't read.
std::string describeByBinding(const MibTree &mibs, std::string_view message) {
    const std::optional<Pieces> pieces = piecesOf(message);
    PduPointer pdu = pieces ? pieces->parse({}) : nullptr;
    if (!pdu)
        return {};
    Malformed malformed;
    netsnmp_variable_list **tail = &pdu->variables;
    for (std::string_view binding : pieces->bindings) {
        PduPointer one = pieces->parse(binding);
        if (one && one->variables != nullptr && one->variables->next_variable == nullptr) {
            *tail = std::exchange(one->variables, nullptr);
        } else {
            std::string_view bytes;
            *tail = unreadable(*pieces, binding, bytes);
            if (*tail == nullptr)
                return {};
            malformed.emplace(
                *tail, hexBytes(reinterpret_cast<const u_char *>(bytes.data()), bytes.size()));
        }
        tail = &(*tail)->next_variable;
    }
    return describePdu(mibs, *pdu, malformed);
}

// What an SNMPv3 message says: as for a community-based one, a sysDescr.0
// text is the message, else its description.
std::string describeScoped(const MibTree &mibs, const netsnmp_pdu &pdu) {
    for (const netsnmp_variable_list *var = pdu.variables; var; var = var->next_variable)
        if (isOid(*var, kSysDescr) && var->type == ASN_OCTET_STR)
            return std::string(reinterpret_cast<const char *>(var->val.string), var->val_len);
    return describePdu(mibs, pdu);
}

// A scoped PDU in plain BER: context engine ID, context name, the PDU.
std::string plainScopedPdu(netsnmp_pdu &pdu) {
    std::size_t size = 1024, offset = 0;
    u_char *buffer = static_cast<u_char *>(std::malloc(size));
    if (buffer == nullptr)
        return {};
    std::string scoped;
    if (snmp_pdu_realloc_rbuild(&buffer, &size, &offset, &pdu) && offset <= size) {
        const auto *context = reinterpret_cast<const char *>(pdu.contextEngineID);
        const auto *name = reinterpret_cast<const char *>(pdu.contextName);
        scoped = encoded(
            kSequence,
            encoded(ASN_OCTET_STR, {context, context ? pdu.contextEngineIDLen : 0}) +
                encoded(ASN_OCTET_STR, {name, name ? pdu.contextNameLen : 0}) +
                std::string(reinterpret_cast<const char *>(buffer + size - offset), offset));
    }
    std::free(buffer);
    return scoped;
}

constexpr std::int64_t kUserBasedSecurity = 3;

Decoded described(std::string text) {
    return Decoded{std::move(text), {}, false};
}

Decoded refusedFor(std::string reason) {
    return Decoded{{}, std::move(reason), false};
}

// Why net-snmp's security model refused a message it was handed.
std::string rejection(int error, const V3Header &header) {
    std::string user = "user \"";
    appendClean(user, header.userName);
    user += '"';
    switch (error) {
    case SNMPERR_USM_AUTHENTICATIONFAILURE:
        return "wrong digest for " + user;
    case SNMPERR_USM_NOTINTIMEWINDOW:
        return "outside the time window for " + user;
    case SNMPERR_USM_UNKNOWNSECURITYNAME:
        return "unknown " + user;
    case SNMPERR_USM_UNSUPPORTEDSECURITYLEVEL:
        return "security level not allowed for " + user;
    case SNMPERR_USM_UNKNOWNENGINEID:
        return "unknown engine for " + user;
    default:
        // A digest that matched leaves only the decryption to fail.
        return header.encrypted() ? "decryption failed for " + user
                                  : "unreadable message from " + user;
    }
}

// What an SNMPv3 inform says, whatever protects it: its user, context,
// request id and bindings; a sender's retransmission says the same.
InformIdentity identityOf(const netsnmp_pdu &pdu) {
    InformIdentity identity{pdu.reqid, {}};
    std::string &content = identity.content;
    // A value net-snmp kept no bytes for (a null pointer, whatever its
    // length says) adds none: the fuzzer found such bindings.
    const auto add = [&content](const void *bytes, std::size_t size) {
        if (bytes != nullptr)
            content.append(static_cast<const char *>(bytes), size);
        content += '\0';
    };
    add(pdu.securityName, pdu.securityNameLen);
    add(pdu.contextEngineID, pdu.contextEngineIDLen);
    add(pdu.contextName, pdu.contextNameLen);
    for (const netsnmp_variable_list *var = pdu.variables; var; var = var->next_variable) {
        add(var->name, var->name_length * sizeof(oid));
        content += static_cast<char>(var->type);
        add(var->val.string, var->val_len);
    }
    return identity;
}

} // namespace

NetSnmpDecoder::NetSnmpDecoder(std::string ownMibDirectory,
                               std::vector<std::string> operatorMibDirectories)
    : m_users(std::make_unique<UsmUsers>()), m_ownMibDirectory(std::move(ownMibDirectory)),
      m_loadRequest(std::move(operatorMibDirectories)), m_loader([this] { loadMibs(); }) {}

NetSnmpDecoder::~NetSnmpDecoder() {
    {
        const std::lock_guard lock(m_loadMutex);
        m_stopping = true;
    }
    m_loadWake.notify_all();
    m_loader.join();
}

void NetSnmpDecoder::reloadMibs(std::vector<std::string> operatorMibDirectories) {
    {
        const std::lock_guard lock(m_loadMutex);
        m_loadRequest = std::move(operatorMibDirectories);
    }
    m_loadWake.notify_all();
}

std::shared_ptr<const MibTree> NetSnmpDecoder::mibs() {
    m_loaded.wait();
    return mibsInForce();
}

std::shared_ptr<const MibTree> NetSnmpDecoder::mibsInForce() {
    const std::lock_guard lock(m_mibsMutex);
    return m_mibs;
}

void NetSnmpDecoder::setMibsRead(std::function<void(std::shared_ptr<const MibTree>)> callback) {
    const std::lock_guard lock(m_loadMutex);
    m_mibsRead = std::move(callback);
}

void NetSnmpDecoder::setWhileParsed(std::function<void()> hook) {
    const std::lock_guard lock(m_loadMutex);
    m_whileParsed = std::move(hook);
}

void NetSnmpDecoder::setUsers(const std::vector<SnmpUser> &users) {
    const std::lock_guard lock(m_mutex);
    m_pendingUsers = users;
}

// Users handed in take effect here, once net-snmp is set up; their master
// keys are derived once.
void NetSnmpDecoder::takePendingUsers() {
    if (m_pendingEngine) {
        const auto &[engineId, boots] = *m_pendingEngine;
        const auto *id = reinterpret_cast<const u_char *>(engineId.data());
        set_exact_engineID(id, engineId.size());
        // The library takes the boot count as its configuration stores it:
        // the one before this start.
        std::string before = std::to_string(boots - 1);
        engineBoots_conf("engineBoots", before.data());
        if (snmpv3_local_snmpEngineBoots() != u_long(boots)) {
            std::string now = std::to_string(boots);
            engineBoots_conf("engineBoots", now.data());
        }
        set_enginetime(id, u_int(engineId.size()), u_int(snmpv3_local_snmpEngineBoots()),
                       u_int(snmpv3_local_snmpEngineTime()), TRUE);
        m_users->setOwnEngine(engineId);
        m_pendingEngine.reset();
    }
    if (m_pendingUsers) {
        m_users->set(*m_pendingUsers);
        m_pendingUsers.reset();
    }
}

void NetSnmpDecoder::setEngine(const std::string &engineId, long boots) {
    const std::lock_guard lock(m_mutex);
    m_pendingEngine.emplace(engineId, boots);
}

// The loader's thread: the first reading starts net-snmp, later ones read
// the MIBs again while the tree in force goes on naming what is decoded.
// Only this thread uses net-snmp's MIB parser and its tree; the decoder
// reads the copy each reading makes, held by a shared pointer that the swap
// replaces under a short lock.
void NetSnmpDecoder::loadMibs() {
    bool first = true;
    for (;;) {
        std::vector<std::string> directories;
        std::function<void()> whileParsed;
        {
            std::unique_lock lock(m_loadMutex);
            m_loadWake.wait(lock, [this] { return m_stopping || m_loadRequest; });
            if (m_stopping)
                return;
            directories = std::move(*m_loadRequest);
            m_loadRequest.reset();
            if (!first)
                whileParsed = m_whileParsed;
        }
        std::function<void()> start;
        if (first)
            start = [this] {
                // The system's snmp.conf may switch MIB loading off; this
                // program decides itself. The parser's messages are read by
                // MibTree; descriptions are kept for the details of events.
                netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
                netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_WARNINGS, 0);
                netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_ERRORS, 1);
                netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_QUICK_PRINT, 1);
                snmp_set_save_descriptions(1);
                // The library with its user-based security model; nothing it
                // keeps between runs is read or written.
                netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID,
                                       NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
                netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID,
                                       NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
                // The library starts once a process; a decoder made after
                // an earlier one was destroyed starts only the MIB parser
                // again, as a reading does.
                static bool started = false;
                if (started)
                    netsnmp_init_mib();
                init_snmp("quorvik");
                started = true;
                m_session = std::make_unique<netsnmp_session>();
                snmp_sess_init(m_session.get());
                m_session->version = SNMP_VERSION_3;
                // Traps come from their own authoritative engine; requests
                // that expect an answer (informs) name this one.
                m_session->isAuthoritative = SNMP_SESS_UNKNOWNAUTH;
            };
        std::shared_ptr<const MibTree> mibs =
            MibTree::read(directories, m_ownMibDirectory, start, whileParsed);
        {
            const std::lock_guard lock(m_mibsMutex);
            m_mibs = mibs;
        }
        std::function<void(std::shared_ptr<const MibTree>)> read;
        {
            const std::lock_guard lock(m_loadMutex);
            read = m_mibsRead;
        }
        if (read)
            read(std::move(mibs));
        if (first)
            m_loaded.count_down();
        first = false;
    }
}

Decoded NetSnmpDecoder::decode(std::string_view datagram) {
    if (!mayBeSnmp(datagram))
        return {};
    const std::shared_ptr<const MibTree> mibs = this->mibs();
    const std::lock_guard lock(m_mutex);
    // The same traps come again and again, and parsing them and naming their
    // objects in the MIB tree is most of the work: their descriptions are
    // kept, as long as the same tree names them.
    if (m_describedWith != mibs.get()) {
        m_descriptions.clear();
        m_describedWith = mibs.get();
    }
    std::optional<std::string> repeat = repeatKey(datagram);
    if (repeat)
        if (const auto known = m_descriptions.find(*repeat); known != m_descriptions.end())
            return described(known->second);
    std::vector<u_char> data(datagram.begin(), datagram.end());
    std::size_t messageLength = 0;
    switch (versionOf(data.data(), data.size(), messageLength)) {
    case Version::None:
        return {};
    case Version::V3:
        return decodeV3(*mibs, datagram, data.data(), messageLength);
    case Version::Community:
        break;
    }
    const std::optional<Message> message = parseCommunityMessage(data.data(), messageLength);
    std::string description = message ? describePdu(*mibs, *message->pdu)
                                      : describeByBinding(*mibs, datagram.substr(0, messageLength));
    if (description.empty())
        return {};
    if (repeat) {
        if (m_descriptions.size() >= kKeptDescriptions)
            m_descriptions.clear();
        m_descriptions.emplace(std::move(*repeat), description);
    }
    return described(std::move(description));
}

Decoded NetSnmpDecoder::decodeV3(const MibTree &mibs, std::string_view datagram, u_char *data,
                                 std::size_t messageLength) {
    const std::optional<V3Header> header = readV3Header(datagram.substr(0, messageLength));
    if (!header)
        return {};
    if (header->securityModel != kUserBasedSecurity)
        return described("SNMPv3 message, not decoded");
    // An inform answered on the receiver's thread was decrypted there; it is
    // shown as it read then (its sender was told that it arrived).
    for (Answered &answered : m_answered)
        if (answered.pdu && answered.datagram == datagram) {
            const std::shared_ptr<snmp_pdu> pdu = std::exchange(answered.pdu, nullptr);
            Decoded decoded = described(describeScoped(mibs, *pdu));
            if (header->encrypted())
                decoded.decrypted = plainScopedPdu(*pdu);
            return decoded;
        }
    takePendingUsers();
    if (!header->authenticated() && header->userName.empty())
        return Decoded{{}, {}, true}; // engine discovery
    if (UsmUsers::Admission admission = m_users->admit(*header); !admission.refusal.empty())
        return refusedFor(std::move(admission.refusal));
    PduPointer pdu(snmp_pdu_create(0));
    std::size_t length = messageLength;
    const int result = snmpv3_parse(pdu.get(), data, &length, nullptr, m_session.get());
    // A sender that doesn't know this engine's clock yet asks with zero
    // boots and time; the Report tells it.
    if (result == SNMPERR_USM_NOTINTIMEWINDOW && header->engineBoots == 0 &&
        header->engineTime == 0)
        return Decoded{{}, {}, true};
    if (result != SNMPERR_SUCCESS)
        return refusedFor(rejection(result, *header));
    Decoded decoded = described(describeScoped(mibs, *pdu));
    // Its plain text can't be had again later (keys, time window): it goes
    // with the event for its details.
    if (header->encrypted())
        decoded.decrypted = plainScopedPdu(*pdu);
    return decoded;
}

std::optional<std::string> NetSnmpDecoder::informResponse(std::string_view datagram) {
    if (isSnmpV3(datagram))
        return v3Answer(datagram);
    if (communityPduTag(datagram) != SNMP_MSG_INFORM)
        return std::nullopt;
    m_loaded.wait();
    const std::lock_guard lock(m_mutex);
    std::vector<u_char> data(datagram.begin(), datagram.end());
    std::size_t messageLength = 0;
    if (versionOf(data.data(), data.size(), messageLength) != Version::Community)
        return std::nullopt;
    std::optional<Message> message =
        parseCommunityMessage(data.data(), messageLength, SNMP_MSG_INFORM);
    // One with bindings that don't read is shown all the same, so it is
    // acknowledged as well.
    if (!message)
        if (const std::optional<Pieces> pieces = piecesOf(datagram.substr(0, messageLength)))
            message = Message{pieces->parse({}), pieces->pduOffset, messageLength};
    if (!message || !message->pdu || message->pdu->version != SNMP_VERSION_2c ||
        message->pdu->command != SNMP_MSG_INFORM || message->pdu->errstat != 0 ||
        message->pdu->errindex != 0)
        return std::nullopt;
    // The Response carries the inform's community, request id and bindings
    // unchanged, with zero error fields: the same bytes with another PDU tag.
    std::string response(datagram.substr(0, messageLength));
    response[message->pduOffset] = static_cast<char>(SNMP_MSG_RESPONSE);
    return response;
}

// As the authoritative engine of the messages that expect an answer: the
// Report that a discovery or a refused request asks for, or the Response to
// an inform, protected as the inform was. Traps expect nothing and cost a
// look at their header.
std::optional<std::string> NetSnmpDecoder::v3Answer(std::string_view datagram) {
    const std::optional<V3Header> header = readV3Header(datagram);
    if (!header || !header->reportable() || header->securityModel != kUserBasedSecurity)
        return std::nullopt;
    m_loaded.wait();
    const std::lock_guard lock(m_mutex);
    takePendingUsers();
    if (m_users->ownEngine().empty())
        return std::nullopt;
    // Known users get their entry for the engine named; net-snmp's own
    // checks then find every other fault a Report can name. A message that
    // will be refused is never acknowledged: its sender would not send it
    // again.
    const UsmUsers::Admission admission = m_users->admit(*header);
    std::vector<u_char> data(datagram.begin(), datagram.end());
    PduPointer pdu(snmp_pdu_create(0));
    std::size_t length = data.size();
    int result = snmpv3_parse(pdu.get(), data.data(), &length, nullptr, m_session.get());
    if (result == SNMPERR_SUCCESS && !admission.refusal.empty())
        result = admission.error != 0 ? admission.error : SNMPERR_USM_UNKNOWNSECURITYNAME;
    if (result == SNMPERR_SUCCESS) {
        if (pdu->command != SNMP_MSG_INFORM)
            return std::nullopt;
        if (m_answered.size() >= kKeptAnswers)
            m_answered.pop_front();
        m_answered.push_back({std::string(datagram), identityOf(*pdu),
                              std::shared_ptr<snmp_pdu>(snmp_clone_pdu(pdu.get()), snmp_free_pdu)});
        pdu->command = SNMP_MSG_RESPONSE;
        pdu->errstat = 0;
        pdu->errindex = 0;
    } else if (snmpv3_make_report(pdu.get(), result) != SNMPERR_SUCCESS) {
        return std::nullopt;
    }
    return build(*pdu);
}

std::optional<InformIdentity> NetSnmpDecoder::informIdentity(std::string_view datagram) {
    if (!isSnmpV3(datagram))
        return communityInformIdentity(datagram);
    const std::lock_guard lock(m_mutex);
    for (const Answered &answered : m_answered)
        if (answered.datagram == datagram)
            return answered.identity;
    return std::nullopt;
}

// The message net-snmp encodes for a PDU; nullopt when it can't.
std::optional<std::string> NetSnmpDecoder::build(netsnmp_pdu &pdu) {
    std::size_t size = 2048, offset = 0;
    u_char *buffer = static_cast<u_char *>(std::malloc(size));
    if (buffer == nullptr)
        return std::nullopt;
    // Reverse encoding: the message ends the buffer, which may grow.
    const int result = snmp_build(&buffer, &size, &offset, m_session.get(), &pdu);
    std::optional<std::string> message;
    if (result == SNMPERR_SUCCESS && offset <= size)
        message.emplace(reinterpret_cast<const char *>(buffer + size - offset), offset);
    std::free(buffer);
    return message;
}

// The details of one message (details()).
namespace {

std::string typeName(u_char type) {
    switch (type) {
    case ASN_INTEGER:
        return "INTEGER";
    case ASN_OCTET_STR:
        return "OCTET STRING";
    case ASN_OBJECT_ID:
        return "OBJECT IDENTIFIER";
    case ASN_NULL:
        return "NULL";
    case ASN_IPADDRESS:
        return "IpAddress";
    case ASN_COUNTER:
        return "Counter32";
    case ASN_GAUGE:
        return "Gauge32";
    case ASN_TIMETICKS:
        return "TimeTicks";
    case ASN_OPAQUE:
        return "Opaque";
    case ASN_COUNTER64:
        return "Counter64";
    case SNMP_NOSUCHOBJECT:
        return "noSuchObject";
    case SNMP_NOSUCHINSTANCE:
        return "noSuchInstance";
    case SNMP_ENDOFMIBVIEW:
        return "endOfMibView";
    default:
        return "type " + std::to_string(type);
    }
}

std::string pduTypeName(int command) {
    switch (command) {
    case SNMP_MSG_TRAP:
        return "Trap (SNMPv1)";
    case SNMP_MSG_TRAP2:
        return "SNMPv2-Trap";
    default:
        return commandName(command).substr(std::string_view("SNMP ").size());
    }
}

std::string numericOid(const oid *name, std::size_t length) {
    std::string text;
    appendSubids(text, name, 0, length);
    return text;
}

std::string clean(std::string_view text) {
    std::string out;
    appendClean(out, text);
    return out;
}

// The DESCRIPTION of the MIB object that `name` names exactly, each line
// without its indentation.
std::string descriptionOf(const MibTree &mibs, const oid *name, std::size_t length) {
    std::size_t depth = 0;
    const MibNode *node = mibs.naming(name, length, depth);
    if (node == nullptr || depth != length || node->description.empty())
        return {};
    std::string text;
    std::string_view rest = node->description;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        const std::size_t first = line.find_first_not_of(" \t\r");
        line = first == std::string_view::npos ? std::string_view() : line.substr(first);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
            line.remove_suffix(1);
        if (!text.empty())
            text += '\n';
        text += line;
    }
    return text;
}

void addOid(const MibTree &mibs, DetailLines &lines, const std::string &name, const oid *value,
            std::size_t length) {
    lines.push_back({name, clean(oidText(mibs, value, length, OidStyle::Module)) + " (" +
                               numericOid(value, length) + ')'});
}

void addTrap(const MibTree &mibs, DetailLines &lines, const oid *trap, std::size_t length) {
    addOid(mibs, lines, "Notification", trap, length);
    if (std::string description = descriptionOf(mibs, trap, length); !description.empty())
        lines.push_back({"Description", std::move(description)});
}

void addPdu(const MibTree &mibs, DetailLines &lines, const netsnmp_pdu &pdu) {
    lines.push_back({"PDU type", pduTypeName(pdu.command)});
    if (pdu.command == SNMP_MSG_TRAP) {
        std::vector<oid> trap;
        if (pdu.trap_type == SNMP_TRAP_ENTERPRISESPECIFIC) {
            trap.assign(pdu.enterprise, pdu.enterprise + pdu.enterprise_length);
            trap.push_back(0);
            trap.push_back(oid(pdu.specific_type));
        } else {
            trap.assign(std::begin(kSnmpTraps), std::end(kSnmpTraps));
            trap.push_back(oid(pdu.trap_type + 1));
        }
        addOid(mibs, lines, "Enterprise", pdu.enterprise, pdu.enterprise_length);
        lines.push_back({"Agent address", agentAddress(pdu)});
        lines.push_back({"Generic trap", std::to_string(pdu.trap_type)});
        lines.push_back({"Specific trap", std::to_string(pdu.specific_type)});
        lines.push_back({"Time stamp", std::to_string(pdu.time)});
        addTrap(mibs, lines, trap.data(), trap.size());
    } else {
        lines.push_back({"Request id", std::to_string(pdu.reqid)});
        if (pdu.errstat != 0 || pdu.errindex != 0) {
            lines.push_back({"Error status", std::to_string(pdu.errstat)});
            lines.push_back({"Error index", std::to_string(pdu.errindex)});
        }
        for (const netsnmp_variable_list *var = pdu.variables; var; var = var->next_variable)
            if (isOid(*var, kSnmpTrapOid) && var->type == ASN_OBJECT_ID) {
                addTrap(mibs, lines, var->val.objid, var->val_len / sizeof(oid));
                break;
            }
    }
    int number = 0;
    for (const netsnmp_variable_list *var = pdu.variables; var; var = var->next_variable)
        lines.push_back({"Binding " + std::to_string(++number),
                         clean(oidText(mibs, var->name, var->name_length, OidStyle::Module)) +
                             " (" + numericOid(var->name, var->name_length) + ") " +
                             typeName(var->type) + ": " + clean(valueText(mibs, *var))});
}

// A scoped PDU in plain BER: its context and its PDU.
void addScoped(const MibTree &mibs, DetailLines &lines, std::string_view scoped) {
    Walk walk(scoped);
    std::string_view engine, context;
    if (!walk.header(kSequence, true) || !walk.header(ASN_OCTET_STR, false, &engine) ||
        !walk.header(ASN_OCTET_STR, false, &context)) {
        lines.push_back({"Scoped PDU", "unreadable"});
        return;
    }
    lines.push_back({"Context engine ID", hexDigits(engine)});
    lines.push_back({"Context name", clean(context)});
    std::vector<u_char> data(walk.rest().begin(), walk.rest().end());
    PduPointer pdu(snmp_pdu_create(0));
    pdu->version = SNMP_VERSION_3;
    std::size_t length = data.size();
    if (data.empty() || snmp_pdu_parse(pdu.get(), data.data(), &length) != SNMP_ERR_NOERROR)
        lines.push_back({"PDU", "unreadable"});
    else
        addPdu(mibs, lines, *pdu);
}

DetailLines v3Details(const MibTree &mibs, std::string_view message, std::string_view decrypted) {
    const std::optional<V3Header> header = readV3Header(message);
    if (!header)
        return {{"Version", "SNMPv3"}, {"Header", "unreadable"}};
    DetailLines lines{{"Version", "SNMPv3"}, {"Message id", std::to_string(header->messageId)}};
    if (header->securityModel != kUserBasedSecurity) {
        lines.push_back({"Security model", std::to_string(header->securityModel)});
        return lines;
    }
    lines.push_back({"Security model", "user-based (USM)"});
    lines.push_back({"User", clean(header->userName)});
    lines.push_back({"Security level", header->encrypted()       ? "authPriv"
                                       : header->authenticated() ? "authNoPriv"
                                                                 : "noAuthNoPriv"});
    lines.push_back({"Engine ID", hexDigits(header->engineId)});
    lines.push_back({"Engine boots", std::to_string(header->engineBoots)});
    lines.push_back({"Engine time", std::to_string(header->engineTime)});
    if (header->encrypted()) {
        if (decrypted.empty())
            lines.push_back({"Scoped PDU", "encrypted, not decrypted"});
        else
            addScoped(mibs, lines, decrypted);
        return lines;
    }
    // Version, header data and security parameters come before it.
    Walk walk(message);
    std::string_view scoped;
    if (walk.header(kSequence, true) && walk.any() && walk.any() && walk.any() && walk.any(&scoped))
        addScoped(mibs, lines, scoped);
    else
        lines.push_back({"Scoped PDU", "unreadable"});
    return lines;
}

} // namespace

DetailLines NetSnmpDecoder::details(std::string_view datagram, std::string_view decrypted) {
    if (!mayBeSnmp(datagram))
        return {};
    const std::shared_ptr<const MibTree> mibs = this->mibs();
    const std::lock_guard lock(m_mutex);
    std::vector<u_char> data(datagram.begin(), datagram.end());
    std::size_t messageLength = 0;
    switch (versionOf(data.data(), data.size(), messageLength)) {
    case Version::None:
        return {};
    case Version::V3:
        return v3Details(*mibs, datagram.substr(0, messageLength), decrypted);
    case Version::Community:
        break;
    }
    Walk walk(datagram);
    std::int64_t version = 0;
    std::string_view community;
    walk.header(kSequence, true);
    walk.integer(version);
    walk.header(ASN_OCTET_STR, false, &community);
    DetailLines lines{{"Version", version == SNMP_VERSION_1 ? "SNMPv1" : "SNMPv2c"},
                      {"Community", clean(community)}};
    if (const std::optional<Message> message = parseCommunityMessage(data.data(), messageLength))
        addPdu(*mibs, lines, *message->pdu);
    else
        lines.push_back({"Bindings", describeByBinding(*mibs, datagram.substr(0, messageLength))});
    return lines;
}

} // namespace quorvik
