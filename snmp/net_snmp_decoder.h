// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "snmp/inform_repeats.h"
#include "snmp/trap_decoder.h"

#include <cstddef>
#include <deque>
#include <latch>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>

struct snmp_pdu;
struct snmp_session;

namespace quorvik {

class UsmUsers;

// The decoder over net-snmp's library. net-snmp keeps its MIB tree and its
// options per process, so a program makes one of these, at start-up.
//
// Message format (one line, no control characters, at most kMaxDescription
// bytes, cut with "…"):
//   SNMPv2c trap or inform: <trap> <binding>...    e.g.
//     IF-MIB::linkDown ifIndex.2=2 ifAdminStatus.2=up ifOperStatus.2=down
//   SNMPv1 trap: <trap> enterprise=<oid> generic=<n>|specific=<n> agent=<address> <binding>...
//     where <trap> is the SNMPv2 name of a generic trap, or <enterprise>.0.<specific>
//   other PDUs: SNMP GetRequest <binding>...
// SNMPv3 messages of the configured users are described as v2c ones; one
// the security model refuses is a rejection with its reason; one of another
// security model: "SNMPv3 message, not decoded".
// A binding is <object>.<index>=<value>. Object identifiers are named by the
// loaded MIBs where one names the object (the rest is its index), else shown
// in numbers; sysUpTime.0 and snmpTrapOID.0 of a notification are left out.
class NetSnmpDecoder final : public TrapDecoder {
public:
    static constexpr std::size_t kMaxDescription = 4096;

    // Loads the MIBs in the background: those in `ownMibDirectory` (modules
    // of the same name in net-snmp's usual directories take precedence),
    // then every module found. Calls wait until that is done.
    explicit NetSnmpDecoder(std::string ownMibDirectory);
    ~NetSnmpDecoder() override;

    Decoded decode(std::string_view datagram) override;
    std::optional<std::string> informResponse(std::string_view datagram) override;
    // What makes an inform answered the same when its sender sends it again
    // (see InformRepeats): for SNMPv1/v2c read from the datagram, for SNMPv3
    // known from the informResponse that decrypted it; nothing else.
    std::optional<InformIdentity> informIdentity(std::string_view datagram);
    void setUsers(const std::vector<SnmpUser> &users) override;
    // This receiver's engine as the authoritative one of SNMPv3 informs: its
    // ID and its boot count. Until it is set, no v3 message is answered.
    void setEngine(const std::string &engineId, long boots);

private:
    void loadMibs(const std::string &ownMibDirectory);
    void takePendingUsers();
    std::optional<std::string> v3Answer(std::string_view datagram);
    std::optional<std::string> build(snmp_pdu &pdu);
    Decoded decodeV3(std::string_view datagram, unsigned char *data, std::size_t messageLength);

    static constexpr std::size_t kKeptDescriptions = 1024;
    static constexpr std::size_t kKeptAnswers = 64;

    std::latch m_loaded{1};
    std::mutex m_mutex; // net-snmp's parser and printer are not thread-safe
    // Descriptions of v2c traps and informs by their repeat key (the
    // datagram but for request id and sysUpTime); emptied when full.
    std::unordered_map<std::string, std::string> m_descriptions;
    std::unique_ptr<UsmUsers> m_users;
    // The SNMPv3 informs answered lately with a Response, oldest first: the
    // datagram, its identity and the message as it was decrypted then, which
    // decode() shows without decrypting it a second time.
    struct Answered {
        std::string datagram;
        InformIdentity identity;
        std::shared_ptr<snmp_pdu> pdu;
    };
    std::deque<Answered> m_answered;
    std::optional<std::vector<SnmpUser>> m_pendingUsers; // passwords, until taken
    std::optional<std::pair<std::string, long>> m_pendingEngine;
    std::unique_ptr<snmp_session> m_session; // of this receiver, as net-snmp reads with it
    std::thread m_loader;
};

} // namespace quorvik
