// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/event_details.h"
#include "core/snmp_users.h"
#include "snmp/ber.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvik {

// What a datagram is. An SNMPv3 message that the security model refuses has
// no text but the reason (`unknown user "bob"`); an engine discovery, which
// the responder answers, is silent: it makes no event.
struct Decoded {
    std::string text;
    std::string rejection;
    bool silent = false;
    // An encrypted SNMPv3 message's scoped PDU in plain BER, for details().
    std::string decrypted{};
};

// An SNMPv3 message by its start: the version field says 3. Its texts and
// tags are the security model's to vouch for, so it always goes to a decoder.
inline bool isSnmpV3(std::string_view datagram) {
    ber::Walk walk(datagram);
    std::int64_t version = 0;
    return walk.header(ber::kSequence, true) && walk.integer(version) && version == 3;
}

// Reads binary SNMP datagrams for the intake. Both calls may come from any
// thread, also at the same time.
class TrapDecoder {
public:
    virtual ~TrapDecoder() = default;

    // One line that names what the datagram is: a trap or inform with its
    // bindings, or the kind of another SNMP message. Empty when the datagram
    // is no SNMP message that parses.
    std::string describe(std::string_view datagram) { return decode(datagram).text; }
    virtual Decoded decode(std::string_view datagram) = 0;

    // The answer a datagram expects: the Response that acknowledges a
    // well-formed SNMPv2c or SNMPv3 InformRequest, or the Report an SNMPv3
    // discovery or refused request asks for; nothing for every other one.
    virtual std::optional<std::string> informResponse(std::string_view datagram) = 0;

    // The SNMPv3 users whose messages are decoded, instead of the ones before.
    virtual void setUsers(const std::vector<SnmpUser> &users) = 0;

    // Everything an operator may want to know of one datagram: version,
    // community or user and security level, engine, request id, PDU type,
    // each binding with its numeric and named object, type and value, and
    // the notification's DESCRIPTION from its MIB. `decrypted` is the
    // Decoded::decrypted of an encrypted SNMPv3 message. No password or key
    // is ever part of it. Empty when the datagram is no SNMP message.
    virtual DetailLines details(std::string_view datagram, std::string_view decrypted) {
        static_cast<void>(datagram);
        static_cast<void>(decrypted);
        return {};
    }
};

} // namespace quorvik
