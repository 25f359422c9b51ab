// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "snmp/inform_repeats.h"
#include "snmp/mib_tree.h"
#include "snmp/trap_decoder.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
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

    // Loads the MIBs in the background (see MibTree::read): every module in
    // `operatorMibDirectories`, in net-snmp's usual directories and in
    // `ownMibDirectory`. Calls wait until the first reading is done.
    explicit NetSnmpDecoder(std::string ownMibDirectory,
                            std::vector<std::string> operatorMibDirectories = {});
    ~NetSnmpDecoder() override;

    // Reads the MIBs again on the loader's thread, with these operator
    // directories. Nothing waits for it: messages are decoded with the tree
    // in force until the new one is, which then is handed to the `mibsRead`
    // callback. Asked again while reading, the last request is read next.
    void reloadMibs(std::vector<std::string> operatorMibDirectories);
    // The tree in force (waits for the first reading). A reader keeps it as
    // long as it holds the pointer, whatever is read meanwhile.
    std::shared_ptr<const MibTree> mibs();
    // The same without waiting: nullptr before the first reading is done.
    std::shared_ptr<const MibTree> mibsInForce();
    // Called on the loader's thread with each tree once it is in force.
    void setMibsRead(std::function<void(std::shared_ptr<const MibTree>)> callback);
    // Runs on the loader's thread once net-snmp has parsed the MIBs of a
    // reload, before they are in force (tests hold the reading there).
    void setWhileParsed(std::function<void()> hook);

    Decoded decode(std::string_view datagram) override;
    std::optional<std::string> informResponse(std::string_view datagram) override;
    // What makes an inform answered the same when its sender sends it again
    // (see InformRepeats): for SNMPv1/v2c read from the datagram, for SNMPv3
    // known from the informResponse that decrypted it; nothing else.
    std::optional<InformIdentity> informIdentity(std::string_view datagram);
    void setUsers(const std::vector<SnmpUser> &users) override;
    DetailLines details(std::string_view datagram, std::string_view decrypted) override;
    // This receiver's engine as the authoritative one of SNMPv3 informs: its
    // ID and its boot count. Until it is set, no v3 message is answered.
    void setEngine(const std::string &engineId, long boots);

private:
    void loadMibs();
    void takePendingUsers();
    std::optional<std::string> v3Answer(std::string_view datagram);
    std::optional<std::string> build(snmp_pdu &pdu);
    Decoded decodeV3(const MibTree &mibs, std::string_view datagram, unsigned char *data,
                     std::size_t messageLength);

    static constexpr std::size_t kKeptDescriptions = 1024;
    static constexpr std::size_t kKeptAnswers = 64;

    std::latch m_loaded{1};
    std::mutex m_mutex; // net-snmp's message parser and security model are not thread-safe
    // Descriptions of v2c traps and informs by their repeat key (the
    // datagram but for request id and sysUpTime); emptied when full, and
    // when another tree names them.
    std::unordered_map<std::string, std::string> m_descriptions;
    const MibTree *m_describedWith = nullptr;
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

    // The tree in force: swapped by the loader, copied by each decode.
    std::mutex m_mibsMutex;
    std::shared_ptr<const MibTree> m_mibs;
    // The loader's requests.
    std::mutex m_loadMutex;
    std::condition_variable m_loadWake;
    std::string m_ownMibDirectory;
    std::optional<std::vector<std::string>> m_loadRequest;
    std::function<void(std::shared_ptr<const MibTree>)> m_mibsRead;
    std::function<void()> m_whileParsed;
    bool m_stopping = false;
    std::thread m_loader;
};

} // namespace quorvik
